// SPDX-License-Identifier: MIT
// An in-memory Windows GDI for platforms that have none.
//
// It gives the Win32 names, types and constants of the part of GDI that
// vorn/gdi.h works with, so that the same code builds against <windows.h>
// on Windows and against this header elsewhere. The GDI interop's tests run
// against it; a library built with -DVORN_WITH_GDI_STANDIN=ON carries it
// and exports it, and vorn/gdi.h then includes it where <windows.h> is
// absent, so callers can make the contexts and bitmaps they hand to the
// library with the calls they would use on Windows.
//
// What there is:
// - A display: one 32-bit surface of 1920 x 1080 pixels (508 x 286 mm, 96
//   pixels per inch) that lives as long as the process and starts black.
//   Every context made with CreateDCW(L"DISPLAY", ...) draws onto it, so what
//   one call paints another can read back.
// - Memory contexts (CreateCompatibleDC), which start with a stock 1 x 1
//   monochrome bitmap selected, like GDI's.
// - Bitmaps: compatible bitmaps in their context's format (32 bits for the
//   display or a 32-bit bitmap, 1 bit for a memory context that holds the
//   stock bitmap), zeroed; 32-bit DIB sections, top-down or bottom-up, whose
//   memory starts zeroed. A bitmap is selected into at most one context at a
//   time; deleting a selected bitmap succeeds and takes effect when it is
//   deselected.
// - GetObjectW (BITMAP and DIBSECTION), GetDIBits and SetDIBits at 24 and
//   32 bits with rows padded to 4 bytes (and the size query with null
//   memory), BitBlt, StretchBlt, StretchDIBits (nearest-neighbour stretching,
//   negative extents mirror), the mapping modes MM_TEXT to MM_ANISOTROPIC
//   with window and viewport origins and extents, LPtoDP, DPtoLP, SaveDC,
//   RestoreDC, GetDeviceCaps and MulDiv.
//
// Handles are opaque numbers, never addresses: a null, stale or made-up
// handle gives the failure result GDI gives (null, 0, FALSE), never a crash.
// Handle numbers are not reused within a process. All calls may be made
// from any thread; each call is atomic.
//
// Not provided: pens, brushes, fonts, regions, palettes, text, world
// transforms, and DIB sections of other depths than 32 bits.
#ifndef VORN_PLATFORM_GDI_H
#define VORN_PLATFORM_GDI_H

#include <vorn/export.h>

#include <stdint.h>

// ---------------------------------------------------------------------------
// Types, with the sizes they have on Windows
// ---------------------------------------------------------------------------

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int INT;
typedef unsigned int UINT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef const wchar_t* LPCWSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/// Handles: distinct types for contexts and bitmaps, one common type for
/// any object (as with STRICT on Windows).
struct HDC__ {
    int unused;
};
typedef struct HDC__* HDC;
struct HBITMAP__ {
    int unused;
};
typedef struct HBITMAP__* HBITMAP;
typedef void* HGDIOBJ;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

typedef struct tagBITMAP {
    LONG bmType;       ///< 0
    LONG bmWidth;      ///< pixels
    LONG bmHeight;     ///< pixels, positive
    LONG bmWidthBytes; ///< bytes per row (2-byte aligned, 4 for DIB sections)
    WORD bmPlanes;     ///< 1
    WORD bmBitsPixel;  ///< 1 or 32
    LPVOID bmBits;     ///< a DIB section's memory, else null
} BITMAP;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;         ///< 40
    LONG biWidth;         ///< pixels
    LONG biHeight;        ///< rows; negative for a top-down image
    WORD biPlanes;        ///< 1
    WORD biBitCount;      ///< bits per pixel
    DWORD biCompression;  ///< BI_RGB
    DWORD biSizeImage;    ///< bytes of the image, or 0
    LONG biXPelsPerMeter; ///< horizontal density, or 0
    LONG biYPelsPerMeter; ///< vertical density, or 0
    DWORD biClrUsed;      ///< 0
    DWORD biClrImportant; ///< 0
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
} DIBSECTION;

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

