// SPDX-License-Identifier: MIT
// Helpers of the image-file tests: a scratch folder, files made byte by
// byte, BMP and PNG files built from their fields, JPEG segments, and the
// reference pixels of the third-party suites.
#ifndef VORN_TESTS_IO_IO_TEST_H
#define VORN_TESTS_IO_IO_TEST_H

#include "text/text_string.h"
#include "vorn_test.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#if defined(VORN_HAVE_PNG)
#include <zlib.h>
#endif

using Bytes = std::vector<unsigned char>;

/// Wide text from UTF-8 (for the wide-path overloads).
inline std::wstring wideOf(const std::string& utf8) {
    return textlib::utf8ToWide(utf8);
}

/// The image the bytes hold, read from memory as `format` (0: detect).
inline BufferPtr readBytes(const Bytes& bytes, int format = 0) {
    return BufferPtr(vorn::readMemory(bytes.data(), bytes.size(), format));
}

/// The buffer encoded in memory as `format` (1 JPEG, 2 PNG, 3 BMP).
inline Bytes encoded(const VornBuffer& b, int format) {
    Bytes out;
    EXPECT_EQ(vorn::writeMemory(b, format, out), 0) << vorn::lastFailure().message;
    return out;
}

/// A folder of its own for one test, in memory where the system has a
/// memory-backed folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code ec;
        std::random_device device;
        path_ = (std::filesystem::is_directory("/dev/shm", ec)
                     ? std::filesystem::path("/dev/shm")
                     : std::filesystem::temp_directory_path()) /
                ("vorn-io-" + std::to_string(device()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    /// The path of `name` in the folder, as UTF-8 text; after writing
    /// `bytes` to the file when they are given.
    std::string file(const std::string& name, const Bytes* bytes = nullptr) const {
        if (bytes) {
            std::ofstream(path_ / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes->data()),
                       static_cast<std::streamsize>(bytes->size()));
        }
        return (path_ / name).string();
    }
    std::string file(const std::string& name, const Bytes& bytes) const {
        return file(name, &bytes);
    }
    /// Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            out.push_back(e.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::filesystem::path path_;
};

/// Bytes from hexadecimal text; spaces are ignored.
inline Bytes fromHex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += text[i] == ' ' ? 1 : 2) {
        if (text[i] != ' ') {
            out.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
        }
    }
    return out;
}

/// What a read gives, for comparing two reads: pixels, size, density and
/// background.
inline std::vector<std::uint32_t> fingerprint(const VornBuffer* b) {
    if (!b) {
        return {};
    }
    std::vector<std::uint32_t> f = words(*b);
    unsigned char rgb[3] = {0, 0, 0};
    f.push_back(static_cast<std::uint32_t>(b->getBackground(&rgb[0], &rgb[1], &rgb[2])));
    for (const int v : {b->getWidth(), b->getHeight(), b->getPixelsPerMetreX(),
                        b->getPixelsPerMetreY(), int{rgb[0]}, int{rgb[1]}, int{rgb[2]}}) {
        f.push_back(static_cast<std::uint32_t>(v));
    }
    return f;
}

/// Reads the file with Read and its bytes with readMemory, which must give
/// the same; a picture is then written with write and writeMemory as
/// `writeFormat`, which must give the same bytes, and read back the same.
inline BufferPtr readBothWays(const std::string& path, int writeFormat) {
    BufferPtr fromFile(VornBuffer::Read(path.c_str()));
    BufferPtr fromMemory = readBytes(readFileBytes(path));
    EXPECT_EQ(fingerprint(fromFile.get()), fingerprint(fromMemory.get()));
    if (fromFile) {
        ScratchDir dir;
        const std::string out = dir.file("copy");
        Bytes inMemory;
        EXPECT_EQ(fromFile->write(out.c_str(), writeFormat), 0);
        EXPECT_EQ(vorn::writeMemory(*fromMemory, writeFormat, inMemory), 0);
        EXPECT_EQ(readFileBytes(out), inMemory);
        EXPECT_EQ(fingerprint(BufferPtr(VornBuffer::Read(out.c_str())).get()),
                  fingerprint(readBytes(inMemory).get()));
    }
    return fromFile;
}

