// SPDX-License-Identifier: MIT
// Helpers of the image-file tests: a scratch folder, files made byte by
// byte, BMP files built from their fields, and the reference pixels of the
// third-party suites.
#ifndef VORN_TESTS_IO_IO_TEST_H
#define VORN_TESTS_IO_IO_TEST_H

#include "text/text_string.h"
#include "vorn_test.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
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
/// memory-backed folder (some tests write many small files), removed with
/// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec);
        std::random_device device;
        path_ = (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
                ("vorn-io-" + std::to_string(device()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    /// The path of `name` in the folder, as UTF-8 text.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    /// The same, after writing `bytes` to the file.
    std::string file(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return file(name);
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

inline bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

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

/// What a read gives, for comparing two reads: size, pixels, density and
/// background.
inline std::vector<std::uint32_t> fingerprint(const VornBuffer* b) {
    if (!b) {
        return {};
    }
    std::vector<std::uint32_t> f = words(*b);
    unsigned char rgb[3] = {0, 0, 0};
    const int hasBackground = b->getBackground(&rgb[0], &rgb[1], &rgb[2]);
    f.insert(f.end(),
             {static_cast<std::uint32_t>(b->getWidth()), static_cast<std::uint32_t>(b->getHeight()),
              static_cast<std::uint32_t>(b->getPixelsPerMetreX()),
              static_cast<std::uint32_t>(b->getPixelsPerMetreY()),
              static_cast<std::uint32_t>(hasBackground), rgb[0], rgb[1], rgb[2]});
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

#if defined(VORN_HAVE_PNG)
/// A PNG file: the header chunk for the given fields, `chunks` (type and
/// data) and IEND, each with its length and CRC.
inline Bytes pngFile(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                     std::vector<std::pair<std::string, Bytes>> chunks) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [&file](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            file.push_back(static_cast<unsigned char>(v >> shift));
        }
    };
    Bytes ihdr(13, 0);
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    ihdr[8] = static_cast<unsigned char>(depth);
    ihdr[9] = static_cast<unsigned char>(colourType);
    chunks.insert(chunks.begin(), {"IHDR", ihdr});
    chunks.push_back({"IEND", {}});
    for (const auto& [type, data] : chunks) {
        put32(static_cast<std::uint32_t>(data.size()));
        const std::size_t start = file.size();
        file.insert(file.end(), type.begin(), type.end());
        file.insert(file.end(), data.begin(), data.end());
        put32(static_cast<std::uint32_t>(
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
        b[at] = c.blue;
        b[at + 1] = c.green;
        b[at + 2] = c.red;
        at += entry;
    }
    std::copy(f.data.begin(), f.data.end(), b.begin() + static_cast<std::ptrdiff_t>(dataAt));
    return b;
}

/// A reference PAM: width x height pixels of red, green, blue, alpha bytes,
/// top row first; empty when the file cannot be read.
struct Pam {
    int width = 0;
    int height = 0;
    Bytes rgba;
};

inline Pam readPam(const std::string& path) {
    const Bytes bytes = readFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t end = text.find("ENDHDR\n");
    Pam ref;
    std::istringstream header(text.substr(0, end));
    std::string key;
    int depth = 0;
    while (end != std::string::npos && header >> key) {
        int* field = key == "WIDTH"    ? &ref.width
                     : key == "HEIGHT" ? &ref.height
                     : key == "DEPTH"  ? &depth
                                       : nullptr;
        if (field) {
            header >> *field;
        }
    }
    const std::size_t size = static_cast<std::size_t>(ref.width) * ref.height * 4;
    if (end == std::string::npos || depth != 4 || bytes.size() != end + 7 + size) {
        return Pam{};
    }
    ref.rgba.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end + 7), bytes.end());
    return ref;
}

/// Describes the first pixel where `b` and `ref` differ ("" when equal).
/// With `skipUnwritten`, pixels the buffer left transparent black are not
/// compared (run-length streams need not reach every pixel).
inline std::string firstDifference(const VornBuffer& b, const Pam& ref,
                                   bool skipUnwritten = false) {
    std::ostringstream out;
    if (ref.rgba.empty() || b.getWidth() != ref.width || b.getHeight() != ref.height) {
        out << "size " << b.getWidth() << "x" << b.getHeight() << ", reference " << ref.width << "x"
            << ref.height;
        return out.str();
    }
    for (int i = 0; i < ref.width * ref.height; ++i) {
        const unsigned char* r = &ref.rgba[static_cast<std::size_t>(i) * 4];
        const _VORNRGBAQUAD got = b.getPixels()[i];
        if (got != rgba(r[0], r[1], r[2], r[3]) && !(skipUnwritten && got == rgba(0, 0, 0, 0))) {
            out << "pixel " << i % ref.width << ", " << i / ref.width << " is "
                << ::testing::PrintToString(got) << ", reference "
                << ::testing::PrintToString(rgba(r[0], r[1], r[2], r[3]));
            return out.str();
        }
    }
    return "";
}

#endif