#define MM_TEXT 1
#define MM_LOMETRIC 2
#define MM_HIMETRIC 3
#define MM_LOENGLISH 4
#define MM_HIENGLISH 5
#define MM_TWIPS 6
#define MM_ISOTROPIC 7
#define MM_ANISOTROPIC 8

#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// Raster operations without a pattern.
#define SRCCOPY 0x00CC0020UL
#define SRCPAINT 0x00EE0086UL
#define SRCAND 0x008800C6UL
#define SRCINVERT 0x00660046UL
#define NOTSRCCOPY 0x00330008UL
#define DSTINVERT 0x00550009UL
#define BLACKNESS 0x00000042UL
#define WHITENESS 0x00FF0062UL

// Object types (GetObjectType, GetCurrentObject).
#define OBJ_DC 3
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

// GetDeviceCaps indexes.
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90

// ---------------------------------------------------------------------------
// Operations (Win32 signatures)
// ---------------------------------------------------------------------------

#ifdef __cplusplus
extern "C" {
#endif

/// A context on the display for the driver name "DISPLAY" (any case);
/// null for any other driver. Release it with DeleteDC.
VORN_API HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const void* devmode);
/// A memory context compatible with `hdc`, or with the display when `hdc`
/// is null, holding the stock 1 x 1 monochrome bitmap. Null for an invalid
/// context.
VORN_API HDC CreateCompatibleDC(HDC hdc);
/// Releases a context made by CreateDCW or CreateCompatibleDC. A bitmap
/// selected into it is deselected (and released if DeleteObject was called
/// on it meanwhile).
VORN_API BOOL DeleteDC(HDC hdc);

/// A bitmap in the context's format, every pixel 0. Width or height 0
/// gives the stock 1 x 1 monochrome bitmap; negative sizes count by their
/// magnitude.
VORN_API HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
/// A 32-bit BI_RGB DIB section (top-down when biHeight is negative) whose
/// memory starts zeroed and is stored through `bits`. `hdc` may be null;
/// file mappings are not supported (section must be null). On failure the
/// result and *bits are null.
VORN_API HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits,
                                  HANDLE section, DWORD offset);

/// Describes a bitmap: with `size` at least sizeof(DIBSECTION) for a DIB
/// section, a DIBSECTION; else with at least sizeof(BITMAP), a BITMAP.
/// Returns the bytes written, 0 for an invalid handle or a short buffer;
/// with `out` null, the size of the description.
VORN_API int GetObjectW(HANDLE object, int size, LPVOID out);
/// OBJ_DC, OBJ_MEMDC or OBJ_BITMAP; 0 for an invalid handle.
VORN_API DWORD GetObjectType(HGDIOBJ object);
/// The bitmap selected into a context (type OBJ_BITMAP); null otherwise.
VORN_API HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
/// Selects a bitmap into a memory context and returns the previous one;
/// null when either handle is invalid, the context is not a memory
/// context, or the bitmap is selected into another context.
VORN_API HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
/// Releases a bitmap (deferred while it is selected). The stock bitmap is
/// never released. FALSE for an invalid handle.
VORN_API BOOL DeleteObject(HGDIOBJ object);

/// Copies rows of a bitmap into DIB memory described by `info` (24 or 32
/// bits, BI_RGB, top-down for a negative biHeight, rows padded to 4 bytes
/// with zeros). With `bits` null, fills in biSizeImage instead (and with
/// biBitCount 0 the whole description). With `bits`, also reports the
/// bitmap's densities (a DIB section's, from its creation; 0 otherwise).
/// Returns the rows copied (nonzero for a query), 0 on failure.
VORN_API int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits,
                       BITMAPINFO* info, UINT usage);
