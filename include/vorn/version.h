// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: version of these headers and of the library.
#ifndef VORN_VERSION_H
#define VORN_VERSION_H

#include <vorn/export.h>

/// Major version: changes that break callers (while it is 0, every minor
/// version may break the binary interface).
#define VORN_VERSION_MAJOR 0
/// Minor version: additions.
#define VORN_VERSION_MINOR 2
/// Patch version: mends that change no interface.
#define VORN_VERSION_PATCH 0

/// The version as one number, major * 10000 + minor * 100 + patch.
#define VORN_VERSION (VORN_VERSION_MAJOR * 10000 + VORN_VERSION_MINOR * 100 + VORN_VERSION_PATCH)

/// The version as text, "major.minor.patch".
#define VORN_VERSION_STRING "0.2.0"

/// The version of the library the program runs with, as text
/// ("major.minor.patch"): compared with VORN_VERSION_STRING it tells a
/// program whether the headers it was built with match the library it
/// loaded. The text is static; never null.
VORN_API const char* vornVersion();

#endif
