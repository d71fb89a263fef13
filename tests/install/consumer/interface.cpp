// SPDX-License-Identifier: MIT
// A program outside the library's tree, built against an installed copy:
// the C++ interface as such a program uses it: formats and options round
// trip, densities, errors, geometry, pixel layouts and ownership.

#include <vorn/vorn.h>
#include <vorn/vorn.hpp>

#include <cstdio>
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

/// The status of the error a call throws, or Ok when it throws none.
template <typename F>
vorn::Status errorOf(F call) {
    try {
        call();
    } catch (const vorn::Error& e) {
        return e.status();
    }
    return vorn::Status::Ok;
}

} // namespace

int main() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vorn_consumer_" + std::to_string(VORN_VERSION));
    std::filesystem::create_directories(folder);
    // A 3 x 2 image whose every pixel differs, (170, 80, 77) at alpha 128
    // and the last one transparent, at 300 dpi.
    vorn::Image image(3, 2);
    for (int i = 0; i < 6; ++i) {
        const int alpha = i == 4 ? 128 : i == 5 ? 0 : 255;
        image.setPixel(i % 3, i / 3,
                       vorn::Rgba{static_cast<unsigned char>(40 * i + 10),
                                  static_cast<unsigned char>(200 - 30 * i), 77,
                                  static_cast<unsigned char>(alpha)});
    }
    image.setDpi(300, 300);

    // Exact with alpha (PNG, BMP with alpha); else flattened onto black
    // (BMP) or white (JPEG, a tolerance for its coding). 300 dpi survive.
    const std::pair<const char*, vorn::WriteOptions> files[] = {
        {"x.png", {vorn::Format::Auto, 90, 9, false}},
        {"a.bmp", {vorn::Format::Auto, 90, -1, true}},
        {"x.bmp", {}},
        {"x.jfif", {vorn::Format::Auto, 100, -1, false}}};
    for (const auto& [name, options] : files) {
        image.write(folder / name, options);
        const vorn::Image back = vorn::Image::read(folder / name);
        const bool exact = name[0] == 'a' || name[2] == 'p';
        check(back.width() == 3 && back.height() == 2 && back.dpiY() == 300.0, name);
        check(back.hasAlpha() == exact && (!exact || same(back.pixel(1, 1), image.pixel(1, 1))),
              name);
        const vorn::Rgba clear = back.pixel(2, 1);
        check(exact || (name[2] == 'j' ? clear.r > 230 : clear.r == 0), name);
        const std::vector<unsigned char> bytes =
            image.encode(vorn::formatFromName(std::string(name).substr(2)), options);
        check(vorn::Image::decode(bytes.data(), bytes.size()).width() == 3, name);
    }
    // A JPEG whose first segment is not JFIF, named .png: VornBuffer::Read
    // takes it for PNG by its name and fails, the C++ interface reads it by
    // content.
    std::vector<unsigned char> jpeg = image.encode(vorn::Format::Jpeg);
    jpeg[3] = 0xE1;
    const std::string odd = (folder / "odd.png").string();
    std::FILE* f = std::fopen(odd.c_str(), "wb");
    std::fwrite(jpeg.data(), 1, jpeg.size(), f);
    std::fclose(f);
    check(VornBuffer::Read(odd.c_str()) == nullptr && vorn::Image::read(odd).width() == 3, odd);

    using vorn::Status;
    const std::pair<Status, Status> errors[] = {
        {errorOf([&] { vorn::Image::read(folder / "missing.png"); }), Status::NotFound},
        {errorOf([] { vorn::Image::decode("text", 4); }), Status::UnknownFormat},
        {errorOf([&] { image.write(folder / "x.gif"); }), Status::InvalidArgument},
        {errorOf([&] {
             image.encode(vorn::Format::Png, {vorn::Format::Auto, 90, 10});
         }),
         Status::InvalidArgument},
        {errorOf([] { vorn::Image(0, 5); }), Status::InvalidArgument},
        {errorOf([] { vorn::Image().turned(1); }), Status::InvalidArgument},
        {errorOf([&] { image.cropped(3, 0, 1, 1); }), Status::InvalidArgument}};
    for (const auto& [got, wanted] : errors) {
        check(got == wanted, "error status");
    }
    std::filesystem::remove_all(folder);

    // Each result as the source pixel every one of its pixels comes from.
    const struct {
        vorn::Image result;
        int width, height;
        int (*sx)(int x, int y);
        int (*sy)(int x, int y);
    } geometry[] = {
        {image.turned(1), 2, 3, [](int, int y) { return y; }, [](int x, int) { return 1 - x; }},
        {image.turned(-1), 2, 3, [](int, int y) { return 2 - y; }, [](int x, int) { return x; }},
        {image.turned(6), 3, 2, [](int x, int) { return 2 - x; }, [](int, int y) { return 1 - y; }},
        {image.mirrored(), 3, 2, [](int x, int) { return 2 - x; }, [](int, int y) { return y; }},
        {image.flipped(), 3, 2, [](int x, int) { return x; }, [](int, int y) { return 1 - y; }},
        {image.cropped(1, -5, 9, 7), 2, 2, [](int x, int) { return x + 1; },
         [](int, int y) { return y; }}};
    for (const auto& g : geometry) {
        check(g.result.width() == g.width && g.result.height() == g.height &&
                  g.result.dpiX() == 300.0,
              "geometry");
        for (int i = 0; i < g.width * g.height; ++i) {
            const int x = i % g.width;
            const int y = i / g.width;
            check(same(g.result.pixel(x, y), image.pixel(g.sx(x, y), g.sy(x, y))), "geometry");
        }
    }
    check(image.rotated(90).width() == 3 && image.rotated(90).height() == 4, "rotated(90)");
    check(image.resized(6, 4).width() == 6, "resized");

    // x 128 / 255 rounded, and back; each layout both ways with bottom-up
    // rows (a negative stride).
    const vorn::Image pre = image.premultiplied();
    check(same(pre.pixel(1, 1), vorn::Rgba{85, 40, 39, 128}), "premultiplied");
    check(same(pre.unpremultiplied().pixel(1, 1), vorn::Rgba{169, 80, 78, 128}), "unpremultiplied");
    check(same(pre.pixel(2, 1), vorn::Rgba{0, 0, 0, 0}), "premultiplied transparent");
    const vorn::Image opaque = image.cropped(0, 0, 3, 1);
    for (int layout = 0; layout < 6; ++layout) {
        const auto l = static_cast<vorn::PixelLayout>(layout);
        unsigned char bytes[2 * 16] = {};
        opaque.toPixels(bytes + 16, -16, l);
        const vorn::Image back = vorn::Image::fromPixels(bytes + 16, 3, 1, -16, l);
        for (int x = 0; x < 3; ++x) {
            check(same(back.pixel(x, 0), opaque.pixel(x, 0)), "pixel layout round trip");
        }
    }
    unsigned char argb[4];
    image.cropped(0, 0, 1, 1).toPixels(argb, 4, vorn::PixelLayout::Argb);
    check(argb[0] == 255 && argb[1] == 10 && argb[2] == 200 && argb[3] == 77, "Argb bytes");

    vorn::Image moved = image.clone();
    VornBuffer* raw = moved.release();
    vorn::Image owner = vorn::Image::adopt(raw);
    vorn::Image other = std::move(owner);
    check(moved.empty() && owner.empty() && other.get() == raw && other.clone().get() != raw,
          "release, adopt, move and clone");
    if (failures == 0) {
        std::printf("vorn consumer ok: the C++ interface\n");
    }
    return failures == 0 ? 0 : 1;
}
