// SPDX-License-Identifier: MIT
// The `vorn` command-line tool: image files inspected, converted, resampled,
// turned, cut, composited and drawn with the library's C++ interface.
//
// Exit status 0 on success, 1 when a file cannot be read or written (one
// line on standard error naming the file and the reason), 2 on a usage
// error (the reason and the usage line on standard error).

#include "draw_script.h"
#include "gallery_poster.h"

#include <vorn/version.h>
#include <vorn/vorn.hpp>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define VORN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define VORN_ISATTY(fd) isatty(fd)
#endif

namespace {

// ---------------------------------------------------------------------------
// Verbs, their usage lines and the two kinds of failure
// ---------------------------------------------------------------------------

struct Verb {
    const char* name;
    const char* usage;
    const char* description;
};

// Options every verb that writes an image takes.
#define VORN_OUTPUT_OPTIONS "[--format F] [--quality N] [--compression N] [--bmp-alpha]"
// Options of the verbs that also convert a batch.
#define VORN_BATCH_OPTIONS "[--out-dir DIR [--to FORMAT]]"

const Verb kVerbs[] = {
    {"info", "info [--json] FILE...", "format, width, height, dpi and alpha in use of image files"},
    {"convert", "convert IN OUT " VORN_OUTPUT_OPTIONS " " VORN_BATCH_OPTIONS,
     "another format; the format of OUT comes from its extension or --format"},
    {"resize", "resize IN OUT (--size WxH | --scale F) " VORN_BATCH_OPTIONS,
     "resampled to a size, or by a factor"},
    {"rotate", "rotate IN OUT --degrees N " VORN_BATCH_OPTIONS,
     "turned clockwise: multiples of 90 exactly, other angles by three shears"},
    {"crop", "crop IN OUT --rect X,Y,W,H " VORN_BATCH_OPTIONS, "the rectangle, cut to the image"},
    {"flip", "flip IN OUT (--vertical | --horizontal) " VORN_BATCH_OPTIONS,
     "upside down (--vertical) or mirrored left to right (--horizontal)"},
    {"composite", "composite BASE OVER OUT [--at X,Y] [--opacity N]",
     "OVER laid onto BASE at X,Y (0,0 by default), alpha times N / 255 (255 by default)"},
    {"draw", "draw OUT --size WxH [--background COLOUR] --script FILE",
     "a picture from a drawing script (see `vorn help draw`)"},
    {"gallery", "gallery OUT", "the poster of everything the library draws"},
    {"help", "help [VERB]", "this help, or a verb's"},
};

const char* const kScriptHelp =
    "Drawing script: one command a line; blank lines and lines starting with ';' are\n"
    "skipped. Numbers are integers except radii and marker sizes; COLOUR is #rrggbb\n"
    "or #rrggbbaa.\n"
    "  fill COLOUR\n"
    "  line X1,Y1 X2,Y2 COLOUR        aaline ...  (anti-aliased)   dashline ...\n"
    "  polyline X,Y X,Y ... COLOUR\n"
    "  polygon X,Y X,Y ... COLOUR     filled, blended when alpha < 255\n"
    "  rect X,Y,W,H COLOUR            filled, blended when alpha < 255\n"
    "  ellipse X1,Y1 X2,Y2 COLOUR [filled]\n"
    "  circle X,Y R COLOUR [filled]\n"
    "  marker square|triangle|oval X,Y W,H COLOUR\n";

const Verb* verbNamed(const std::string& name) {
    for (const Verb& v : kVerbs) {
        if (name == v.name) {
            return &v;
        }
    }
    return nullptr;
}

/// A command line the tool cannot run: exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A file that cannot be read or written: exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Reading and writing, with '-' for the standard streams
// ---------------------------------------------------------------------------

/// What the verbs that write an image were asked for.
struct Output {
    std::string format; ///< a name for formatFromName; empty: from the extension
    vorn::WriteOptions options;
};

std::vector<unsigned char> readStandardInput() {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, stdin)) > 0;) {
        bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(stdin)) {
        throw Failure("cannot read standard input");
    }
    return bytes;
}

