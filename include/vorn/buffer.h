// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: the image buffer.
///
/// VornBuffer is an in-memory image of 32-bit pixels (bytes blue, green, red,
/// alpha, straight colour) with a pixel density, an optional background
/// colour and a transparency flag. Everything the library draws, composites,
/// resamples, reads or writes goes through this one class.
///
/// Coordinates: column 0 is the left edge, row 0 the top row, y grows
/// downwards. Drawing outside a buffer is clipped silently; it is never an
/// error. Colour arguments come in the order red, green, blue, alpha.
///
/// Ownership: every VornBuffer* the library returns belongs to the caller and
/// is released with VornBuffer::Destroy (the destructor is protected).
#ifndef VORN_BUFFER_H
#define VORN_BUFFER_H

#include <vorn/export.h>

#include <cstdint>

/// One pixel: four bytes in memory order blue, green, red, alpha.
/// Straight (not premultiplied) colour; alpha 0 is transparent, 255 opaque.
struct _VORNRGBAQUAD {
    unsigned char blue;  ///< blue, 0 to 255
    unsigned char green; ///< green, 0 to 255
    unsigned char red;   ///< red, 0 to 255
    unsigned char alpha; ///< opacity: 0 transparent, 255 opaque
};

/// A position in buffer coordinates: x (column) then y (row), signed 32-bit.
struct _VORNPOINT {
    int x; ///< column; 0 is the left edge
    int y; ///< row; 0 is the top row
};

/// A colour in the hue, lightness, saturation model of hls.h. Hue,
/// lightness and saturation run from 0 to 240; alpha is the pixel's alpha.
struct _VORNHLSAQUAD {
    unsigned char hue;        ///< 0 red, 40 yellow, 80 green, 120 cyan, 160 blue, 200 magenta
    unsigned char lightness;  ///< 0 black to 240 white
    unsigned char saturation; ///< 0 grey to 240 full colour
    unsigned char alpha;      ///< the pixel's alpha
};

/// The image object. Create it with Build (or any member or function that
/// returns a new buffer) and release it with Destroy.
class VORN_API VornBuffer {
public:
    /// Raster operation of buffer compositing (see rop and the virtual
    /// members blend, xorBlend, andBlend, orBlend).
    enum ROP {
        ROP_BLEND = 0, ///< pixel blend of each source pixel whose alpha is above 0
        ROP_XOR = 1,   ///< blue, green and red XOR the source; alpha unchanged
        ROP_AND = 2,   ///< the same with AND
        ROP_OR = 3     ///< the same with OR
    };

    /// Byte order of the 4-byte pixels written by getRowRGBA.
    enum RGBA_ORDER {
        ORDER_RGBA = 0, ///< red, green, blue, alpha
        ORDER_AGBR = 1, ///< alpha, green, blue, red
        ORDER_ARGB = 2, ///< alpha, red, green, blue
        ORDER_BGRA = 3  ///< blue, green, red, alpha (the buffer's own order)
    };

    // ---------------------------------------------------------------------
    // Creation, destruction and copies
    // ---------------------------------------------------------------------

    /// Creates a buffer of width x height pixels.
    ///
    /// With `pixels` null the buffer allocates and owns a block of
    /// width x height pixels, every byte 0 (transparent black). With a block
    /// given, the buffer borrows it as is (neither copied nor cleared): the
    /// caller keeps it alive, holding width x height pixels, for the
    /// buffer's lifetime and frees it afterwards.
    ///
    /// Returns null, allocating nothing, unless width >= 1, height >= 1 and
    /// width x height x 4 <= 2,147,483,647 bytes. The new buffer has density
    /// 3780 pixels per metre (96 per inch), no background and no
    /// transparency. Release it with Destroy.
    static VornBuffer* Build(int width, int height, _VORNRGBAQUAD* pixels = nullptr);

    /// Releases a buffer (its work areas, its pixel block when it owns it,
    /// and the object) and sets the caller's pointer to null. Does nothing
    /// for a null pointer.
    static void Destroy(VornBuffer*& buffer);

    /// Makes a buffer that shows the same pixels as `other` without owning
    /// them: it shares other's pixel block (its ownsPixels is 0) and has no
    /// polygon work areas of its own, so destroying both objects is safe.
    /// The pixels must outlive the copy. Every other field is copied.
    VornBuffer(const VornBuffer& other);

    /// Turns this buffer into a non-owning view of `other`'s pixels, as the
    /// copy constructor does. The memory this buffer owned before (pixel
    /// block and work areas) is released first, except a pixel block that
    /// `other` shows too: this buffer keeps owning it (so a copy assigned
    /// back over its source neither leaks nor frees the block twice).
    VornBuffer& operator=(const VornBuffer& other);

    // ---------------------------------------------------------------------
    // Accessors and metadata
    // ---------------------------------------------------------------------

    /// Number of columns.
    int getWidth() const { return width; }
    /// Number of rows.
    int getHeight() const { return height; }

