// SPDX-License-Identifier: MIT
// Vorn raster drawing library: the C++ interface.
//
// vorn::Image owns one VornBuffer and releases it when it goes out of scope;
// files and memory are read and written through it with options, and every
// failure throws vorn::Error, which says why. Drawing stays with the
// buffer's own members, reached through Image::get().
//
// Ownership: an Image is the only owner of its buffer. It can be moved but
// not copied (clone() makes a deep copy); adopt() takes over a buffer that
// the library returned, release() hands the buffer back to the caller, who
// then releases it with VornBuffer::Destroy. Every member that returns an
// Image returns a new, independent one.
//
// Threads: const members may run concurrently on one image, and separate
// images are independent. Anything that changes an image (drawing through
// get(), which also uses the buffer's polygon work areas, setDpi, setPixel,
// fill, blend, assignment) needs the image to itself: no other call on it
// may run at the same time.
//
// Failures: the members say in their comments what they throw. vorn::Error
// carries a vorn::Status and a one-line reason that names the file where
// there is one; memory exhaustion while making an image throws
// std::bad_alloc. Nothing here changes vorn::lastFailure().
#ifndef VORN_VORN_HPP
#define VORN_VORN_HPP

#include <vorn/buffer.h>
#include <vorn/export.h>
#include <vorn/io.h>

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

/// An image file format. The numbers are VornBuffer's format codes.
enum class Format : int {
    Auto = 0, ///< decide: by content when reading, by extension when writing
    Jpeg = 1, ///< JPEG (JFIF), read and written
    Png = 2,  ///< PNG, read and written
    Bmp = 3,  ///< Windows bitmap, read and written
    Gif = 4   ///< GIF (first frame), read only
};

/// One colour: red, green, blue, alpha, straight (not premultiplied);
/// alpha 0 is transparent, 255 opaque.
struct Rgba {
    unsigned char r = 0;   ///< red
    unsigned char g = 0;   ///< green
    unsigned char b = 0;   ///< blue
    unsigned char a = 255; ///< alpha
};

/// Whether two colours are equal in all four channels.
inline bool operator==(const Rgba& x, const Rgba& y) noexcept {
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}

/// Whether two colours differ in some channel.
inline bool operator!=(const Rgba& x, const Rgba& y) noexcept {
    return !(x == y);
}

/// A failure of the C++ interface: what() is the one-line reason (such as
/// "PNG: IHDR width 0: photo.png"), status() its kind.
class VORN_API Error : public std::runtime_error {
public:
    /// An error of `status` with the one-line `message`.
    Error(Status status, const std::string& message);
    /// The kind of failure.
    Status status() const noexcept;

private:
    Status status_;
};

/// How Image::read and Image::decode read.
struct ReadOptions {
    /// Auto detects by content (any JPEG by its first bytes FF D8 FF, PNG,
    /// GIF, BMP), then by the file's extension; another value reads the
    /// content as that format.
    Format format = Format::Auto;
};

/// How Image::write and Image::encode write.
struct WriteOptions {
    /// Auto: from the extension (.jpg .jpeg .jpe .jfif .png .bmp, any case).
    Format format = Format::Auto;
    /// JPEG quality, 1 (smallest) to 100 (best).
    int jpegQuality = 90;
    /// PNG: zlib's compression level 0 (none) to 9 (smallest), -1 for the
    /// library's default.
    int pngCompression = -1;
    /// BMP: 32 bits with alpha under a BITMAPV5HEADER (bit-field masks)
    /// instead of 24 bits flattened onto the background colour.
    bool bmpAlpha = false;
};

/// The bytes of one pixel in memory order, for exchanging pixels with other
/// libraries. The premultiplied layouts hold each colour channel times
/// alpha / 255 (cairo's and Blend2D's 32-bit formats and Qt's
/// Format_ARGB32_Premultiplied are BgraPremultiplied on little-endian
/// machines).
enum class PixelLayout {
    Bgra,              ///< blue, green, red, alpha (the buffer's own)
    Rgba,              ///< red, green, blue, alpha
    Argb,              ///< alpha, red, green, blue
    BgraPremultiplied, ///< Bgra, colour premultiplied by alpha
    RgbaPremultiplied, ///< Rgba, colour premultiplied by alpha
    ArgbPremultiplied  ///< Argb, colour premultiplied by alpha
};