/// Little-endian fields of n bytes.
inline void putLE(Bytes& b, std::size_t at, std::uint32_t v, int n = 4) {
    for (int i = 0; i < n; ++i) {
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
}
inline std::uint32_t getLE(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

/// The offset of the data of the first segment of a JPEG file with the
/// marker 0xFF `code`, before the first scan; 0 when there is none.
inline std::size_t jpegSegment(const Bytes& f, unsigned char code) {
    for (std::size_t i = 2; i + 3 < f.size() && f[i] == 0xFF && f[i + 1] != 0xDA;
         i += 2 + (f[i + 2] << 8 | f[i + 3])) {
        if (f[i + 1] == code) {
            return i + 4;
        }
    }
    return 0;
}

#if defined(VORN_HAVE_PNG)
/// A PNG file: the header chunk for the given fields, `chunks` (type and
/// data) and IEND, each with its length and CRC.
inline Bytes pngFile(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                     std::vector<std::pair<std::string, Bytes>> chunks) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [](Bytes& to, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            to.push_back(static_cast<unsigned char>(v >> shift));
        }
    };
    Bytes ihdr;
    put32(ihdr, width);
    put32(ihdr, height);
    ihdr.insert(ihdr.end(), {static_cast<unsigned char>(depth),
                             static_cast<unsigned char>(colourType), 0, 0, 0});
    chunks.insert(chunks.begin(), {"IHDR", ihdr});
    chunks.push_back({"IEND", {}});
    for (const auto& [type, data] : chunks) {
        put32(file, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = file.size();
        file.insert(file.end(), type.begin(), type.end());
        file.insert(file.end(), data.begin(), data.end());
        put32(file, static_cast<std::uint32_t>(
                        crc32(0, &file[start], static_cast<uInt>(file.size() - start))));
    }
    return file;
}
#endif

/// The fields of a BMP file to build. The colour table holds `palette`;
/// `offset` 0 places the pixel data right after the table.
struct BmpFields {
    int headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    int planes = 1;
    int bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<_VORNRGBAQUAD> palette;
    std::uint32_t offset = 0;
    Bytes data;
};

/// The file the fields describe, byte for byte (density 2835 x 2835).
inline Bytes makeBmp(const BmpFields& f) {
    const bool core = f.headerSize == 12;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t tableEnd = 14 + f.headerSize + f.palette.size() * entry;
    const std::size_t dataAt = f.offset ? f.offset : tableEnd;
    Bytes b(std::max(tableEnd, dataAt) + f.data.size(), 0);
    b[0] = 'B';
    b[1] = 'M';
    putLE(b, 2, static_cast<std::uint32_t>(b.size()));
    putLE(b, 10, static_cast<std::uint32_t>(dataAt));
    putLE(b, 14, static_cast<std::uint32_t>(f.headerSize));
    const int n = core ? 2 : 4; // width and height fields
    putLE(b, 18, static_cast<std::uint32_t>(f.width), n);
    putLE(b, 18 + n, static_cast<std::uint32_t>(f.height), n);
    putLE(b, 18 + 2 * n, static_cast<std::uint32_t>(f.planes), 2);
    putLE(b, 20 + 2 * n, static_cast<std::uint32_t>(f.bitCount), 2);
    if (!core) {
        putLE(b, 30, f.compression);
        putLE(b, 38, 2835);
        putLE(b, 42, 2835);
        putLE(b, 46, f.coloursUsed);
    }
    std::size_t at = 14 + f.headerSize;
    for (const _VORNRGBAQUAD& c : f.palette) {
        std::memcpy(&b[at], &c, 3); // blue, green, red
        at += entry;
    }
    std::copy(f.data.begin(), f.data.end(), b.begin() + static_cast<std::ptrdiff_t>(dataAt));
    return b;
}

/// Describes the first pixel where `b` and the suite's reference PAM file
/// (red, green, blue, alpha bytes, top row first) differ; "" when they are
/// equal. With `skipUnwritten`, pixels the buffer left transparent black
/// are not compared (run-length streams need not reach every pixel).
inline std::string firstDifference(const VornBuffer& b, const std::string& pam,
                                   bool skipUnwritten = false) {
    const Bytes bytes = readFileBytes(testdataDir() + "/reference/" + pam + ".pam");
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t end = text.find("ENDHDR\n");
    int width = 0;
    int height = 0;
    int depth = 0;
    if (end == std::string::npos ||
        std::sscanf(text.c_str(), "P7 WIDTH %d HEIGHT %d DEPTH %d", &width, &height, &depth) != 3 ||
        depth != 4 || bytes.size() != end + 7 + std::size_t{4} * width * height ||
        b.getWidth() != width || b.getHeight() != height) {
        return "size " + std::to_string(b.getWidth()) + "x" + std::to_string(b.getHeight()) +
               ", reference " + std::to_string(width) + "x" + std::to_string(height);
    }
    for (int i = 0; i < width * height; ++i) {
        const unsigned char* r = &bytes[end + 7 + std::size_t{4} * i];
        const _VORNRGBAQUAD got = b.getPixels()[i];
        if (got != rgba(r[0], r[1], r[2], r[3]) && !(skipUnwritten && got == rgba(0, 0, 0, 0))) {
            return "pixel " + std::to_string(i % width) + ", " + std::to_string(i / width) +
                   " is " + ::testing::PrintToString(got) + ", reference " +
                   ::testing::PrintToString(rgba(r[0], r[1], r[2], r[3]));
        }
    }
    return "";
}

#endif
