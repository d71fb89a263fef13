// Helpers of the image-file tests (io_test.h).

#include "io_test.h"
#include "text/text_string.h"

#include <sstream>

std::wstring wideOf(const std::string& utf8) {
    return textlib::utf8ToWide(utf8);
}

Bytes makeBmp(const BmpFields& f) {
    const bool core = f.headerSize == 12;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t tableEnd = 14 + f.headerSize + f.palette.size() * entry;
    const std::size_t dataAt = f.offset ? f.offset : tableEnd;
    Bytes b(std::max(tableEnd, dataAt) + f.data.size(), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, static_cast<std::uint32_t>(dataAt));
    put32(b, 14, static_cast<std::uint32_t>(f.headerSize));
    if (core) {
        put16(b, 18, static_cast<std::uint32_t>(f.width));
        put16(b, 20, static_cast<std::uint32_t>(f.height));
        put16(b, 22, static_cast<std::uint32_t>(f.planes));
        put16(b, 24, static_cast<std::uint32_t>(f.bitCount));
    } else {
        put32(b, 18, static_cast<std::uint32_t>(f.width));
        put32(b, 22, static_cast<std::uint32_t>(f.height));
        put16(b, 26, static_cast<std::uint32_t>(f.planes));
        put16(b, 28, static_cast<std::uint32_t>(f.bitCount));
        put32(b, 30, f.compression);
        put32(b, 38, static_cast<std::uint32_t>(f.densityX));
        put32(b, 42, static_cast<std::uint32_t>(f.densityY));
        put32(b, 46, f.coloursUsed);
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

ReferenceImage readPam(const std::string& path) {
    ReferenceImage ref;
    const Bytes bytes = readFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t end = text.find("ENDHDR\n");
    if (end == std::string::npos) {
        return ref;
    }
    std::istringstream header(text.substr(0, end));
    std::string key;
    int depth = 0;
    while (header >> key) {
        if (key == "WIDTH") {
            header >> ref.width;
        } else if (key == "HEIGHT") {
            header >> ref.height;
        } else if (key == "DEPTH") {
            header >> depth;
        }
    }
    const std::size_t count = static_cast<std::size_t>(ref.width) * ref.height;
    const std::size_t start = end + 7;
    if (depth != 4 || bytes.size() < start + count * 4) {
        return ReferenceImage{};
    }
    ref.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = bytes.data() + start + i * 4;
        ref.pixels[i] = rgba(p[0], p[1], p[2], p[3]);
    }
    return ref;
}

std::string firstDifference(const VornBuffer& b, const ReferenceImage& ref, bool skipUnwritten) {
    std::ostringstream out;
    if (b.getWidth() != ref.width || b.getHeight() != ref.height) {
        out << "size " << b.getWidth() << "x" << b.getHeight() << ", reference " << ref.width << "x"
            << ref.height;
        return out.str();
    }
    for (int y = 0; y < ref.height; ++y) {
        for (int x = 0; x < ref.width; ++x) {
            const _VORNRGBAQUAD got = at(b, x, y);
            const _VORNRGBAQUAD want = ref.pixels[static_cast<std::size_t>(y) * ref.width + x];
            if (skipUnwritten && got == rgba(0, 0, 0, 0)) {
                continue;
            }
            if (got != want) {
                out << "pixel (" << x << ", " << y << ") is " << ::testing::PrintToString(got)
                    << ", reference " << ::testing::PrintToString(want);
                return out.str();
            }
        }
    }
    return "";
}
