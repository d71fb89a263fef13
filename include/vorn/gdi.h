// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: Windows GDI interop.
///
/// Moves images between VornBuffer objects and GDI bitmaps (HBITMAP), paints
/// buffers onto device contexts (HDC) and captures what a context shows,
/// and wraps an area of an MFC-style device context (CDC) in an off-screen
/// buffer.
///
/// Platform: on Windows this header includes <windows.h> (and, when the
/// library is built with VORN_WITH_MFC, which defines VORN_USE_MFC, MFC's
/// <afxwin.h>; otherwise our own CDC class from <vorn/platform/cdc.h>).
/// Elsewhere the interop exists only in a library built with
/// -DVORN_WITH_GDI_STANDIN=ON, which carries an in-memory GDI and defines
/// VORN_GDI_STANDIN for its users (Vorn::vorn and vorn.pc pass it on); this
/// header then includes <vorn/platform/gdi.h>, with the Win32 names, types
/// and constants (BOOL, DWORD, HDC, CreateDCW, CreateDIBSection, ...), so
/// that callers make contexts and bitmaps exactly as on Windows. Without
/// Windows and without VORN_GDI_STANDIN the header refuses to compile
/// rather than define those names. It is not included by vorn/vorn.h.
///
/// Coordinates: x, y, width and height of bitBlt, alphaBlt, captureFromDC
/// and CDCBuffer are logical coordinates of the context, converted to device
/// pixels with the context's mapping mode, origins and extents.
///
/// Ownership: every VornBuffer* returned belongs to the caller (release it
/// with VornBuffer::Destroy); every HBITMAP returned belongs to the caller
/// (release it with DeleteObject). Contexts and bitmaps handed in are never
/// released. Every context, bitmap and scratch buffer made inside a call is
/// released before it returns, and a context's mapping mode, origins and
/// extents are as they were when a call returns.
///
/// Failures: a null or invalid context, bitmap or buffer gives the function's
/// failure result (null, false); nothing throws except the standard
/// out-of-memory exception.
#ifndef VORN_GDI_H
#define VORN_GDI_H

#include <vorn/buffer.h>
#include <vorn/export.h>

#if defined(_WIN32)
#if defined(VORN_USE_MFC)
#include <afxwin.h>
#else
#include <vorn/platform/cdc.h>

#include <windows.h>
#endif
#elif defined(VORN_GDI_STANDIN)
#include <vorn/platform/cdc.h>
#include <vorn/platform/gdi.h>
#else
#error "vorn/gdi.h needs Windows, or Vorn built with -DVORN_WITH_GDI_STANDIN=ON"
#endif

// ---------------------------------------------------------------------------
// Bitmap handles
// ---------------------------------------------------------------------------

/// Reads any bitmap into a new buffer of its size, as 24-bit colour: every
/// pixel opaque (alpha 255), buffer row 0 the bitmap's top row. When GDI
/// reports a density for the bitmap (a DIB header's pixels per metre), the
/// buffer takes it (unit 0); otherwise it keeps 3780 per metre. Returns
/// null for a null or invalid handle or a size Build refuses.
VORN_API VornBuffer* bitmapToBuffer(HBITMAP bitmap);

/// As bitmapToBuffer at 32 bits: each pixel's fourth byte becomes its
/// alpha unchanged (0 included); nothing is converted.
VORN_API VornBuffer* bitmapToBufferWithAlpha(HBITMAP bitmap);

/// A new bitmap compatible with `hdc` (the display when null) of the
/// buffer's size, holding the buffer: with `withAlpha`, all four bytes of
/// each pixel; without, pixels that are not opaque flattened over the
/// buffer's background colour (black without one), as getRowRGB does.
/// Null for a null buffer or when the bitmap cannot be made.
VORN_API HBITMAP bufferToBitmap(HDC hdc, const VornBuffer* buffer, bool withAlpha);

/// A new bitmap compatible with `hdc` (the display when null) of
/// width x height pixels holding the buffer resampled to that size
/// (VornBuffer::resize), flattened as above. Null for a null buffer, a size
/// Build refuses or when the bitmap cannot be made.
VORN_API HBITMAP bufferToBitmap(HDC hdc, int width, int height, const VornBuffer* buffer);

/// A new 32-bit bottom-up DIB section of the buffer's size holding all four
/// bytes of every pixel, alpha included; its header carries the buffer's
/// density in pixels per metre. Null for a null buffer or when the section
/// cannot be made.
VORN_API HBITMAP bufferToBitmap(const VornBuffer* buffer);

/// As bufferToBitmap(buffer) for the buffer resampled to width x height.
VORN_API HBITMAP bufferToBitmap(int width, int height, const VornBuffer* buffer);

/// Writes the buffer into an existing bitmap through a bottom-up DIB of 32
/// bits (`withAlpha`: the four bytes of each pixel) or 24 bits (flattened
/// as getRowRGB does, rows padded to 4 bytes), with the buffer's density in
/// pixels per metre. The bitmap should have the buffer's size. Returns
/// false for a null context, bitmap or buffer, else true (what GDI makes of
/// the rows is not checked).
VORN_API bool copyBufferToBitmap(HDC hdc, HBITMAP bitmap, const VornBuffer* buffer, bool withAlpha);

