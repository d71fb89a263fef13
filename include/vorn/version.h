// SPDX-License-Identifier: MIT
// Vorn raster drawing library: version of these headers.
#ifndef VORN_VERSION_H
#define VORN_VERSION_H

#define VORN_VERSION_MAJOR 0
#define VORN_VERSION_MINOR 1
#define VORN_VERSION_PATCH 0

/// The version as one number, major * 10000 + minor * 100 + patch.
#define VORN_VERSION (VORN_VERSION_MAJOR * 10000 + VORN_VERSION_MINOR * 100 + VORN_VERSION_PATCH)

#endif