    /// The pixel block: width x height pixels, row-major, top row first,
    /// without gaps between rows; pixel (x, y) is element y x width + x.
    /// Owned by the buffer or borrowed from the caller (see Build).
    ///@{
    _VORNRGBAQUAD* getPixels() { return pixels; }
    const _VORNRGBAQUAD* getPixels() const { return pixels; }
    ///@}

    /// Address of pixel (x, y), or null when the buffer has no pixels or
    /// the position is outside it.
    ///@{
    _VORNRGBAQUAD* getPixel(int x, int y);
    const _VORNRGBAQUAD* getPixel(int x, int y) const;
    ///@}

    /// Stores the density: unit 0 pixels per metre, 1 pixels per inch,
    /// 2 pixels per centimetre, and the horizontal and vertical values in
    /// that unit. The values are stored unchanged, without any check.
    void setDensity(int unit, int x, int y);

    /// Same as getPixelsPerMetreX.
    int getPixelsPerMetre() const;
    /// Horizontal density in pixels per metre, converted from the stored
    /// unit and truncated toward zero (96 per inch gives 3779). An unknown
    /// unit returns the stored value.
    int getPixelsPerMetreX() const;
    /// Vertical density in pixels per metre (as getPixelsPerMetreX).
    int getPixelsPerMetreY() const;
    /// Horizontal density in pixels per inch, truncated toward zero
    /// (3780 per metre gives 96, 3779 gives 95). An unknown unit returns
    /// the stored value.
    int getPixelsPerInchX() const;
    /// Vertical density in pixels per inch (as getPixelsPerInchX).
    int getPixelsPerInchY() const;

    /// Stores the transparency flag. Nothing in the library consults it;
    /// it is metadata for the caller.
    void setHasTransparency(bool value) { transparent = value; }
    /// The transparency flag (false for a new buffer).
    bool hasTransparency() const { return transparent; }

    /// Stores the colour the caller declares transparent; its alpha byte
    /// becomes 0. Does not change the transparency flag.
    void setTransparentColour(unsigned char red, unsigned char green, unsigned char blue);
    /// The transparent colour, all four bytes. Before the first
    /// setTransparentColour it is transparent black.
    _VORNRGBAQUAD getTransparentColour() const { return transparentColour; }

    /// Sets the background colour, used when pixels are flattened (row
    /// export, BMP writing, PNG bKGD).
    void setBackground(unsigned char red, unsigned char green, unsigned char blue);
    /// Writes the background colour through every pointer that is not null
    /// and returns 1; returns 0, writing nothing, when no background was set.
    int getBackground(unsigned char* red, unsigned char* green, unsigned char* blue) const;

    // ---------------------------------------------------------------------
    // Whole-buffer fills
    // ---------------------------------------------------------------------

    /// Sets every pixel to the colour, alpha included. No effect without
    /// pixels.
    void fill(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha);
    /// Sets blue, green and red of every pixel; alpha bytes stay.
    void fillColour(unsigned char red, unsigned char green, unsigned char blue);
    /// Sets the alpha byte of every pixel; colour bytes stay.
    void fillAlpha(unsigned char alpha);
    /// Undoes premultiplied alpha: every colour byte c of a pixel with
    /// alpha A > 0 becomes c x 255 / A rounded down (low 8 bits stored when
    /// c > A). Pixels with alpha 0 and all alpha bytes are unchanged.
    void PBGRAtoBGRA();

    // ---------------------------------------------------------------------
    // Buffer-to-buffer compositing
    // ---------------------------------------------------------------------

    /// Lays `src` over this buffer with its top-left pixel at (x, y): every
    /// source pixel whose alpha is above 0 is blended onto the destination
    /// pixel under it (the pixel blend, extra opacity 255). Pixels outside
    /// this buffer are clipped. Returns -1 for a null source, else 0.
    /// When src is this buffer, pixels changed earlier in the row-major walk
    /// are read again by later steps.
    virtual int blend(const VornBuffer* src, int x, int y);
    /// As blend, with destination blue, green and red XOR the source bytes;
    /// destination alpha unchanged. Returns -1 for a null source, else 0.
    virtual int xorBlend(const VornBuffer* src, int x, int y);
    /// As xorBlend with AND.
    virtual int andBlend(const VornBuffer* src, int x, int y);
    /// As xorBlend with OR.
    virtual int orBlend(const VornBuffer* src, int x, int y);

    /// Stretches `src` by nearest-neighbour sampling onto the rectangle from
    /// (x1, y1) to (x2, y2), both corners included, blending each sample
    /// (extra opacity 255). Sampling is computed in single precision.
    /// Clipped to this buffer. Returns -1 for a null source, else 0.
    int blend(const VornBuffer* src, int x1, int y1, int x2, int y2);

    // ---------------------------------------------------------------------
    // Row export, duplicate, flip
    // ---------------------------------------------------------------------

