// SPDX-License-Identifier: MIT
// A program outside the library's tree, built against an installed copy:
// the C++ interface as such a program uses it:
// formats and options round trip, densities, errors, geometry, pixel
// layouts and ownership.

#include <vorn/vorn.h>
#include <vorn/vorn.hpp>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        ++failures;
    }
}

bool same(vorn::Rgba a, vorn::Rgba b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

/// A 3 x 2 image whose every pixel differs, one of them translucent and
/// one transparent, at 300 dpi.
vorn::Image sample() {
    vorn::Image image(3, 2);
    for (int i = 0; i < 6; ++i) {
        image.setPixel(i % 3, i / 3,
                       vorn::Rgba{static_cast<unsigned char>(40 * i + 10),
                                  static_cast<unsigned char>(200 - 30 * i), 77,
                                  static_cast<unsigned char>(i == 4   ? 128
                                                             : i == 5 ? 0
                                                                      : 255)});
    }
    image.setDpi(300, 300);
    return image;
}

/// The error a call throws, as "status: what", or "" when it throws none.
template <typename F>
std::string errorOf(F call) {
    try {
        call();
    } catch (const vorn::Error& e) {
        return std::string(vorn::statusText(e.status())) + ": " + e.what();
    }
    return "";
}

void checkFiles(const std::filesystem::path& folder) {
    const vorn::Image image = sample();
    struct Case {
        const char* name;
        vorn::WriteOptions options;
        bool exact; ///< every pixel, alpha included
    };
    const Case cases[] = {
        {"x.png", {vorn::Format::Auto, 90, 9, false}, true},
        {"x.bmp", {vorn::Format::Auto, 90, -1, true}, true},
        {"x.bmp", {}, false},
        {"x.JPEG", {vorn::Format::Auto, 100, -1, false}, false},
        {"x.jfif", {vorn::Format::Auto, 100, -1, false}, false},
    };
    for (const Case& c : cases) {
        const std::filesystem::path path = folder / c.name;
        image.write(path, c.options);
        const vorn::Image back = vorn::Image::read(path);
        const std::string what = std::string(c.name) + (c.options.bmpAlpha ? " with alpha" : "");
        check(back.width() == 3 && back.height() == 2, what + ": size");
        check(back.dpiX() == 300.0 && back.dpiY() == 300.0, what + ": 300 dpi");
        check(back.hasAlpha() == c.exact, what + ": alpha");
        for (int i = 0; c.exact && i < 6; ++i) {
            check(same(back.pixel(i % 3, i / 3), image.pixel(i % 3, i / 3)), what + ": pixels");
        }
        // Flattened: onto white for JPEG (a tolerance for its coding),
        // onto black for BMP.
        const vorn::Rgba clear = back.pixel(2, 1);
        if (!c.exact) {
            const bool jpeg = c.name[2] == 'J' || c.name[2] == 'j';
            check(jpeg ? clear.r > 230 && clear.g > 230 : clear.r == 0 && clear.g == 0,
                  what + ": flattened");
        }
        const std::vector<unsigned char> bytes =
            image.encode(vorn::formatFromName(path.extension().string()), c.options);
        check(vorn::Image::decode(bytes.data(), bytes.size()).width() == 3, what + ": encode");
    }

    // A JPEG whose first segment is not JFIF, named .png: VornBuffer::Read
    // takes it for PNG by its name and fails, the C++ interface reads it by
    // content.
    std::vector<unsigned char> jpeg = image.encode(vorn::Format::Jpeg);
    jpeg[3] = 0xE1;
    const std::filesystem::path odd = folder / "odd.png";
    std::FILE* f = std::fopen(odd.string().c_str(), "wb");
    std::fwrite(jpeg.data(), 1, jpeg.size(), f);
    std::fclose(f);
    check(VornBuffer::Read(odd.string().c_str()) == nullptr, "VornBuffer::Read of odd.png");
    check(vorn::Image::read(odd).width() == 3, "Image::read of odd.png");

    const std::string missing = (folder / "missing.png").string();
    const struct {
        std::string got;
        std::string wanted;
    } errors[] = {
        {errorOf([&] { vorn::Image::read(missing); }), "not found: not found: " + missing},
        {errorOf([] { vorn::Image::decode("text", 4); }), "unknown format: "},
        {errorOf([&] { image.write(folder / "x.gif"); }), "invalid argument: GIF cannot be"},
        {errorOf([&] {
             image.encode(vorn::Format::Png, {vorn::Format::Auto, 90, 10});
         }),
         "invalid argument: PNG compression 10"},
        {errorOf([] { vorn::Image(0, 5); }), "invalid argument: image: size 0 x 5"},
        {errorOf([] { vorn::Image().turned(1); }), "invalid argument: turn: empty image"},
        {errorOf([&] { image.cropped(3, 0, 1, 1); }), "invalid argument: crop:"},
    };
    for (const auto& e : errors) {
        check(e.got.compare(0, e.wanted.size(), e.wanted) == 0, "error '" + e.got + "'");
    }
}

void checkGeometry() {
    const vorn::Image image = sample();
    // Each result as the source pixel every one of its pixels comes from.
    struct Case {
        const char* what;
        vorn::Image result;
        int width;
        int height;
        int (*sx)(int x, int y);
        int (*sy)(int x, int y);
    };
    const Case cases[] = {
        {"turned(1)", image.turned(1), 2, 3, [](int, int y) { return y; },
         [](int x, int) { return 1 - x; }},
        {"turned(-1)", image.turned(-1), 2, 3, [](int, int y) { return 2 - y; },
         [](int x, int) { return x; }},
        {"turned(2)", image.turned(6), 3, 2, [](int x, int) { return 2 - x; },
         [](int, int y) { return 1 - y; }},
        {"mirrored", image.mirrored(), 3, 2, [](int x, int) { return 2 - x; },
         [](int, int y) { return y; }},
        {"flipped", image.flipped(), 3, 2, [](int x, int) { return x; },
         [](int, int y) { return 1 - y; }},
        {"cropped", image.cropped(1, -5, 9, 7), 2, 2, [](int x, int) { return x + 1; },
         [](int, int y) { return y; }},
    };
    for (const Case& c : cases) {
        check(c.result.width() == c.width && c.result.height() == c.height, c.what);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                check(same(c.result.pixel(x, y), image.pixel(c.sx(x, y), c.sy(x, y))), c.what);
            }
        }
        check(c.result.dpiX() == 300.0, std::string(c.what) + ": density kept");
    }
    check(image.rotated(90).width() == 3 && image.rotated(90).height() == 4, "rotated(90)");
    check(image.resized(6, 4).width() == 6, "resized");
}

