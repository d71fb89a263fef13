// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: every public header except the Windows GDI
/// interop (vorn/gdi.h), which needs the platform's headers.
#ifndef VORN_VORN_H
#define VORN_VORN_H

#include <vorn/buffer.h>
#include <vorn/export.h>
#include <vorn/hls.h>
#include <vorn/io.h>
#include <vorn/version.h>

#endif