/// The lower-case name of a format: "auto", "jpeg", "png", "bmp", "gif";
/// "unknown" for other values.
VORN_API const char* formatName(Format format) noexcept;

/// The format a name or extension stands for, ignoring case and a leading
/// dot: "jpg", "jpeg", "jpe", "jfif", "png", "bmp", "gif"; Auto otherwise.
VORN_API Format formatFromName(std::string_view name) noexcept;

/// The format of bytes by their signature (PNG, GIF, any JPEG, BMP); Auto
/// when none matches or `data` is null.
VORN_API Format detectFormat(const void* data, std::size_t size) noexcept;

/// The format of a file by its first bytes, else by its extension (Auto
/// when neither says). Throws Error when the file cannot be opened.
VORN_API Format detectFormat(const std::filesystem::path& path);

/// An image: one owned VornBuffer, or none (empty). Move-only.
class VORN_API Image {
public:
    /// An empty image (no buffer).
    Image() noexcept;
    /// A width x height image with every pixel `fill` (transparent black by
    /// default), density 96 dots per inch, no background. Throws Error
    /// (InvalidArgument for a side below 1, TooLarge for more than
    /// 2,147,483,647 bytes of pixels).
    Image(int width, int height, Rgba fill = {0, 0, 0, 0});
    /// Releases the buffer.
    ~Image();
    /// Takes the other image's buffer, leaving it empty.
    Image(Image&& other) noexcept;
    /// Releases this image's buffer and takes the other's, leaving it empty.
    Image& operator=(Image&& other) noexcept;
    /// Not copyable: clone() makes a deep copy.
    Image(const Image&) = delete;
    /// Not copyable: clone() makes a deep copy.
    Image& operator=(const Image&) = delete;

    /// Reads an image file. Throws Error: NotFound, AccessDenied,
    /// UnknownFormat, Corrupt, Unsupported, TooLarge, OutOfMemory or
    /// InvalidArgument (a format value outside the enumeration), naming the
    /// file. Beyond VornBuffer::Read, BMP files with 52- to 124-byte headers
    /// (V4, V5), top-down rows, 16 bits per pixel and bit-field masks (alpha
    /// included) are read, JPEG files are recognised whatever their first
    /// segment, and .jpeg, .jpe and .jfif name JPEG.
    static Image read(const std::filesystem::path& path, const ReadOptions& options = {});
    /// Reads an image from `size` bytes at `data` (only read during the
    /// call), as read() does. Throws Error as read() does.
    static Image decode(const void* data, std::size_t size, const ReadOptions& options = {});

    /// Writes the image to a file, replacing an existing one safely (as
    /// VornBuffer::write does). JPEG is written at options.jpegQuality,
    /// flattened onto the background colour (white without one), with the
    /// density in its JFIF header; PNG at options.pngCompression with alpha,
    /// density and background; BMP as 24 bits flattened onto the background
    /// (black without one) or, with options.bmpAlpha, 32 bits with alpha.
    /// Throws Error: InvalidArgument (empty image, an extension naming no
    /// writable format, GIF, options out of range), TooLarge (a JPEG side
    /// above 65,500), AccessDenied, NotFound or WriteFailed, naming the file.
    void write(const std::filesystem::path& path, const WriteOptions& options = {}) const;
    /// The bytes write() would put in a file of `format` (not Auto; the
    /// options' format is ignored). Throws Error as write() does.
    std::vector<unsigned char> encode(Format format, const WriteOptions& options = {}) const;

    /// Columns; 0 for an empty image.
    int width() const noexcept;
    /// Rows; 0 for an empty image.
    int height() const noexcept;
    /// Whether the image holds no buffer.
    bool empty() const noexcept;

    /// The buffer, for drawing with its members; null when empty. It stays
    /// owned by the image.
    VornBuffer* get() noexcept;
    /// The buffer, read only; null when empty.
    const VornBuffer* get() const noexcept;
    /// An image that owns `buffer` (a VornBuffer* the library returned; null
    /// gives an empty image). The caller must not release it any more.
    static Image adopt(VornBuffer* buffer) noexcept;
    /// Gives the buffer up to the caller, who releases it with
    /// VornBuffer::Destroy; the image is empty afterwards. Null when empty.
    VornBuffer* release() noexcept;