void checkLayoutsAndOwnership() {
    const vorn::Image image = sample();
    // (170, 80, 77) at alpha 128: x 128 / 255 rounded, and back.
    const vorn::Image pre = image.premultiplied();
    check(same(pre.pixel(1, 1), vorn::Rgba{85, 40, 39, 128}), "premultiplied");
    check(same(pre.unpremultiplied().pixel(1, 1), vorn::Rgba{169, 80, 78, 128}), "unpremultiplied");
    check(same(pre.pixel(2, 1), vorn::Rgba{0, 0, 0, 0}), "premultiplied transparent");
    const vorn::PixelLayout layouts[] = {vorn::PixelLayout::Bgra,
                                         vorn::PixelLayout::Rgba,
                                         vorn::PixelLayout::Argb,
                                         vorn::PixelLayout::BgraPremultiplied,
                                         vorn::PixelLayout::RgbaPremultiplied,
                                         vorn::PixelLayout::ArgbPremultiplied};
    const vorn::Image opaque = image.cropped(0, 0, 3, 1);
    for (const vorn::PixelLayout layout : layouts) {
        unsigned char bytes[2 * 16] = {};
        // Bottom-up rows of 16 bytes: the stride is negative.
        opaque.toPixels(bytes + 16, -16, layout);
        const vorn::Image back = vorn::Image::fromPixels(bytes + 16, 3, 1, -16, layout);
        for (int x = 0; x < 3; ++x) {
            check(same(back.pixel(x, 0), opaque.pixel(x, 0)), "pixel layout round trip");
        }
    }
    unsigned char argb[4];
    image.cropped(0, 0, 1, 1).toPixels(argb, 4, vorn::PixelLayout::Argb);
    check(argb[0] == 255 && argb[1] == 10 && argb[2] == 200 && argb[3] == 77, "Argb bytes");

    vorn::Image moved = sample();
    VornBuffer* raw = moved.release();
    check(moved.empty() && raw != nullptr, "release");
    vorn::Image owner = vorn::Image::adopt(raw);
    vorn::Image other = std::move(owner);
    check(owner.empty() && other.get() == raw && other.clone().get() != raw, "move and clone");
}

} // namespace

int main(int argc, char** argv) {
    const char* testdata = argc > 1 ? argv[1] : nullptr;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vorn_consumer_" + std::to_string(VORN_VERSION));
    std::filesystem::create_directories(folder);
    checkFiles(folder);
    checkGeometry();
    checkLayoutsAndOwnership();
    std::filesystem::remove_all(folder);
    // Every good file of the BMP Suite reads.
    if (testdata && std::filesystem::exists(std::string(testdata) + "/bmpsuite/g")) {
        int read = 0;
        for (const auto& e :
             std::filesystem::directory_iterator(std::string(testdata) + "/bmpsuite/g")) {
            read += !vorn::Image::read(e.path()).empty();
        }
        check(read == 23, "BMP Suite good files read: " + std::to_string(read));
    }
    if (failures == 0) {
        std::printf("vorn consumer ok: the C++ interface\n");
    }
    return failures == 0 ? 0 : 1;
}
