// SPDX-License-Identifier: MIT
// Stand-in for the image library: loads JPEG and GIF files into pixel blocks
// and writes JPEG files.
//
// Reading: JPEG (baseline, extended, progressive; Huffman or arithmetic
// coding; grey, YCbCr, RGB, CMYK and YCCK) through libjpeg-turbo, and the
// first frame of a GIF composed onto its logical screen through giflib.
// Writing: baseline JPEG with 4:2:0 colour subsampling through libjpeg-turbo.
//
// Every failure throws std::system_error carrying Talvo_Error_category (an
// out-of-memory condition throws std::bad_alloc); nothing is logged and
// nothing ends the process.
#ifndef VORN_PLATFORM_IMAGELIB_TALVO_IMAGE_H
#define VORN_PLATFORM_IMAGELIB_TALVO_IMAGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace TalvoImage {

/// Layout of a pixel block: the bytes of one pixel in memory order.
enum ColorSpace {
    CS_UNKNOWN = 0,
    CS_BGRA = 1, ///< blue, green, red, alpha (4 bytes)
    CS_RGBA = 2, ///< red, green, blue, alpha (4 bytes)
    CS_BGR = 3,  ///< blue, green, red (3 bytes)
    CS_RGB = 4,  ///< red, green, blue (3 bytes)
    CS_GRAY = 5  ///< one grey byte
};

/// File formats, as WriteImage takes them. Only IT_JPEG can be written.
enum ImageType { IT_UNKNOWN = 0, IT_GIF = 1, IT_JPEG = 2 };

/// Error codes of Talvo_Error_category. Only 1000 and 1002 have a message
/// of their own; the exception's what() text carries the detail.
enum ErrorCode {
    ERR_NOT_IMPLEMENTED = 1000, ///< a format, layout or type the library does not handle
    ERR_FILE = 1001,            ///< a file that cannot be opened, read or written
    ERR_NULL_VALUE = 1002,      ///< pixels missing where they are needed
    ERR_BAD_IMAGE = 1003,       ///< a corrupt or truncated image
    ERR_TOO_LARGE = 1004,       ///< an image larger than the library accepts
    ERR_BAD_ARGUMENT = 1005     ///< an argument outside its range
};

/// The library's error category.
class Talvo_Error_category : public std::error_category {
public:
    const char* name() const noexcept override { return "TalvoImage"; }
    std::string message(int code) const override {
        switch (code) {
        case ERR_NOT_IMPLEMENTED:
            return "Attempting to call functionality which is not implemented.";
        case ERR_NULL_VALUE:
            return "Null value found when expecting allocated memory.";
        default:
            return "Unknown Error Code.";
        }
    }
};

/// The one instance of the category, for std::system_error.
inline const std::error_category& talvo_error_category() {
    static const Talvo_Error_category category;
    return category;
}

/// The image interface.
class ITalvoImage {
public:
    ITalvoImage() {}
    ITalvoImage(const ITalvoImage&) {}
    ITalvoImage& operator=(const ITalvoImage&) { return *this; }
    virtual ~ITalvoImage() {}

    /// Columns and rows; never 0 for an image that was constructed.
    virtual unsigned int GetWidth() const = 0;
    virtual unsigned int GetHeight() const = 0;

    /// The pixels as a new block in the layout `order`, rows from the top
    /// down without gaps; sets *size (when not null) to the block's bytes.
    virtual unsigned char* GetPixels(const std::string& order, unsigned int* size) = 0;

    /// Resolution in dots per inch; both 0 when the file states none.
    virtual void GetResolutionInch(double* x, double* y) const = 0;

    /// Writes the image to the file at `utf8Path`.
    virtual void WriteImage(const std::string& utf8Path, ImageType type, int quality) const = 0;
};

/// An image held in memory: loaded from a file or made over a pixel block.
class TalvoMainImage : public ITalvoImage {
public:
    /// Loads the file at `path` (the platform's narrow encoding: UTF-8 here,
    /// the active code page on Windows). JPEG and GIF are recognised by
    /// their first bytes; anything else throws ERR_NOT_IMPLEMENTED. A file
    /// that cannot be read throws ERR_FILE, a damaged one ERR_BAD_IMAGE.
    ///
    /// Size limits, checked before any large allocation: width x height x 4
    /// must not exceed 2,147,483,647 bytes, and an image of more than
    /// 16,777,216 pixels must not claim more pixels than its file could
    /// plausibly hold (1,024 per byte of a JPEG file, 4,096 per byte of a
    /// GIF file). Larger claims throw ERR_TOO_LARGE, and so does a GIF
    /// frame whose area exceeds 64 times the screen's plus 2^20 pixels. A
    /// JPEG with more than 100 scans, a progressive JPEG whose scans repeat
    /// or skip a refinement (as the decoder reports it), or whose
    /// Huffman-coded data ends before its last row, and a GIF whose first
    /// frame ends early throw ERR_BAD_IMAGE. The first bytes are checked
    /// before the rest of the file is read.
    explicit TalvoMainImage(const char* path);