// ---------------------------------------------------------------------------
// Device contexts
// ---------------------------------------------------------------------------

/// Copies the buffer opaquely onto the context with its top-left corner at
/// logical (x, y), through a compatible bitmap filled without alpha
/// (pixels that are not opaque arrive flattened over the background
/// colour). The copy is stretched when the context's mapping scales.
/// Returns true when GDI reports the copy done; false for a null context
/// or buffer or when the bitmap cannot be made.
VORN_API bool bitBlt(HDC hdc, int x, int y, const VornBuffer* buffer);

/// Paints the buffer with its alpha onto the context at logical (x, y):
/// captures the device pixels under the area, resamples the buffer to the
/// area's device size when the mapping scales, blends it over the capture
/// and copies the result back to the area's device position. The area is
/// the device rectangle between the converted corners (x, y) and
/// (x + width, y + height), taken from its top-left pixel whichever way
/// the context's axes point, so the image is never mirrored. Returns the
/// final copy's result; false for a null context or buffer or a failed
/// capture.
VORN_API bool alphaBlt(HDC hdc, int x, int y, const VornBuffer* buffer);

/// A new buffer holding what the context shows in the logical rectangle
/// from (x, y) to (x + width, y + height), at its size in device pixels
/// (row 0 the area's top row on the device), every pixel opaque. Null for
/// a null context, an empty area, a size Build refuses or when the pixels
/// cannot be read.
VORN_API VornBuffer* captureFromDC(HDC hdc, int x, int y, int width, int height);

/// A new buffer of width x height holding a copy of the context's pixels
/// from logical (0, 0), without conversion of the size: the caller chooses
/// the mapping. Null for a null context, a size Build refuses or when the
/// pixels cannot be read.
VORN_API VornBuffer* _captureFromDC(HDC hdc, int width, int height);

/// Paints the buffer with its alpha onto the context's device pixels from
/// (0, 0), whatever the context's mapping: captures them, blends the
/// buffer over the capture and copies it back. Does nothing for a null
/// context or buffer or when the capture fails.
VORN_API void blendToDC(HDC hdc, const VornBuffer* buffer);

// ---------------------------------------------------------------------------
// Off-screen buffer over a device context
// ---------------------------------------------------------------------------

/// An off-screen copy of an area of a device context, painted with the
/// library and copied back in one operation.
///
/// The constructor makes a 32-bit top-down DIB section the size of the area
/// in device pixels and a buffer over the section's memory (so every
/// library operation on getBuffer() writes straight into the section), and
/// fills it with what the context shows there; on a printer context
/// (IsPrinting) it fills blue, green and red with 255 instead and leaves
/// the fourth byte 0. blit() copies the whole area back, opaquely.
///
/// The object keeps the context's handle without owning it: the context
/// must outlive the object. It owns the section and the buffer and
/// releases them when destroyed. It cannot be copied; moving it leaves the
/// source empty (getBuffer() null, blit() returning 1).
class VORN_API CDCBuffer {
public:
    /// An area of `dc` with its top-left corner at logical (x, y), of
    /// width x height logical units; its device size is
    /// MulDiv(width, |viewport extent|, |window extent|) in each direction.
    /// A null `dc` or context, or a device size below 1 or too large for
    /// Build, leaves the object without a buffer.
    CDCBuffer(CDC* dc, int x, int y, int width, int height);
    /// Releases the section (DeleteObject) and then the buffer (Destroy).
    virtual ~CDCBuffer();

    CDCBuffer(const CDCBuffer&) = delete;
    CDCBuffer& operator=(const CDCBuffer&) = delete;
    /// Takes over the other object's section and buffer; `other` is left
    /// without either.
    CDCBuffer(CDCBuffer&& other) noexcept;
    /// Releases this object's own section and buffer, then takes over the
    /// other's; `other` is left without either.
    CDCBuffer& operator=(CDCBuffer&& other) noexcept;

    /// The buffer over the area, owned by this object; null when the area
    /// had no valid size.
    VornBuffer* getBuffer() { return buffer; }

    /// Copies the buffer onto the area of the context (device pixels, one
    /// StretchDIBits). Returns 0, or 1 when there is no buffer. The argument
    /// has no effect.
    int blit(int unused = 0);

protected:
    HDC hdc;                 ///< the context, not owned
    HBITMAP bitmap;          ///< the DIB section, owned; null if it could not be made
    BITMAPINFOHEADER header; ///< the section's description: 32 bits, top-down
    VornBuffer* buffer;      ///< cx x cy pixels over the section's memory, owned
    int left;                ///< the area's left edge in device pixels
    int top;                 ///< the area's top edge in device pixels
    int cx;                  ///< the area's width in device pixels
    int cy;                  ///< the area's height in device pixels

private:
    void release();
};

#endif