    /// A deep copy: pixels, density, background and transparency. An empty
    /// image gives an empty image.
    Image clone() const;

    /// The pixel at column x, row y. Throws Error (InvalidArgument) outside
    /// the image.
    Rgba pixel(int x, int y) const;
    /// Sets the pixel at column x, row y (all four bytes); nothing happens
    /// outside the image.
    void setPixel(int x, int y, Rgba colour) noexcept;
    /// Sets every pixel to `colour`; nothing happens for an empty image.
    void fill(Rgba colour) noexcept;
    /// Whether some pixel is not fully opaque (alpha below 255); false for
    /// an empty image.
    bool hasAlpha() const noexcept;

    /// Resampled to width x height as VornBuffer::resize does. Throws Error
    /// (InvalidArgument: empty image or a side below 1; TooLarge).
    Image resized(int width, int height) const;
    /// Turned by `degrees` clockwise as VornBuffer::rotateBuffer does (one
    /// more row and column than the turned extents, uncovered pixels
    /// transparent black). Throws Error (InvalidArgument: empty image;
    /// TooLarge).
    Image rotated(int degrees) const;
    /// Turned by whole quarter turns clockwise (negative: anticlockwise),
    /// exactly: every pixel moves, none is blank, no border is added.
    /// Throws Error (InvalidArgument) for an empty image.
    Image turned(int quarterTurns) const;
    /// Mirrored left to right. Throws Error (InvalidArgument) when empty.
    Image mirrored() const;
    /// Turned upside down (top row last). Throws Error (InvalidArgument)
    /// when empty.
    Image flipped() const;
    /// The rectangle of width x height pixels whose top-left pixel is
    /// (x, y), cut to the image. Throws Error (InvalidArgument) when empty
    /// or when nothing of the rectangle lies inside the image.
    Image cropped(int x, int y, int width, int height) const;
    /// Lays `over` onto this image with its top-left pixel at (x, y), with
    /// the pixel blend of VornBuffer::blend; `opacity` 0 to 255 scales the
    /// alpha of every pixel of `over` (alpha x opacity / 255, truncated; 255
    /// blends exactly as VornBuffer::blend). Pixels outside are clipped.
    /// Throws Error (InvalidArgument) when either image is empty or opacity
    /// lies outside 0 to 255.
    void blend(const Image& over, int x, int y, int opacity = 255);

    /// Every colour channel multiplied by alpha / 255, rounded to nearest:
    /// the pixels other libraries expect in their premultiplied formats.
    /// An empty image gives an empty image.
    Image premultiplied() const;
    /// The inverse of premultiplied(): each colour channel times 255 /
    /// alpha, rounded to nearest and limited to 255; pixels with alpha 0
    /// become (0, 0, 0, 0). An empty image gives an empty image.
    Image unpremultiplied() const;
    /// A new image from width x height pixels of `layout` at `data`; row y
    /// starts at data + y x stride bytes (a negative stride walks rows
    /// bottom-up). The bytes are copied and only read during the call.
    /// Throws Error (InvalidArgument for null data, a side below 1 or
    /// |stride| below width x 4; TooLarge).
    static Image fromPixels(const void* data, int width, int height, std::ptrdiff_t stride,
                            PixelLayout layout);
    /// Writes the pixels as `layout` into `data`, row y at data + y x stride
    /// bytes, width x 4 bytes a row. Throws Error (InvalidArgument for an
    /// empty image, null data or |stride| below width x 4).
    void toPixels(void* data, std::ptrdiff_t stride, PixelLayout layout) const;

    /// Horizontal density in dots per inch; 0 for an empty image. Whole
    /// numbers of dots per inch survive every file round trip: a density
    /// stored in pixels per metre (PNG, BMP) that a whole number of dots
    /// per inch gives is reported as that number.
    double dpiX() const noexcept;
    /// Vertical density in dots per inch, as dpiX().
    double dpiY() const noexcept;
    /// Sets the density in dots per inch. Whole numbers are kept exactly
    /// (as VornBuffer::setDensity(1, x, y)); others are kept in pixels per
    /// metre, rounded. Throws Error (InvalidArgument) when empty, and for
    /// values that are negative, not finite or above 2,147,483,647.
    void setDpi(double x, double y);

private:
    explicit Image(VornBuffer* buffer) noexcept;
    VornBuffer* buffer_;
};

} // namespace vorn

#endif
