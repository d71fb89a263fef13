// SPDX-License-Identifier: MIT
// The one place the library includes the platform's GDI: <windows.h> on
// Windows (with MFC's <afxwin.h> when built with VORN_WITH_MFC), the
// in-memory GDI of platform/gdi elsewhere, and the CDC class of
// platform/mfc wherever MFC is not used. Every GDI and MFC call of the
// library is made from src/gdi through this header.
#ifndef VORN_SRC_GDI_PLATFORM_H
#define VORN_SRC_GDI_PLATFORM_H

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#if defined(VORN_USE_MFC)
#include <afxwin.h>
#else
#include <windows.h>
#endif
#else
#include <vorn/platform/gdi.h>
#endif

#if !defined(VORN_USE_MFC)
#include <vorn/platform/cdc.h>
#endif

#endif
