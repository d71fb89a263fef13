// SPDX-License-Identifier: MIT
// The image data of the PNG files the writer makes: every row in the
// file's byte order (red, green, blue, alpha), filtered with the filter
// that deflates its band of rows best, then deflated by libdeflate into
// one zlib stream.
//
// The filter of a band is decided by trial: its first row is filtered
// every way and each result deflated on its own at libdeflate's fastest
// level; the smallest wins. Deflate finds repeated strings, which a
// measure of the residuals alone (their sum, their entropy) does not see,
// so the trial chooses better than such a measure and costs little for
// bands of 16 rows (256 rows at the fast levels).

#include "io/png_idat.h"

#include <algorithm>
#include <cstdlib>
#include <libdeflate.h>
#include <memory>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vorn::detail {

namespace {

enum Filter : unsigned char { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

constexpr int kFilters = 5;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

/// A row of the buffer in the file's order, red, green, blue, alpha.
void fileOrder(const _VORNRGBAQUAD* row, std::size_t width, unsigned char* out) {
    for (std::size_t x = 0; x < width; ++x) {
        out[4 * x] = row[x].red;
        out[4 * x + 1] = row[x].green;
        out[4 * x + 2] = row[x].blue;
        out[4 * x + 3] = row[x].alpha;
    }
}

/// PNG's filter f of row `cur` over `prev` (zeros for the first row), n
/// bytes of 4-byte pixels.
void filterRow(Filter f, const unsigned char* cur, const unsigned char* prev, unsigned char* out,
               std::size_t n) {
    switch (f) {
    case None:
        std::copy(cur, cur + n, out);
        return;
    case Sub:
        std::copy(cur, cur + std::min<std::size_t>(4, n), out);
        for (std::size_t i = 4; i < n; ++i) {
            out[i] = static_cast<unsigned char>(cur[i] - cur[i - 4]);
        }
        return;
    case Up:
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<unsigned char>(cur[i] - prev[i]);
        }
        return;
    case Average:
        for (std::size_t i = 0; i < std::min<std::size_t>(4, n); ++i) {
            out[i] = static_cast<unsigned char>(cur[i] - (prev[i] >> 1));
        }
        for (std::size_t i = 4; i < n; ++i) {
            out[i] = static_cast<unsigned char>(cur[i] - ((cur[i - 4] + prev[i]) >> 1));
        }
        return;
    case Paeth:
        for (std::size_t i = 0; i < std::min<std::size_t>(4, n); ++i) {
            out[i] = static_cast<unsigned char>(cur[i] - prev[i]); // a = c = 0: b wins
        }
        for (std::size_t i = 4; i < n; ++i) {
            const int a = cur[i - 4];
            const int b = prev[i];
            const int c = prev[i - 4];
            const int pa = std::abs(b - c);
            const int pb = std::abs(a - c);
            const int pc = std::abs(a + b - 2 * c);
            const int predictor = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
            out[i] = static_cast<unsigned char>(cur[i] - predictor);
        }
        return;
    }
}

} // namespace

void LargeRelease::operator()(unsigned char* p) const {
    std::free(p);
}

LargeBlock allocateLarge(std::size_t n) {
#if defined(__linux__)
    // Transparent huge pages, where the system lends them on request.
    constexpr std::size_t huge = std::size_t{1} << 21;
    if (n >= huge) {
        const std::size_t size = (n + huge - 1) / huge * huge;
        auto* p = static_cast<unsigned char*>(std::aligned_alloc(huge, size));
        if (p) {
            madvise(p, size, MADV_HUGEPAGE);
        }
        return LargeBlock(p);
    }
#endif
    return LargeBlock(static_cast<unsigned char*>(std::malloc(n)));
}

bool deflateImageData(const VornBuffer& buffer, int compression, DeflatedData& out, int forced) {
    const int level = compression < 0 ? kDefaultPngCompression : std::min(compression, 9);
    const std::size_t width = static_cast<std::size_t>(buffer.getWidth());
    const std::size_t height = static_cast<std::size_t>(buffer.getHeight());
    const std::size_t rowBytes = 4 * width;
    const std::size_t stride = rowBytes + 1; // the filter byte first

    Compressor compressor(libdeflate_alloc_compressor(level));
    Compressor trial(level > 0 ? libdeflate_alloc_compressor(1) : nullptr);
    if (!compressor || (level > 0 && !trial)) {
        return false;
    }
    // Every byte is written before it is read: no clearing.
    const LargeBlock filtered = allocateLarge(stride * height);
    if (!filtered) {
        return false;
    }
    std::vector<unsigned char> rows(2 * rowBytes); // this row and the one above
    std::vector<unsigned char> candidate(rowBytes);
    std::vector<unsigned char> trialOut(
        level > 0 ? libdeflate_deflate_compress_bound(trial.get(), rowBytes) : 0);
    const std::vector<unsigned char> zeros(rowBytes, 0);
    const std::size_t band = level <= 3 ? 256 : 16;
    const bool choose = level > 0 && (forced < 0 || forced >= kFilters);
    Filter filter = choose ? None : static_cast<Filter>(std::max(forced, 0));
    for (std::size_t y = 0; y < height; ++y) {
        unsigned char* cur = rows.data() + (y % 2) * rowBytes;
        const unsigned char* prev = y > 0 ? rows.data() + ((y + 1) % 2) * rowBytes : zeros.data();
        fileOrder(buffer.getPixels() + y * width, width, cur);
        if (choose && y % band == 0) {
            std::size_t best = SIZE_MAX;
            for (int f = 0; f < kFilters; ++f) {
                filterRow(static_cast<Filter>(f), cur, prev, candidate.data(), rowBytes);
                const std::size_t size = libdeflate_deflate_compress(
                    trial.get(), candidate.data(), rowBytes, trialOut.data(), trialOut.size());
                if (size < best) {
                    best = size;
                    filter = static_cast<Filter>(f);
                }
            }
        }
        unsigned char* line = filtered.get() + y * stride;
        line[0] = filter;
        filterRow(filter, cur, prev, line + 1, rowBytes);
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), stride * height);
    out.bytes = allocateLarge(bound);
    if (!out.bytes) {
        return false;
    }
    out.size = libdeflate_zlib_compress(compressor.get(), filtered.get(), stride * height,
                                        out.bytes.get(), bound);
    return out.size > 0;
}

} // namespace vorn::detail
