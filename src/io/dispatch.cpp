// SPDX-License-Identifier: MIT
// The public image-file operations: format detection by content with the
// extension as fallback, the read and write dispatch to the format
// handlers, over files (VornBuffer's members) and over memory (vorn/io.h).
// Each records why it failed.

#include "io/io.h"
#include "io/paths.h"

#include <cstring>
#include <new>
#include <string>

#if defined(VORN_HAVE_PNG)
#include <png.h>
#endif

namespace vorn::detail {

namespace {

/// Number of bytes content detection looks at.
constexpr std::size_t kSignatureBytes = 8;

bool isPngSignature(const unsigned char* head) {
#if defined(VORN_HAVE_PNG)
    return png_sig_cmp(head, 0, kSignatureBytes) == 0;
#else
    static const unsigned char signature[kSignatureBytes] = {0x89, 'P',  'N',  'G',
                                                             '\r', '\n', 0x1A, '\n'};
    return std::memcmp(head, signature, kSignatureBytes) == 0;
#endif
}

bool isGifSignature(const unsigned char* head) {
    return head[0] == 'G' && head[1] == 'I' && head[2] == 'F' && head[3] == '8' &&
           (head[4] == '7' || head[4] == '9') && head[5] == 'a';
}

// A JPEG file that starts with the JFIF application segment; the segment
// length (bytes 4 and 5) is not examined.
bool isJfifSignature(const unsigned char* head) {
    return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xE0 &&
           head[6] == 'J' && head[7] == 'F';
}

bool isBmpSignature(const unsigned char* head) {
    return head[0] == 'B' && head[1] == 'M';
}

/// A format code that Read and write know: 0 (decide) or 1 to 4.
bool knownCode(int format) {
    return format >= 0 && format <= kFormatGif;
}

void noteRefusedCode(int format) {
    noteFailure(Status::InvalidArgument, "format code " + std::to_string(format) + " refused");
}

VornBuffer* readLibrary(ByteSource& source, int format) {
#if defined(VORN_HAVE_IMAGELIB)
    (void)format;
    return readLibraryImage(source);
#else
    (void)source;
    if (format == kFormatJpeg || format == kFormatGif) {
        noteFailure(Status::Unsupported, "built without JPEG and GIF support");
    } else {
        noteFailure(Status::UnknownFormat, "not an image file of a known format");
    }
    return nullptr;
#endif
}

/// Whether the buffer can be written as `format` (1, 2 or 3) at all,
/// decided before any file is opened; notes the reason when not.
bool writable(const VornBuffer& buffer, int format) {
    switch (format) {
    case kFormatPng:
#if defined(VORN_HAVE_PNG)
        return true;
#else
        noteFailure(Status::Unsupported, "built without PNG support");
        return false;
#endif
    case kFormatBmp:
        return true;
    case kFormatJpeg:
#if defined(VORN_HAVE_IMAGELIB)
        if (buffer.getWidth() > kMaxJpegSide || buffer.getHeight() > kMaxJpegSide) {
            noteFailure(Status::TooLarge, "JPEG: sides are limited to 65,500 pixels");
            return false;
        }
        return true;
#else
        (void)buffer;
        noteFailure(Status::Unsupported, "built without JPEG support");
        return false;
#endif
    default:
        noteFailure(Status::InvalidArgument,
                    format == kFormatGif ? "GIF cannot be written"
                                         : "format code " + std::to_string(format) + " refused");
        return false;
    }
}

} // namespace

int formatFromContent(ByteSource& source) {
    // Bytes a short file does not supply stay 0, which no signature test
    // accepts in the places it looks at.
    unsigned char head[kSignatureBytes] = {};
    const std::size_t got = source.peek(head, kSignatureBytes);
    if (got >= 8 && isPngSignature(head)) {
        return kFormatPng;
    }
    if (got >= 6 && isGifSignature(head)) {
        return kFormatGif;
    }
    if (got >= 8 && isJfifSignature(head)) {
        return kFormatJpeg;
    }
    if (got >= 2 && isBmpSignature(head)) {
        return kFormatBmp;
    }
    return kFormatUnknown;
}

VornBuffer* readImage(ByteSource& source, int format, const std::filesystem::path* name) {
    if (!knownCode(format)) {
        noteRefusedCode(format);
        return nullptr;
    }
    try {
        if (format == 0) {
            format = formatFromContent(source);
            if (format < 0 && name) {
                format = formatFromExtension(*name);
            }
            if (format < 0) {
                // Neither content nor extension says: the image library tries.
                return readLibrary(source, format);
            }
        }
        switch (format) {
        case kFormatJpeg:
        case kFormatGif:
            return readLibrary(source, format);
        case kFormatPng:
#if defined(VORN_HAVE_PNG)
            return readPNG(source);
#else
            noteFailure(Status::Unsupported, "built without PNG support");
            return nullptr;
#endif
        default:
            return readBMP(source);
        }
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory for the image");
        return nullptr;
    }
}

int writeImage(const VornBuffer& buffer, int format, ByteSink& sink, const WriteOptions& options) {
    if (!writable(buffer, format)) {
        return -1;
    }
    try {
        switch (format) {
#if defined(VORN_HAVE_PNG)
        case kFormatPng:
            return writePNG(buffer, sink, options.pngCompression);
#endif
#if defined(VORN_HAVE_IMAGELIB)
        case kFormatJpeg:
            return writeLibraryImage(buffer, sink, options.jpegQuality);
#endif
        default:
            (void)options;
            return writeBMP(buffer, sink);
        }
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory for the file");
        return -1;
    }
}

namespace {

int formatOfFile(const std::filesystem::path& path) {
    FailureRecord record(displayName(path));
    try {
        const std::unique_ptr<ByteSource> source = openFileSource(path);
        if (!source) {
            record.publish(Status::NotFound, "cannot open the file");
            return kFormatUnknown;
        }
        const int format = formatFromContent(*source);
        return format >= 0 ? format : formatFromExtension(path);
    } catch (const std::bad_alloc&) {
        record.publish(Status::OutOfMemory, "out of memory");
        return kFormatUnknown;
    }
}

VornBuffer* readFile(const std::filesystem::path& path, int format) {
    FailureRecord record(displayName(path));
    VornBuffer* buffer = nullptr;
    try {
        // A refused code never opens the file.
        if (!knownCode(format)) {
            noteRefusedCode(format);
        } else if (const std::unique_ptr<ByteSource> source = openFileSource(path)) {
            buffer = readImage(*source, format, &path);
        }
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory");
    }
    if (!buffer) {
        record.publish(Status::Corrupt, "cannot read the image");
    }
    return buffer;
}

int writeFile(const VornBuffer& buffer, const std::filesystem::path& path, int format) {
    FailureRecord record(displayName(path));
    int result = -1;
    try {
        if (!knownCode(format)) {
            noteRefusedCode(format);
        } else {
            if (format == 0) {
                format = formatFromExtension(path);
            }
            // Everything that can be refused without the file is refused
            // before it is opened, so that a refusal never touches it.
            if (format < 0) {
                noteFailure(Status::InvalidArgument, "no writable format for the extension");
            } else if (writable(buffer, format)) {
                if (const std::unique_ptr<ByteSink> sink = openFileSink(path)) {
                    if (writeImage(buffer, format, *sink) == 0 && sink->commit()) {
                        result = 0;
                    }
                }
            }
        }
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory");
    }
    if (result != 0) {
        record.publish(Status::WriteFailed, "cannot write the file");
    }
    return result;
}

/// The null path of an entry point: nothing to open.
void refuseNullPath() {
    FailureRecord record;
    record.publish(Status::InvalidArgument, "no file name");
}

} // namespace

} // namespace vorn::detail