/// The image in the file `in` ('-': standard input); with `format`, also
/// the format its content (or, failing that, its extension) names.
vorn::Image load(const std::string& in, vorn::Format* format = nullptr) {
    if (in != "-") {
        vorn::Image image = vorn::Image::read(in);
        if (format) {
            *format = vorn::detectFormat(in);
        }
        return image;
    }
    const std::vector<unsigned char> bytes = readStandardInput();
    try {
        vorn::Image image = vorn::Image::decode(bytes.data(), bytes.size());
        if (format) {
            *format = vorn::detectFormat(bytes.data(), bytes.size());
        }
        return image;
    } catch (const vorn::Error& e) {
        throw Failure(std::string(e.what()) + ": standard input");
    }
}

vorn::Format formatOption(const std::string& name) {
    const vorn::Format format = vorn::formatFromName(name);
    if (format == vorn::Format::Auto) {
        throw UsageError("unknown format '" + name + "' (jpeg, png, bmp)");
    }
    return format;
}

void save(const vorn::Image& image, const std::string& out, const Output& output) {
    vorn::WriteOptions options = output.options;
    if (!output.format.empty()) {
        options.format = formatOption(output.format);
    }
    if (out != "-") {
        image.write(out, options);
        return;
    }
    if (options.format == vorn::Format::Auto) {
        throw UsageError("writing to standard output needs --format");
    }
    std::vector<unsigned char> bytes;
    try {
        bytes = image.encode(options.format, options);
    } catch (const vorn::Error& e) {
        throw Failure(std::string(e.what()) + ": standard output");
    }
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        throw Failure("cannot write standard output");
    }
}

/// Two integers a and b written "aSEPb" (such as 640x480 or 10,20).
bool parsePair(const std::string& text, char separator, int& a, int& b) {
    const std::size_t at = text.find(separator);
    if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
        return false;
    }
    std::size_t used = 0;
    try {
        a = std::stoi(text.substr(0, at), &used);
        if (used != at) {
            return false;
        }
        b = std::stoi(text.substr(at + 1), &used);
        return used == text.size() - at - 1;
    } catch (const std::exception&) {
        return false;
    }
}

/// WxH with both sides at least 1.
void parseSize(const std::string& text, int& width, int& height) {
    if (!parsePair(text, 'x', width, height) || width < 1 || height < 1) {
        throw UsageError("--size must be WxH with W and H at least 1, not '" + text + "'");
    }
}

// ---------------------------------------------------------------------------
// info
// ---------------------------------------------------------------------------

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int runInfo(const std::vector<std::string>& files, bool json) {
    int status = 0;
    bool first = true;
    if (json) {
        std::cout << "[";
    }
    for (const std::string& file : files) {
        try {
            vorn::Format format = vorn::Format::Auto;
            const vorn::Image image = load(file, &format);
            const char* name = format == vorn::Format::Auto ? "unknown" : vorn::formatName(format);
            if (json) {
                std::cout << (first ? "\n" : ",\n") << "  {\"path\": " << jsonString(file)
                          << ", \"format\": " << jsonString(name)
                          << ", \"width\": " << image.width() << ", \"height\": " << image.height()
                          << ", \"dpi_x\": " << number(image.dpiX())
                          << ", \"dpi_y\": " << number(image.dpiY())
                          << ", \"alpha\": " << (image.hasAlpha() ? "true" : "false") << "}";
            } else {
                std::cout << file << ": " << name << ", " << image.width() << " x "
                          << image.height() << ", " << number(image.dpiX()) << " x "
                          << number(image.dpiY()) << " dpi, "
                          << (image.hasAlpha() ? "alpha in use" : "opaque") << "\n";
            }
            first = false;
        } catch (const std::exception& e) {
            std::cout.flush();
            std::cerr << "vorn: " << e.what() << "\n";
            status = 1;
        }
    }
    if (json) {
        std::cout << (first ? "]\n" : "\n]\n");
    }
    return status;
}

// ---------------------------------------------------------------------------
// One image in, one out; or a batch
// ---------------------------------------------------------------------------

using Operation = std::function<vorn::Image(const vorn::Image&)>;

