// SPDX-License-Identifier: MIT
// Scratch files and pixel reads for the fuzz targets (fuzz_input.h).

#include "fuzz_input.h"

#include "text/text_string.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace {

// One scratch folder per process, removed at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() /
                ("vorn-fuzz-" + std::to_string(device()) + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const char* extension) const {
        return (path_ / (std::string("input") + extension)).string();
    }

private:
    std::filesystem::path path_;
};

} // namespace

std::wstring scratchFile(const std::uint8_t* data, std::size_t size, const char* extension) {
    static ScratchFolder folder;
    const std::string path = folder.file(extension);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", path.c_str());
        std::abort();
    }
    return textlib::utf8ToWide(path);
}

std::uint32_t touchPixels(const VornBuffer& buffer) {
    const _VORNRGBAQUAD* p = buffer.getPixels();
    const std::size_t n = static_cast<std::size_t>(buffer.getWidth()) * buffer.getHeight();
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = sum * 31 + p[i].blue + p[i].green + p[i].red + p[i].alpha;
    }
    return sum;
}