    /// Writes row `row` as 3-byte pixels (blue, green, red; red, green, blue
    /// when `rgb` is true) into `out`, which must hold 3 x width bytes.
    /// Pixels that are not opaque are flattened onto the background colour
    /// (black without one): (p x a + bg x (255 - a)) >> 8, alpha 0 giving
    /// the background exactly. Returns the bytes written, 0 for a row
    /// outside the buffer or a null `out`.
    int getRowRGB(int row, unsigned char* out, bool rgb) const;
    /// Writes row `row` as raw 4-byte pixels in `order` into `out` (room for
    /// 4 x width bytes). Returns the bytes written, 0 for a row outside the
    /// buffer (checked first), -1 for an invalid order, 0 for a null `out`.
    int getRowRGBA(int row, unsigned char* out, RGBA_ORDER order) const;
    /// As getRowRGBA, with the colour flattened as in getRowRGB and every
    /// output alpha byte set to `alpha`.
    int getRowRGBA(int row, unsigned char* out, RGBA_ORDER order, unsigned char alpha) const;
    /// A deep copy: same size and pixels, the transparency flag and colour;
    /// default density and no background. Owned by the caller (Destroy).
    VornBuffer* duplicate() const;
    /// Turns the image upside down in place.
    void flip();

    // ---------------------------------------------------------------------
    // Circles and ellipses (aliased; pixels are overwritten, never blended)
    //
    // Every pixel a shape covers is set to the colour, all four bytes
    // (alpha 0 writes alpha 0); pixels outside the buffer are dropped, so a
    // shape may lie partly or wholly outside it. The shape is that of the
    // two-region midpoint trace of x^2/a^2 + y^2/b^2 = 1, computed in exact
    // integer arithmetic for any box; rows (then columns) that the two
    // regions leave between them are plotted at the last step of the first
    // region (of the second), so a filled shape has no empty row and an
    // outline is one 8-connected curve. Only the rows and columns that can
    // reach the buffer are traced, so the time grows with the buffer's
    // size and the pixels painted, not with the radius. All return 0.
    // ---------------------------------------------------------------------