/// The file name a batch writes for `in` into `dir`: its stem with the
/// extension of `to` (the input's own extension when `to` is empty).
std::string batchTarget(const std::string& in, const std::string& dir, const std::string& to) {
    const std::filesystem::path source(in);
    std::string extension = source.extension().string();
    if (!to.empty()) {
        const vorn::Format format = formatOption(to);
        extension =
            format == vorn::Format::Jpeg ? ".jpg" : std::string(".") + vorn::formatName(format);
    }
    return (std::filesystem::path(dir) / source.stem()).string() + extension;
}

int runTransform(const std::vector<std::string>& files, const std::string& outDir,
                 const std::string& to, const Output& output, const Operation& operation) {
    if (outDir.empty()) {
        if (!to.empty()) {
            throw UsageError("--to needs --out-dir");
        }
        if (files.size() != 2) {
            throw UsageError("expected IN and OUT, or several INs with --out-dir");
        }
        save(operation(load(files[0])), files[1], output);
        return 0;
    }
    for (const std::string& file : files) {
        if (file == "-") {
            throw UsageError("a batch reads files, not standard input");
        }
    }
    std::error_code ignored;
    std::filesystem::create_directories(outDir, ignored);
    const bool progress = VORN_ISATTY(2) != 0;
    int status = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (progress) {
            std::cerr << "\r\033[K[" << i + 1 << "/" << files.size() << "] " << files[i]
                      << std::flush;
        }
        try {
            save(operation(load(files[i])), batchTarget(files[i], outDir, to), output);
        } catch (const UsageError&) {
            throw;
        } catch (const std::exception& e) {
            std::cerr << (progress ? "\r\033[K" : "") << "vorn: " << e.what() << "\n";
            status = 1;
        }
    }
    if (progress) {
        std::cerr << "\r\033[K" << files.size() << " files\n";
    }
    return status;
}

// ---------------------------------------------------------------------------
// The command line
// ---------------------------------------------------------------------------

/// The options of one verb's command line.
struct Arguments {
    std::vector<std::string> files;
    bool json = false;
    Output output;
    std::string outDir;
    std::string to;
    std::string size;
    double scale = 0.0;
    int degrees = 0;
    std::string rect;
    bool vertical = false;
    bool horizontal = false;
    std::string at = "0,0";
    int opacity = 255;
    std::string background;
    std::string script;
    std::string helpVerb;
};

void addOutputOptions(CLI::App& verb, Arguments& a) {
    verb.add_option("--format", a.output.format, "output format: jpeg, png or bmp");
    verb.add_option("--quality", a.output.options.jpegQuality, "JPEG quality 1 to 100 (90)")
        ->check(CLI::Range(1, 100));
    verb.add_option("--compression", a.output.options.pngCompression,
                    "PNG compression 0 to 9 (-1: the default)")
        ->check(CLI::Range(-1, 9));
    verb.add_flag("--bmp-alpha", a.output.options.bmpAlpha, "32-bit BMP with alpha");
}

void addBatchOptions(CLI::App& verb, Arguments& a) {
    verb.add_option("--out-dir", a.outDir, "write every IN into DIR");
    verb.add_option("--to", a.to, "format of the batch's files (jpeg, png, bmp)");
}

CLI::App* addVerb(CLI::App& app, const char* name) {
    const Verb& v = *verbNamed(name);
    CLI::App* verb = app.add_subcommand(name, v.description);
    verb->footer(std::string("usage: vorn ") + v.usage);
    return verb;
}