using namespace vorn::detail;

int VornBuffer::GetFormat(const char* path) {
    if (!path) {
        refuseNullPath();
        return kFormatUnknown;
    }
    return formatOfFile(pathFromNarrow(path));
}

int VornBuffer::GetFormat(const wchar_t* path) {
    if (!path) {
        refuseNullPath();
        return kFormatUnknown;
    }
    return formatOfFile(pathFromWide(path));
}

VornBuffer* VornBuffer::Read(const char* path, int format) {
    if (!path) {
        refuseNullPath();
        return nullptr;
    }
    return readFile(pathFromNarrow(path), format);
}

VornBuffer* VornBuffer::Read(const char* path) {
    return Read(path, 0);
}

VornBuffer* VornBuffer::Read(const wchar_t* path, int format) {
    if (!path) {
        refuseNullPath();
        return nullptr;
    }
    return readFile(pathFromWide(path), format);
}

VornBuffer* VornBuffer::Read(const wchar_t* path) {
    return Read(path, 0);
}

int VornBuffer::write(const char* path, int format) const {
    if (!path) {
        refuseNullPath();
        return -1;
    }
    return writeFile(*this, pathFromNarrow(path), format);
}

int VornBuffer::write(const char* path) const {
    return write(path, 0);
}

int VornBuffer::write(const wchar_t* path, int format) const {
    if (!path) {
        refuseNullPath();
        return -1;
    }
    return writeFile(*this, pathFromWide(path), format);
}

int VornBuffer::write(const wchar_t* path) const {
    return write(path, 0);
}

namespace vorn {

VornBuffer* readMemory(const void* data, std::size_t size, int format) {
    FailureRecord record;
    VornBuffer* buffer = nullptr;
    if (!data && size > 0) {
        noteFailure(Status::InvalidArgument, "no data");
    } else {
        MemorySource source(data, size);
        buffer = readImage(source, format, nullptr);
    }
    if (!buffer) {
        record.publish(Status::Corrupt, "cannot read the image");
    }
    return buffer;
}

int writeMemory(const VornBuffer& buffer, int format, std::vector<unsigned char>& out) {
    FailureRecord record;
    int result = -1;
    if (format == 0) {
        noteFailure(Status::InvalidArgument, "format code 0 refused: memory has no extension");
    } else {
        try {
            MemorySink sink(out);
            if (writeImage(buffer, format, sink) == 0 && sink.commit()) {
                result = 0;
            }
        } catch (const std::bad_alloc&) {
            noteFailure(Status::OutOfMemory, "out of memory");
        }
    }
    if (result != 0) {
        record.publish(Status::WriteFailed, "cannot encode the image");
    }
    return result;
}

int formatOfMemory(const void* data, std::size_t size) {
    if (!data && size > 0) {
        FailureRecord record;
        record.publish(Status::InvalidArgument, "no data");
        return kFormatUnknown;
    }
    MemorySource source(data, size);
    return formatFromContent(source);
}

} // namespace vorn