    /// Outlines the ellipse in the box from p1 (top-left) to p2. The centre
    /// is (p1 + p2) / 2, truncated toward zero; the semi-axes are
    /// centre - p1, so an odd extent puts the right or lower edge one pixel
    /// inside p2. A box with equal x or equal y coordinates, or with p1 not
    /// above and left of the centre (semi-axis below 1), draws nothing.
    /// Colour in the order red, green, blue, alpha. The points are only
    /// read. Returns 0.
    int drawEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                    unsigned char green, unsigned char blue, unsigned char alpha);
    /// Fills the ellipse of drawEllipse: for each row, the span between the
    /// outline's pixels, ends included. Returns 0.
    int fillEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                    unsigned char green, unsigned char blue, unsigned char alpha);
    /// Outlines the circle of `radius` pixels about `centre`: the ellipse
    /// of drawEllipse in the box centre - trunc(radius) to
    /// centre + trunc(radius), formed in 64 bits (corners beyond the int
    /// range are clamped to it), so the shape is centred on `centre` and a
    /// fractional radius draws the circle of its whole part. A radius below
    /// 1 (negative included), infinite or NaN draws nothing. Returns 0.
    int drawCircle(const _VORNPOINT& centre, double radius, unsigned char red, unsigned char green,
                   unsigned char blue, unsigned char alpha);
    /// Fills the circle of drawCircle. Returns 0.
    int fillCircle(const _VORNPOINT& centre, double radius, unsigned char red, unsigned char green,
                   unsigned char blue, unsigned char alpha);
    /// Outlines the upper half (side not 0: rows at and above the centre)
    /// or the lower half (side 0: rows at and below it) of the circle of
    /// drawCircle. The centre row belongs to both, so the two halves
    /// together give exactly drawCircle. Returns 0.
    int drawHalfCircle(const _VORNPOINT& centre, double radius, unsigned char red,
                       unsigned char green, unsigned char blue, unsigned char alpha, int side);

    // ---------------------------------------------------------------------
    // Marker shapes, painted from the buffer's top-left corner
    //
    // Small solid glyphs for a buffer of about the marker's size, to be
    // composited where they are needed. Sizes are in pixels; a loop "while
    // size > index" runs over the indices below the size, so fractional
    // sizes round up. Pixels are overwritten (all four bytes) and clipped to
    // the buffer. A size that is not a number or infinite paints nothing.
    // All return 0.
    // ---------------------------------------------------------------------

    /// A w x h square, w must equal h (else nothing): columns x < w of rows
    /// y < h. When w > 4 its four corner pixels are left out: row 0 and row
    /// trunc(h - 1) then only cover x = 1 while w - 1 > x. Returns 0.
    int fillSquare(double w, double h, unsigned char red, unsigned char green, unsigned char blue,
                   unsigned char alpha);
    /// An isosceles triangle, apex (trunc((w + 1) / 2), 0) at the top, base
    /// from (0, trunc(h)) to (trunc(w), trunc(h)) included: each row spans
    /// the two edges, truncated toward zero. A negative trunc(h) paints only
    /// the apex; trunc(h) = 0 (a triangle without height) paints nothing.
    /// Only the low 8 bits of green are used. Returns 0.
    int fillTriangle(double w, double h, unsigned char red, unsigned int green, unsigned char blue,
                     unsigned char alpha);
    /// A flat pill: trunc((h + 1) / 2) rows from row trunc((h + 1) / 4),
    /// columns x < w. From 6 rows up, its two top and two bottom rows are
    /// shortened by two and by one pixel at each end: the left ends are
    /// columns 2 and 1, the right ends trunc(w - 2) and trunc(w - 1) (one
    /// column further in for a whole width of 4 or more), which mirror the
    /// left ones about the full rows' centre for every width above 2 but 3.
    /// Narrower pills keep those formulas and are not symmetric. Returns 0.
    int fillOval(double w, double h, unsigned char red, unsigned char green, unsigned char blue,
                 unsigned char alpha);

    // ---------------------------------------------------------------------
    // Lines
    // ---------------------------------------------------------------------

    /// Clips the segment p1-p2 in place to the rectangle (left, top, right,
    /// bottom), all four edges inclusive; the rectangle comes from the
    /// arguments, not from this buffer. One pass: the left, right, top and
    /// bottom edges in that order, each moving the point beyond it (p1
    /// first) to the crossing, which is rounded toward p1's coordinate, so
    /// the result depends on the segment's direction: (-7, 2)-(13, 9)
    /// becomes (0, 4)-(10, 7) in (0, 0, 10, 10), while (13, 9)-(-7, 2)
    /// becomes (10, 9)-(0, 5). A crossing is computed in single precision
    /// while the coordinate differences it uses are at most 2^24, in double
    /// precision beyond, so that far ends do not pull it off the line.
    ///
    /// Returns true when something is left to draw (both points then lie
    /// inside the rectangle), false otherwise. The points may have changed
    /// even when the result is false. Any 32-bit coordinates are accepted:
    /// a segment through a point three pixels or more inside the rectangle
    /// is kept, its clipped ends within a pixel of the line where the other
    /// end was inside, and within two where both were clipped (so a segment
    /// that only cuts a corner by less can come out just outside it and be
    /// rejected).
    bool ClipLine(_VORNPOINT& p1, _VORNPOINT& p2, int left, int top, int right, int bottom) const;
    /// Draws a one-pixel Bresenham line from p1 toward p2 in the colour
    /// (red, green, blue, alpha), blending each pixel once (the colour's
    /// alpha sets the opacity). The segment is first clipped with ClipLine
    /// to (0, 0, width, height); pixels outside the buffer are dropped. The
    /// end point p2 is not drawn, unless p1 equals p2 (one pixel), so the
    /// two directions of a segment can light different pixels; but when
    /// clipping moved p2 (the line leaves the buffer), the clipped p2 is
    /// drawn as one more step of the walk, so the line reaches the edge it
    /// leaves through. The caller's points are not changed. Returns 0.
    int drawSolidLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                      unsigned char green, unsigned char blue, unsigned char alpha);
    /// As drawSolidLine when antiAlias is 0. Any other value draws the
    /// anti-aliased line: both end points in the full colour, and on every
    /// column (row, for steep lines) strictly between them two neighbouring
    /// pixels sharing the colour's alpha by the line's distance from them.
    /// Horizontal and vertical lines, and diagonals along which x and y grow
    /// together, are drawn as by drawSolidLine. Returns 0.
    int drawSolidLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                      unsigned char green, unsigned char blue, unsigned char alpha, int antiAlias);
    /// The Bresenham line of drawSolidLine, two pixels on and two off,
    /// counted in steps along the major axis from the clipped first point
    /// (a line entering the buffer starts its pattern where it enters); the
    /// step onto an end that clipping moved counts like any other.
    /// Returns 0.
    int drawDashedLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                       unsigned char green, unsigned char blue, unsigned char alpha);

    /// An open polyline through `count` points: the segments points[i] to
    /// points[i + 1] in order, each drawn and clipped as drawSolidLine (so
    /// the last point is not drawn). Fewer than 2 points, or a null array,
    /// draw nothing. Pixels where segments meet are blended once per
    /// segment. The points are only read. Returns 0.
    int strokePolyline(const _VORNPOINT* points, int count, unsigned char red, unsigned char green,
                       unsigned char blue, unsigned char alpha);
    /// As strokePolyline; antiAlias not 0 draws anti-aliased segments, which
    /// draw both their ends (shared vertices are blended twice).
    int strokePolyline(const _VORNPOINT* points, int count, unsigned char red, unsigned char green,
                       unsigned char blue, unsigned char alpha, int antiAlias);
    /// The closed outline of every contour of a polygon: `contours`
    /// contours whose sizes are in `sizes`, their points one after another
    /// in `points`; each contour's last point joins its first. Every segment
    /// is drawn as drawSolidLine, so each vertex of a contour of two or more
    /// points is drawn once, as the start of its outgoing segment; a
    /// contour of one point draws that pixel. Contours of size 0 or less
    /// are skipped without moving through the points. Null arrays or fewer
    /// than 1 contour draw nothing. Returns 0.
    int strokePolygon(const _VORNPOINT* points, const int* sizes, int contours, unsigned char red,
                      unsigned char green, unsigned char blue, unsigned char alpha);
    /// As strokePolygon; antiAlias not 0 draws anti-aliased segments.
    int strokePolygon(const _VORNPOINT* points, const int* sizes, int contours, unsigned char red,
                      unsigned char green, unsigned char blue, unsigned char alpha, int antiAlias);

    // ---------------------------------------------------------------------
    // Polygon fills (polygon layout as strokePolygon)
    // ---------------------------------------------------------------------

    /// Fills a polygon, aliased: a pixel is covered or not. Within one
    /// contour the rule is non-zero winding (a self-crossing star is filled
    /// solid) and every pixel an edge passes through is covered, so the
    /// outline belongs to the fill. Each later contour toggles what the
    /// earlier ones covered, so a contour inside another cuts a hole (the
    /// hole's left and right border columns stay covered). Every contour's
    /// winding starts from 0, also where contours run off the buffer's left
    /// edge. Points may lie anywhere in the 32-bit range; the cost follows
    /// the part of the polygon over the buffer. Contours after the first
    /// with a size of 0 or less are skipped.
    ///
    /// Covered pixels are written directly, by `mode`: 4 or 5 combine each
    /// byte with the colour's (AND when both are non-zero, else OR); 9 fills
    /// contour by contour, a pixel that already holds the colour becoming 0
    /// in all four bytes and any other the colour; any other mode writes the
    /// colour, alpha included.
    ///
    /// Returns -1, touching nothing, when contours < 1, sizes[0] < 1 or an
    /// array is null; else 0. The first fill of a buffer allocates its work
    /// areas (edgeMap, rowCarry), which later fills reuse.
    int fillPolygon(const _VORNPOINT* points, const int* sizes, int contours, unsigned char red,
                    unsigned char green, unsigned char blue, unsigned char alpha, int mode);
    /// Covers the pixels of fillPolygon (mode 0) and blends the colour into
    /// each covered pixel once (the colour's alpha sets the opacity). An
    /// alpha of 0 returns 0 at once. Returns -1 as fillPolygon, else 0.
    /// As every pixel an edge passes through is covered, two polygons that
    /// share an edge both cover its pixels: filled one after the other in a
    /// translucent colour, the shared edge is blended twice and shows as a
    /// denser line (an opaque colour looks the same either way).
    int fillPolygonBlend(const _VORNPOINT* points, const int* sizes, int contours,
                         unsigned char red, unsigned char green, unsigned char blue,
                         unsigned char alpha);
    /// Covers the pixels of fillPolygon (mode 0) and blends into each one
    /// the texel of `texture` tiled from this buffer's origin: pixel (x, y)
    /// takes texel (x mod texture width, y mod texture height), wherever the
    /// polygon lies. `opacity` scales each texel's alpha (255 uses it
    /// unscaled, 0 changes nothing). The texture is only read; it may share
    /// this buffer's pixels. Returns -1 as fillPolygon, and for a null
    /// texture or one without pixels (changing nothing); else 0. As with
    /// fillPolygonBlend, a translucent texture blends the pixels of an edge
    /// shared by two separately filled polygons twice.
    int fillPolygonBitmap(const _VORNPOINT* points, const int* sizes, int contours,
                          const VornBuffer* texture, unsigned char opacity);
    /// Blends the colour into every pixel of the rectangle from p1 (least x
    /// and y) to p2 (greatest x and y), both corners included, each once;
    /// clipped to the buffer. Corners out of order, or an alpha of 0, draw
    /// nothing. Returns 0.
    int fillRectangleBlend(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                           unsigned char green, unsigned char blue, unsigned char alpha);

    // ---------------------------------------------------------------------
    // Resampling and transforms
    // ---------------------------------------------------------------------

    /// Resamples this buffer into `dst`, built by the caller at the wanted
    /// size; this buffer is only read, and of dst only the pixels change.
    ///
    /// When this buffer is a whole multiple of dst in both directions, each
    /// destination pixel is the average of its block of source pixels, in
    /// integers: each colour byte the alpha-weighted mean
    /// floor(sum(colour x alpha) / sum(alpha)) (0 when no pixel of the
    /// block has alpha), the alpha byte the plain mean, truncated; so a
    /// translucent colour keeps its colour (equal sizes give an exact copy). Otherwise every
    /// destination pixel (x, y) samples source position (x * sx, y * sy),
    /// sx and sy being the source size over the destination size, without
    /// a half-pixel offset: an enlarged (or kept) direction interpolates
    /// linearly between two pixels, a reduced one averages the span the
    /// pixel covers. When either direction is reduced, pixels with alpha 0
    /// take no part in the colour, which is the weighted mean of the other
    /// pixels' colours, while the alpha is the weighted mean of the alphas
    /// of every pixel of the footprint, clear ones included: an opaque area
    /// stays opaque and an area of one alpha keeps it, at any scale, and
    /// an edge between clear and opaque pixels gets the opaque share of
    /// its footprint. Enlarging both ways
    /// interpolates the alpha too, a neighbour beyond the last column or
    /// row being taken as the edge pixel (so an opaque image stays opaque
    /// and keeps its edge colour); colours of neighbourhoods that are not
    /// wholly opaque are weighted by alpha, so that the colour of clear
    /// pixels does not bleed.
    /// Filtered values are truncated into bytes after absorbing rounding
    /// noise (below 1e-6), so that flat colours stay flat.
    ///
    /// Returns 0 on success (also for a dst 0 wide or high, which receives
    /// nothing), -1 when this buffer has no pixels, -2 for a negative source
    /// size, -3 for a null destination, a negative destination size or a
    /// destination without pixels; nothing is written on failure.
    int resize(VornBuffer* dst) const;

    /// Returns a new buffer holding this one turned clockwise by `angle`
    /// degrees about its centre, every pixel copied unfiltered (all four
    /// bytes) to one destination pixel by three rounded shears; pixels that
    /// receive none stay (0, 0, 0, 0). Any int angle works; it is taken
    /// modulo 360. The result is one pixel wider and higher than the turned
    /// extents rounded (a W x H buffer at 0 degrees gives W + 1 x H + 1
    /// with the image at the top left), and has the settings of a new
    /// buffer. Where the shears would put pixels beyond one side of the
    /// result while the other side has room, every column (or row) moves
    /// over as far as that room allows, so pixels are lost only when the
    /// turned image is wider or higher than the result. Null when this
    /// buffer has no pixels or the result would be larger than Build
    /// accepts. Owned by the caller (Destroy).
    VornBuffer* rotateBuffer(int angle) const;

    /// Paints this buffer into `dst` over a mesh of nx x ny destination
    /// points (row by row in `grid`, which must hold nx x ny points): source
    /// cell (i, j) of a regular (nx - 1) x (ny - 1) grid goes onto the
    /// quadrilateral of grid points (i, j), (i + 1, j), (i + 1, j + 1),
    /// (i, j + 1), by inverse bilinear mapping and bilinear sampling. Each
    /// quadrilateral paints the half-open bounding box of its corners
    /// (right column and bottom row excluded), clipped to dst; corners may
    /// lie anywhere. Written pixels are opaque; samples without any opacity
    /// leave dst as it was. Every pixel inside a convex cell is painted, and
    /// so is every pixel on an edge two cells share, except the grid points
    /// of the last column and row of points (they map to the source's far
    /// edge, which has no pixel to sample). Only folded cells have points
    /// without a real inverse; those leave dst as it was. Returns false,
    /// writing nothing, when nx or ny is below 2, dst or grid is null or
    /// either buffer has no pixels; else true.
    bool warp(VornBuffer* dst, const _VORNPOINT* grid, int nx, int ny) const;

    // ---------------------------------------------------------------------
    // Image files
    // ---------------------------------------------------------------------

    /// The format of a file by its first bytes: 2 PNG (the PNG signature),
    /// 4 GIF ("GIF87a" or "GIF89a"), 1 JPEG (a JFIF start: FF D8 FF E0 and
    /// "JF" at byte 6), 3 BMP ("BM"), tested in that order. When none
    /// matches, the extension decides (.png, .gif, .jpg, .bmp, any case);
    /// otherwise -1. A file that cannot be opened gives -1 whatever its
    /// name. Narrow paths are UTF-8 (the active code page on Windows).
    ///@{
    static int GetFormat(const char* path);
    static int GetFormat(const wchar_t* path);
    ///@}

    /// Reads an image file into a new buffer, owned by the caller (release
    /// it with Destroy), or returns null.
    ///
    /// `format` 0 (or the overload without it) detects the format as
    /// GetFormat does; files that are neither PNG nor BMP go to the image
    /// library (JPEG, GIF and whatever else it reads). 1 JPEG, 2 PNG, 3 BMP
    /// and 4 GIF force that reader; any other value gives null without
    /// opening the file.
    ///
    /// The buffer holds the file's pixels with alpha (255 where the format
    /// has none). PNG sets the density from pHYs (pixels per metre) and
    /// the background colour from bKGD; BMP sets the density from its
    /// header (pixels per metre, 0 x 0 for the oldest header); JPEG sets
    /// the density in pixels per inch when the file gives one. Otherwise
    /// the density stays 3780 pixels per metre. Files that claim more
    /// pixels than Build accepts, or than their length can hold, give null
    /// without allocating.
    ///@{
    static VornBuffer* Read(const char* path, int format);
    static VornBuffer* Read(const char* path);
    static VornBuffer* Read(const wchar_t* path, int format);
    static VornBuffer* Read(const wchar_t* path);
    ///@}

    /// Writes the buffer to an image file. `format` 0 (or the overload
    /// without it) takes the format from the extension (.png, .bmp, .jpg,
    /// any case); 1 JPEG, 2 PNG and 3 BMP force one. GIF (4), other
    /// extensions and other codes give -1 without creating a file.
    ///
    /// PNG keeps every byte, alpha included, and stores the density
    /// (pHYs, pixels per metre) and the background colour (bKGD) when one
    /// is set. BMP is 24-bit: each pixel is flattened onto the background
    /// colour (black without one) as colour x a + background x (1 - a),
    /// a = alpha / 255, truncated. JPEG goes through the image library.
    ///
    /// Returns 0 on success, -1 on failure (a file that cannot be created,
    /// a full disk, an I/O error). A plain file is written under a
    /// temporary name beside it and renamed into place when complete, so a
    /// failed write leaves an existing file as it was. The buffer is not
    /// changed.
    ///@{
    int write(const char* path, int format) const;
    int write(const char* path) const;
    int write(const wchar_t* path, int format) const;
    int write(const wchar_t* path) const;
    ///@}

    /// \cond INTERNAL
    // The protected members: the workers behind the public members and the
    // fields, for the library's own sources (src/core/access.h reaches them
    // from its free functions and tests). Their notes describe how they
    // work, not a contract for callers, and stay out of the reference.