int runVerb(const std::string& name, Arguments& a) {
    const Output& out = a.output;
    if (name == "info") {
        return runInfo(a.files, a.json);
    }
    if (name == "convert") {
        return runTransform(a.files, a.outDir, a.to, out,
                            [](const vorn::Image& i) { return i.clone(); });
    }
    if (name == "resize") {
        if (a.size.empty() == (a.scale <= 0.0)) {
            throw UsageError("give --size WxH or --scale F (above 0)");
        }
        int w = 0;
        int h = 0;
        if (!a.size.empty()) {
            parseSize(a.size, w, h);
        }
        const double scale = a.scale;
        return runTransform(a.files, a.outDir, a.to, out, [=](const vorn::Image& i) {
            if (scale <= 0.0) {
                return i.resized(w, h);
            }
            // At least one pixel a side; beyond the int range Build refuses.
            const auto side = [scale](int n) {
                const double v = std::floor(n * scale + 0.5);
                return v < 1.0 ? 1 : v > 2147483647.0 ? 2147483647 : static_cast<int>(v);
            };
            return i.resized(side(i.width()), side(i.height()));
        });
    }
    if (name == "rotate") {
        const int degrees = a.degrees;
        return runTransform(a.files, a.outDir, a.to, out, [degrees](const vorn::Image& i) {
            return degrees % 90 == 0 ? i.turned(degrees / 90) : i.rotated(degrees);
        });
    }
    if (name == "crop") {
        int r[4];
        int rest[2];
        const std::size_t second = a.rect.find(',', a.rect.find(',') + 1);
        if (second == std::string::npos || !parsePair(a.rect.substr(0, second), ',', r[0], r[1]) ||
            !parsePair(a.rect.substr(second + 1), ',', rest[0], rest[1])) {
            throw UsageError("--rect must be X,Y,W,H, not '" + a.rect + "'");
        }
        r[2] = rest[0];
        r[3] = rest[1];
        return runTransform(a.files, a.outDir, a.to, out, [r](const vorn::Image& i) {
            return i.cropped(r[0], r[1], r[2], r[3]);
        });
    }
    if (name == "flip") {
        if (a.vertical == a.horizontal) {
            throw UsageError("give --vertical or --horizontal");
        }
        const bool vertical = a.vertical;
        return runTransform(a.files, a.outDir, a.to, out, [vertical](const vorn::Image& i) {
            return vertical ? i.flipped() : i.mirrored();
        });
    }
    if (name == "composite") {
        int x = 0;
        int y = 0;
        if (!parsePair(a.at, ',', x, y)) {
            throw UsageError("--at must be X,Y, not '" + a.at + "'");
        }
        if (a.files.size() != 3) {
            throw UsageError("expected BASE, OVER and OUT");
        }
        if (a.files[0] == "-" && a.files[1] == "-") {
            throw UsageError("only one of BASE and OVER can be standard input");
        }
        vorn::Image base = load(a.files[0]);
        base.blend(load(a.files[1]), x, y, a.opacity);
        save(base, a.files[2], out);
        return 0;
    }
    if (name == "draw") {
        if (a.files.size() != 1) {
            throw UsageError("expected one OUT");
        }
        int w = 0;
        int h = 0;
        parseSize(a.size, w, h);
        vorn::Rgba background{0, 0, 0, 0};
        if (!a.background.empty() && !vorntool::parseColour(a.background, background)) {
            throw UsageError("--background must be #rrggbb or #rrggbbaa, not '" + a.background +
                             "'");
        }
        std::ifstream file;
        if (a.script != "-") {
            file.open(a.script, std::ios::binary);
            if (!file) {
                throw Failure("cannot open the script: " + a.script);
            }
        }
        vorn::Image canvas(w, h, background);
        try {
            vorntool::runDrawScript(a.script == "-" ? std::cin : file, *canvas.get());
        } catch (const vorntool::ScriptError& e) {
            throw UsageError(a.script + ": " + e.what());
        }
        save(canvas, a.files[0], out);
        return 0;
    }
    if (name == "gallery") {
        if (a.files.size() != 1) {
            throw UsageError("expected one OUT");
        }
        // The poster's file panel writes its scratch files beside OUT.
        const std::filesystem::path target(a.files[0]);
        const std::string folder =
            a.files[0] == "-" || target.parent_path().empty() ? "." : target.parent_path().string();
        vorn::Image poster = vorn::Image::adopt(drawGalleryPoster(folder));
        save(poster, a.files[0], out);
        return 0;
    }
    return 0;
}

