// SPDX-License-Identifier: MIT
// vorn::Image in files and memory, and the format helpers: the extended
// readers and the writers' options of the image-file layer, every failure
// thrown as vorn::Error with the reason that layer noted.

#include "api/api.h"
#include "io/io.h"

#include <cctype>
#include <memory>
#include <new>

namespace vorn {

namespace {

/// The reading of the C++ interface.
detail::ReadOptions extendedReading() {
    detail::ReadOptions options;
    options.extended = true;
    return options;
}

/// The writers' settings from the interface's options, checked.
detail::WriteOptions writerSettings(const Image& image, const WriteOptions& options) {
    if (options.jpegQuality < 1 || options.jpegQuality > 100) {
        detail::throwError(Status::InvalidArgument, "JPEG quality " +
                                                        std::to_string(options.jpegQuality) +
                                                        " outside 1 to 100");
    }
    if (options.pngCompression < -1 || options.pngCompression > 9) {
        detail::throwError(Status::InvalidArgument, "PNG compression " +
                                                        std::to_string(options.pngCompression) +
                                                        " outside -1 to 9");
    }
    detail::WriteOptions settings;
    settings.jpegQuality = options.jpegQuality;
    settings.jpegFlatten = true;
    settings.jpegDpiX = image.dpiX();
    settings.jpegDpiY = image.dpiY();
    settings.pngCompression = options.pngCompression;
    settings.bmpAlpha = options.bmpAlpha;
    return settings;
}

/// Throws the failure the record holds.
[[noreturn]] void throwRecorded(const detail::FailureRecord& record, Status fallback,
                                const char* what) {
    Failure failure = record.compose(fallback, what);
    throw Error(failure.status, failure.message);
}

} // namespace

const char* formatName(Format format) noexcept {
    switch (format) {
    case Format::Auto:
        return "auto";
    case Format::Jpeg:
        return "jpeg";
    case Format::Png:
        return "png";
    case Format::Bmp:
        return "bmp";
    case Format::Gif:
        return "gif";
    }
    return "unknown";
}

Format formatFromName(std::string_view name) noexcept {
    if (!name.empty() && name.front() == '.') {
        name.remove_prefix(1);
    }
    std::string lower;
    for (const char c : name) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "jpg" || lower == "jpeg" || lower == "jpe" || lower == "jfif") {
        return Format::Jpeg;
    }
    if (lower == "png") {
        return Format::Png;
    }
    if (lower == "bmp") {
        return Format::Bmp;
    }
    if (lower == "gif") {
        return Format::Gif;
    }
    return Format::Auto;
}

Format detectFormat(const void* data, std::size_t size) noexcept {
    if (!data) {
        return Format::Auto;
    }
    detail::MemorySource source(data, size);
    const int code = detail::formatFromContent(source, true);
    return code > 0 ? static_cast<Format>(code) : Format::Auto;
}

Format detectFormat(const std::filesystem::path& path) {
    detail::FailureRecord record(detail::displayName(path));
    std::unique_ptr<detail::ByteSource> source;
    try {
        source = detail::openFileSource(path);
    } catch (const std::bad_alloc&) {
        detail::noteFailure(Status::OutOfMemory, "out of memory");
    }
    if (!source) {
        throwRecorded(record, Status::NotFound, "cannot open the file");
    }
    int code = detail::formatFromContent(*source, true);
    if (code < 0) {
        code = detail::formatFromExtension(path, true);
    }
    return code > 0 ? static_cast<Format>(code) : Format::Auto;
}

Image Image::read(const std::filesystem::path& path, const ReadOptions& options) {
    detail::FailureRecord record(detail::displayName(path));
    VornBuffer* buffer =
        detail::readImageFile(path, static_cast<int>(options.format), extendedReading());
    if (!buffer) {
        throwRecorded(record, Status::Corrupt, "cannot read the image");
    }
    return adopt(buffer);
}

Image Image::decode(const void* data, std::size_t size, const ReadOptions& options) {
    detail::FailureRecord record;
    VornBuffer* buffer = nullptr;
    if (!data && size > 0) {
        detail::noteFailure(Status::InvalidArgument, "no data");
    } else {
        detail::MemorySource source(data, size);
        buffer =
            detail::readImage(source, static_cast<int>(options.format), nullptr, extendedReading());
    }
    if (!buffer) {
        throwRecorded(record, Status::Corrupt, "cannot read the image");
    }
    return adopt(buffer);
}

void Image::write(const std::filesystem::path& path, const WriteOptions& options) const {
    detail::requireImage(*this, "write");
    const detail::WriteOptions settings = writerSettings(*this, options);
    detail::FailureRecord record(detail::displayName(path));
    if (detail::writeImageFile(*buffer_, path, static_cast<int>(options.format), settings, true) !=
        0) {
        throwRecorded(record, Status::WriteFailed, "cannot write the file");
    }
}

std::vector<unsigned char> Image::encode(Format format, const WriteOptions& options) const {
    detail::requireImage(*this, "encode");
    if (format == Format::Auto) {
        detail::throwError(Status::InvalidArgument, "encode: a format is needed");
    }
    const detail::WriteOptions settings = writerSettings(*this, options);
    detail::FailureRecord record;
    std::vector<unsigned char> out;
    int result = -1;
    try {
        detail::MemorySink sink(out);
        result = detail::writeImage(*buffer_, static_cast<int>(format), sink, settings);
        if (result == 0 && !sink.commit()) {
            result = -1;
        }
    } catch (const std::bad_alloc&) {
        detail::noteFailure(Status::OutOfMemory, "out of memory");
    }
    if (result != 0) {
        throwRecorded(record, Status::WriteFailed, "cannot encode the image");
    }
    return out;
}

} // namespace vorn