    /// Loads an image held in memory: `size` bytes at `data`, read only
    /// during the call. Otherwise as the constructor from a path.
    TalvoMainImage(const unsigned char* data, std::size_t size);

    /// Makes an image of width x height pixels over `pixels`, laid out as
    /// `colorSpace` says, rows from the top down when `topDown` (else from
    /// the bottom up), without gaps. `pixelCount` is the number of pixels
    /// (not bytes) and must equal width x height. With `borrow` the image
    /// reads the caller's block in place, and the caller keeps it alive and
    /// unchanged for the image's lifetime; without it the pixels are copied.
    /// Throws ERR_NULL_VALUE for a null block, ERR_NOT_IMPLEMENTED for an
    /// unknown layout, ERR_BAD_ARGUMENT or ERR_TOO_LARGE for sizes that do
    /// not fit those limits.
    TalvoMainImage(unsigned int width, unsigned int height, ColorSpace colorSpace, bool topDown,
                   unsigned char* pixels, long pixelCount, bool borrow);

    /// The same, borrowing the block.
    TalvoMainImage(unsigned int width, unsigned int height, ColorSpace colorSpace, bool topDown,
                   unsigned char* pixels, long pixelCount)
        : TalvoMainImage(width, height, colorSpace, topDown, pixels, pixelCount, true) {}

    /// A copy always owns its pixels, even when `other` borrows them.
    TalvoMainImage(const TalvoMainImage& other) : ITalvoImage(other) { copyFrom(other); }
    TalvoMainImage& operator=(const TalvoMainImage& other) {
        if (this != &other) {
            TalvoMainImage copy(other);
            swap(copy);
        }
        return *this;
    }

    ~TalvoMainImage() override;

    unsigned int GetWidth() const override { return width_; }
    unsigned int GetHeight() const override { return height_; }

    /// `order` names the bytes of one pixel: "B", "G" and "R" once each and
    /// "A" at most once, in any order ("BGRA", "RGBA", "ARGB", "RGB" ...);
    /// other text throws ERR_NOT_IMPLEMENTED. Alpha is 255 where the image
    /// has none. *size is set to width x height x order.size().
    ///
    /// The block belongs to the caller, who releases it with std::free; it
    /// outlives the image. When the image owns its pixels in exactly the
    /// layout asked for, the image hands that block over instead of copying
    /// it and keeps no pixels afterwards: a later GetPixels or WriteImage
    /// throws ERR_NULL_VALUE. Width, height and resolution stay readable.
    unsigned char* GetPixels(const std::string& order, unsigned int* size) override;

    /// From a JPEG's JFIF density (dots per centimetre converted), else its
    /// Exif XResolution and YResolution. Either pointer may be null.
    void GetResolutionInch(double* x, double* y) const override;

    /// Sets the resolution in dots per inch that WriteImage puts in the
    /// JFIF header, rounded to whole numbers and limited to 65,535; 0 (an
    /// image made over pixels has 0 by 0) writes none. Values below 0 or
    /// not finite count as 0.
    void SetResolutionInch(double x, double y);

    /// Writes a baseline JPEG (type IT_JPEG; others throw
    /// ERR_NOT_IMPLEMENTED) at `quality` 1 to 100 (values outside are
    /// clamped), 4:2:0 colour subsampling (grey images as grey), alpha
    /// dropped, the resolution (when both values are above 0) as the JFIF
    /// density in dots per inch. The path is UTF-8. Throws ERR_FILE when the
    /// file cannot be created or written; a file already created is left
    /// as it is.
    void WriteImage(const std::string& utf8Path, ImageType type, int quality) const override;

    /// Receives the bytes of an encoded image in order; returns false to
    /// stop the encoding.
    using ByteWriter = std::function<bool(const unsigned char* data, std::size_t size)>;

    /// The same, handing the file's bytes to `write` instead of a file. A
    /// writer that returns false ends the encoding with ERR_FILE.
    void WriteImage(const ByteWriter& write, ImageType type, int quality) const;

    /// Cuts `text` at every `delimiter`: n delimiters give n + 1 pieces,
    /// empty pieces included ("a,,b" gives "a", "", "b"; "" gives one empty
    /// piece).
    static std::vector<std::string> split(const std::string& text, char delimiter) {
        std::vector<std::string> pieces;
        std::string::size_type start = 0;
        for (;;) {
            const std::string::size_type end = text.find(delimiter, start);
            if (end == std::string::npos) {
                pieces.push_back(text.substr(start));
                return pieces;
            }
            pieces.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

private:
    void copyFrom(const TalvoMainImage& other);
    void swap(TalvoMainImage& other) noexcept;
    void release() noexcept;

    unsigned int width_ = 0;
    unsigned int height_ = 0;
    ColorSpace colorSpace_ = CS_UNKNOWN;
    bool topDown_ = true;
    unsigned char* pixels_ = nullptr; ///< std::malloc'ed when owned
    bool ownsPixels_ = false;
    double resolutionX_ = 0.0;
    double resolutionY_ = 0.0;
};

} // namespace TalvoImage

#endif