/// The reason and the usage line of a usage error.
int usageError(const std::string& verb, const std::string& why) {
    const Verb* v = verbNamed(verb);
    std::cerr << "vorn: " << (verb.empty() ? "" : verb + ": ") << why << "\n"
              << "usage: vorn " << (v ? v->usage : "VERB ... (vorn help lists the verbs)") << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("vorn: image files inspected, converted, resampled, turned, cut, composited and "
                 "drawn with the Vorn raster drawing library.",
                 "vorn");
    app.set_version_flag("--version", std::string("vorn ") + VORN_VERSION_STRING);
    app.require_subcommand(1);
    std::string footer = "Verbs:\n";
    for (const Verb& v : kVerbs) {
        footer += std::string("  vorn ") + v.usage + "\n";
    }
    footer +=
        "\n'-' as IN reads standard input; as OUT it writes standard output (with --format).\n"
        "Exit status: 0 success, 1 a file could not be read or written, 2 usage error.";
    app.footer(footer);

    Arguments a;
    CLI::App* info = addVerb(app, "info");
    info->add_flag("--json", a.json, "one JSON array with an object per file");
    info->add_option("FILE", a.files, "image files ('-': standard input)")->required();

    for (const char* name : {"convert", "resize", "rotate", "crop", "flip"}) {
        CLI::App* verb = addVerb(app, name);
        verb->add_option("FILE", a.files, "input and output, or several inputs with --out-dir")
            ->required();
        addOutputOptions(*verb, a);
        addBatchOptions(*verb, a);
        const std::string n = name;
        if (n == "resize") {
            verb->add_option("--size", a.size, "new size WxH");
            verb->add_option("--scale", a.scale, "factor for both sides");
        } else if (n == "rotate") {
            verb->add_option("--degrees", a.degrees, "clockwise angle")->required();
        } else if (n == "crop") {
            verb->add_option("--rect", a.rect, "X,Y,W,H")->required();
        } else if (n == "flip") {
            verb->add_flag("--vertical", a.vertical, "upside down");
            verb->add_flag("--horizontal", a.horizontal, "left to right");
        }
    }
    CLI::App* composite = addVerb(app, "composite");
    composite->add_option("FILE", a.files, "the base, the image laid over it, output")->required();
    composite->add_option("--at", a.at, "X,Y of OVER's top-left pixel (0,0)");
    composite->add_option("--opacity", a.opacity, "0 to 255 (255)")->check(CLI::Range(0, 255));
    addOutputOptions(*composite, a);

    CLI::App* draw = addVerb(app, "draw");
    draw->add_option("OUT", a.files, "output")->required();
    draw->add_option("--size", a.size, "WxH")->required();
    draw->add_option("--background", a.background, "#rrggbb or #rrggbbaa (transparent)");
    draw->add_option("--script", a.script, "drawing script ('-': standard input)")->required();
    draw->footer(std::string("usage: vorn ") + verbNamed("draw")->usage + "\n\n" + kScriptHelp);
    addOutputOptions(*draw, a);

    CLI::App* gallery = addVerb(app, "gallery");
    gallery->add_option("OUT", a.files, "output")->required();
    addOutputOptions(*gallery, a);

    CLI::App* help = addVerb(app, "help");
    help->add_option("VERB", a.helpVerb, "a verb");

    std::string verb;
    try {
        app.parse(argc, argv);
        verb = app.get_subcommands().front()->get_name();
        if (verb == "help") {
            CLI::App* target = &app;
            if (!a.helpVerb.empty()) {
                const auto all = app.get_subcommands([&a](const CLI::App* s) {
                    return s->get_name() == a.helpVerb;
                });
                target = all.empty() ? nullptr : all.front();
            }
            if (!target || target == help) {
                return usageError("help", "unknown verb '" + a.helpVerb + "'");
            }
            // App::help() of the tool would show the selected verb's.
            std::cout << target->get_formatter()->make_help(
                target, target == &app ? "vorn" : target->get_name(), CLI::AppFormatMode::Normal);
            return 0;
        }
        return runVerb(verb, a);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        const auto subcommands = app.get_subcommands();
        return usageError(subcommands.empty() ? "" : subcommands.front()->get_name(), e.what());
    } catch (const UsageError& e) {
        return usageError(verb, e.what());
    } catch (const std::exception& e) {
        std::cerr << "vorn: " << e.what() << "\n";
        return 1;
    }
}