protected:
    /// Sets every field to its default with the given size; allocates
    /// nothing.
    VornBuffer(int width, int height);
    /// Frees the work areas and the pixel block when owned. Not virtual:
    /// buffers are released through Destroy.
    ~VornBuffer();

    // Pixel writes -----------------------------------------------------------

    /// The pixel blend: lays `src` over `dst` with the extra opacity
    /// `alpha` (255 uses the source alpha unscaled). Integer arithmetic
    /// with shifts by 8; an opaque destination takes weight a + 1 of 256.
    void blend(_VORNRGBAQUAD& dst, const _VORNRGBAQUAD& src, unsigned char alpha);
    /// Overwrites pixel (x, y) with all four bytes of `colour`; clipped.
    void setPixel(int x, int y, const _VORNRGBAQUAD& colour);
    /// Blends `colour` onto pixel (x, y) with extra opacity 255; clipped.
    void setPixelBlend(int x, int y, const _VORNRGBAQUAD& colour);

    /// Buffer compositing at an offset with any raster operation; an
    /// unknown operation changes nothing. -1 for a null source, else 0.
    int rop(const VornBuffer* src, int x, int y, ROP op);

    // Shapes -----------------------------------------------------------------

    /// The worker of drawEllipse (fill 0) and fillEllipse (any other fill),
    /// for the box p1-p2 as described there. Returns 0.
    int drawOrFillEllipse(int fill, const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                          unsigned char green, unsigned char blue, unsigned char alpha);
    /// The upper (side not 0) or lower (side 0) half of the outline of
    /// drawEllipse for the box p1-p2; the centre row belongs to both.
    /// Returns 0.
    int drawHalfEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                        unsigned char green, unsigned char blue, unsigned char alpha, int side);

    // Lines and outlines -----------------------------------------------------

    /// Clips p1-p2 to (0, 0, width, height) and draws the Bresenham line
    /// (antiAlias 0) or hands the clipped points to strokeWuLine (any other
    /// value). Every pixel goes through the pixel blend. Returns 0.
    int strokeLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour, int antiAlias);
    /// The anti-aliased line (see drawSolidLine), its positions accumulated
    /// in single precision. Returns 0.
    int strokeWuLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour);
    /// The dashed line of drawDashedLine. Returns 0.
    int strokeDashedLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour);
    /// The closed outline of one contour of `count` points, as one contour
    /// of strokePolygon; a count below 1 draws nothing. Returns 0.
    int strokeLoop(const _VORNPOINT* points, int count, _VORNRGBAQUAD colour, int antiAlias);

    // Polygon scan converter -------------------------------------------------
    //
    // The plain form of the fills' scan converter, step by step. Edges are
    // walked into edgeMap: per cell, bits 0-3 count crossings of edges along
    // which y grows, bits 4-7 those along which y shrinks, 256 marks a
    // border pixel without a crossing; crossings left of the buffer go to
    // the row's rowCarry cell. The map pass then leaves 0 (uncovered), 256
    // (border outside the winding) or 512 (covered) in every cell it
    // visits. The workers expect the work areas to exist; they write cells
    // and carries without clearing them.

    /// Traces one contour of n points (a first point repeated at the end
    /// dropped) edge by edge with fillLine. For two or more distinct points
    /// the four references become the contour's least and greatest x and y;
    /// for one they are left as they are. Returns 0.
    int fillLoop(const _VORNPOINT* points, int n, int& minX, int& minY, int& maxX, int& maxY);
    /// Walks the edge start -> end (previous is the vertex before start)
    /// into the work areas: one crossing per row the edge passes through,
    /// marks on its other pixels; the end point is left to the next edge.
    /// extremumRun 1 marks a horizontal run that the contour enters and
    /// leaves on the same side of its row. Returns 0.
    int fillLine(_VORNPOINT previous, _VORNPOINT start, _VORNPOINT end, int extremumRun);
    /// Adds `value` to cell (x, y) (256 only to a cell below 256), or for
    /// x < 0 its net crossing count to the row's carry. Returns -1 when y is
    /// outside the buffer or x >= width, else 0.
    int fillPoint(int x, int y, int value);
    /// The map pass over the bounds clamped to the buffer: per row, the
    /// winding starts from the row's carry and the crossing counts turn the
    /// cells into covered and uncovered ones (a covered cell of an earlier
    /// contour under a non-zero winding is uncovered). Returns 0.
    int fillMap(int minX, int minY, int maxX, int maxY);
    /// Writes every pixel whose cell is non-zero, among the first `count`,
    /// directly by fillPolygon's mode. Returns 0.
    int transferMap(int count, int mode, _VORNRGBAQUAD colour);
    /// Blends the colour into every pixel of the bounds (clamped) whose cell
    /// is non-zero. Returns 0.
    int transferMapBlend(const _VORNRGBAQUAD& colour, int minX, int minY, int maxX, int maxY);
    /// Blends the tiled texel at the opacity into every pixel, among the
    /// first `count`, whose cell is non-zero. Returns 0.
    int transferMapBitmap(int count, const VornBuffer* texture, unsigned char opacity);

    // Resampling -------------------------------------------------------------

    /// Block averaging by whole factors fx, fy into dst (this buffer's size
    /// divided by them), through fy row cursors walking the source once.
    /// Returns 0.
    int reduce(VornBuffer* dst, int fx, int fy) const;
    /// Destination pixel (x, y) for scale factors sx, sy: zeroes the sums,
    /// runs the filter the factors choose and converts the sums, each byte
    /// truncated after absorbing rounding noise below 1e-6. A weight sum
    /// below 1e-9 gives the colour sums as they stand and alpha 0.
    /// Otherwise the colour is each sum over the weight sum; the alpha is,
    /// for Enlarge, the weight sum x 255 and, for the other filters,
    /// sum(alpha / 255.0 x weight) / sum(weight) x 255 over every pixel of
    /// the footprint, clear ones included (the weighted mean alpha).
    void getResizePixel(_VORNRGBAQUAD* out, int x, int y, double sx, double sy) const;
    /// One block: fx pixels from each of the fy cursors (advancing them),
    /// column by column; writes the block's mean into out (colours weighed
    /// by alpha, see resize). Nothing when fx < 1.
    void getReducePixel(const _VORNRGBAQUAD** rows, _VORNRGBAQUAD* out, int fx, int fy) const;
    /// The filters of getResizePixel, linear or box per direction: each adds
    /// the footprint of destination (x, y) to the red, green and blue sums
    /// and to the weight sum `a`. Enlarge: linear both ways, a neighbour
    /// beyond the last column or row taken as the edge pixel with its own
    /// weight; `a` gains the alpha shares. X: linear across, box down; Y: box across, linear down;
    /// Reduce: box both ways; these three skip pixels with alpha 0 and `a`
    /// gains the plain weights (their alpha comes from the whole footprint,
    /// see getResizePixel).
    void getEnlargeRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                        double& a) const;
    void getXRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                  double& a) const;
    void getYRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                  double& a) const;
    void getReduceRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                       double& a) const;

    // Mesh warp --------------------------------------------------------------

    /// Paints the source rectangle rect[0]..rect[1] onto the quadrilateral
    /// quad[0..3] (top-left, top-right, bottom-right, bottom-left) of dst.
    /// Returns true.
    bool warp(VornBuffer* dst, const _VORNPOINT* rect, const _VORNPOINT* quad) const;
    /// Solves the bilinear map with coefficients a..f (coeffs[0..5]) for the
    /// parameters u, v of the offset (x, y) from the first corner; NaN when
    /// the point has no real inverse. Where the second parameter follows
    /// from the first, it comes from whichever map equation has the larger
    /// denominator, so that iso-lines along an axis keep their points.
    void warpCoor(double x, double y, double& u, double& v, const double* coeffs) const;
    /// Adds source pixel (x, y) (at p, or looked up when p is null) times
    /// weight w to the sums and returns its alpha share alpha * w / 255;
    /// nothing and 0 for weight 0 or a position outside the source.
    double warpPixel(const _VORNRGBAQUAD* p, int x, int y, double& r, double& g, double& b,
                     double w) const;

    // Fields -----------------------------------------------------------------

    int ownsPixels;                  ///< 1 when the buffer frees `pixels` on destruction
    _VORNRGBAQUAD* pixels;           ///< width x height pixels, row-major, top row first
    int width;                       ///< columns
    int height;                      ///< rows
    int hasBackground;               ///< 1 once a background colour was set
    int densityUnit;                 ///< 0 per metre, 1 per inch, 2 per centimetre
    int densityX;                    ///< horizontal density in densityUnit
    int densityY;                    ///< vertical density in densityUnit
    _VORNRGBAQUAD background;        ///< background colour; alpha byte 0
    bool transparent;                ///< transparency flag
    _VORNRGBAQUAD transparentColour; ///< colour declared transparent; alpha 0
    /// Polygon work area: width x height cells, one per pixel, allocated
    /// with new[] by the first polygon fill and freed with the buffer.
    unsigned short* edgeMap;
    /// Polygon work area: one carry cell per row (the net crossings left of
    /// the buffer), followed in the same new[] allocation by the fills'
    /// bookkeeping (a state cell and a few cells per row).
    unsigned short* rowCarry;
    /// \endcond
};

#endif
