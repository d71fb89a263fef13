// Helpers of the image-file tests: scratch folders, files made byte by
// byte, BMP files built from their fields, and reference pixels.
#ifndef VORN_TESTS_IO_IO_TEST_H
#define VORN_TESTS_IO_IO_TEST_H

#include "vorn_test.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

/// A folder of its own for one test, removed with everything in it when
/// the object goes.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device device;
        const std::string tag = std::to_string(device()) + "-" + std::to_string(device());
        path_ = std::filesystem::temp_directory_path() / ("vorn-io-" + tag);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    /// The path of `name` in the folder, as narrow (UTF-8) text.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

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

inline void writeFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

/// Wide text from UTF-8 (for the wide-path overloads).
std::wstring wideOf(const std::string& utf8);

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
}
inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint32_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8);
}

/// The fields of a BMP file to build. The colour table holds `palette`
/// (red, green, blue per entry as rgba()); `offset` 0 places the pixel
/// data right after the table.
struct BmpFields {
    int headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    int planes = 1;
    int bitCount = 24;
    std::uint32_t compression = 0;
    std::int32_t densityX = 2835;
    std::int32_t densityY = 2835;
    std::uint32_t coloursUsed = 0;
    std::vector<_VORNRGBAQUAD> palette;
    std::uint32_t offset = 0;
    Bytes data;
};

/// The file the fields describe, byte for byte.
Bytes makeBmp(const BmpFields& f);

/// Pixels of a reference PAM (red, green, blue, alpha per pixel, top row
/// first) as buffer pixels; empty when the file cannot be read.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    std::vector<_VORNRGBAQUAD> pixels;
};
ReferenceImage readPam(const std::string& path);

/// Describes the first pixel where `b` and `ref` differ ("" when equal).
/// With `skipUnwritten`, pixels the buffer left transparent black are not
/// compared (run-length streams need not reach every pixel).
std::string firstDifference(const VornBuffer& b, const ReferenceImage& ref,
                            bool skipUnwritten = false);

#endif