/// Replaces rows of a bitmap with DIB memory (24 or 32 bits). 24-bit
/// pixels get a fourth byte of 0; a monochrome bitmap takes the nearer of
/// black and white. Returns the rows copied, 0 on failure.
VORN_API int SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPCVOID bits,
                       const BITMAPINFO* info, UINT usage);

/// Copies a rectangle between contexts. Both rectangles are given in each
/// context's logical coordinates and converted to device pixels; when the
/// device sizes differ the copy is stretched. Pixels outside either
/// surface are left alone. Returns TRUE on success.
VORN_API BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                     DWORD rop);
/// As BitBlt with a source rectangle of its own size; negative extents
/// mirror.
VORN_API BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                         int srcWidth, int srcHeight, DWORD rop);
/// Copies a rectangle of DIB memory (24 or 32 bits) onto a context. For a
/// bottom-up image the source rectangle's y counts from the bottom row.
/// Returns the rows of the source rectangle, 0 on failure.
VORN_API int StretchDIBits(HDC hdc, int x, int y, int width, int height, int srcX, int srcY,
                           int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info,
                           UINT usage, DWORD rop);
/// Drawing is never deferred here; kept for code that must flush before
/// reading a DIB section's memory on Windows.
VORN_API BOOL GdiFlush(void);

/// Sets the mapping mode and returns the previous one (0 on failure).
/// MM_TEXT makes both extents (1, 1); the metric and English modes and
/// MM_ISOTROPIC set their fixed extents; MM_ANISOTROPIC keeps the extents.
VORN_API int SetMapMode(HDC hdc, int mode);
VORN_API int GetMapMode(HDC hdc);
VORN_API BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous);
VORN_API BOOL GetWindowOrgEx(HDC hdc, LPPOINT out);
VORN_API BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous);
VORN_API BOOL GetViewportOrgEx(HDC hdc, LPPOINT out);
/// Extents change only in MM_ISOTROPIC and MM_ANISOTROPIC (elsewhere the
/// call succeeds and changes nothing); 0 in either direction fails. In
/// MM_ISOTROPIC the viewport extent is then shrunk in one direction so
/// that a logical unit has the same physical size both ways.
VORN_API BOOL SetWindowExtEx(HDC hdc, int cx, int cy, LPSIZE previous);
VORN_API BOOL GetWindowExtEx(HDC hdc, LPSIZE out);
VORN_API BOOL SetViewportExtEx(HDC hdc, int cx, int cy, LPSIZE previous);
VORN_API BOOL GetViewportExtEx(HDC hdc, LPSIZE out);
/// Logical to device: d = round((l - windowOrg) x viewportExt / windowExt
/// + viewportOrg), halves rounded up. `count` points are converted in place.
VORN_API BOOL LPtoDP(HDC hdc, LPPOINT points, int count);
/// The inverse of LPtoDP, rounded the same way.
VORN_API BOOL DPtoLP(HDC hdc, LPPOINT points, int count);
/// Pushes the context's state (mapping, origins, extents, selected bitmap)
/// and returns its level, 1 for the first; 0 on failure.
VORN_API int SaveDC(HDC hdc);
/// Pops back to the state saved at `level` (a negative level counts back
/// from the last save, -1 being the last). FALSE when there is no such
/// level.
VORN_API BOOL RestoreDC(HDC hdc, int level);
/// HORZRES, VERTRES, HORZSIZE, VERTSIZE, BITSPIXEL, PLANES, LOGPIXELSX and
/// LOGPIXELSY of the display; 0 for other indexes or an invalid context.
VORN_API int GetDeviceCaps(HDC hdc, int index);

/// a x b / c with a 64-bit intermediate, rounded half away from zero; -1
/// when c is 0 or the result is beyond +-INT_MAX.
VORN_API int MulDiv(int a, int b, int c);

/// Not part of GDI: the number of contexts and bitmaps alive in the
/// process (stock objects not counted), for tests that look for leaks.
VORN_API int GdiStandInLiveObjects(void);

#ifdef __cplusplus
}
#endif

#endif
