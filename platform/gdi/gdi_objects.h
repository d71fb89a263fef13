// SPDX-License-Identifier: MIT
// Internal to the in-memory GDI: its objects, the handle table and the
// helpers its files share. Every function here expects the caller to hold
// the table's lock (see Lock).
#ifndef VORN_PLATFORM_GDI_GDI_OBJECTS_H
#define VORN_PLATFORM_GDI_GDI_OBJECTS_H

#include <vorn/platform/gdi.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace gdistandin {

// The display: 1920 x 1080 pixels at 96 per inch (508 x 286 mm, rounded).
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kScreenWidthMm = 508;
constexpr int kScreenHeightMm = 286;
constexpr int kScreenDpi = 96;

// Pixel words in memory order blue, green, red, fourth byte.
constexpr std::uint32_t kWhite = 0x00FFFFFFu;
constexpr std::uint32_t kBlack = 0x00000000u;

struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};
using PixelBlock = std::unique_ptr<std::uint32_t, FreeDeleter>;

/// A zeroed block of width x height words, or null when it is too large
/// (more than INT_MAX bytes) or cannot be allocated.
PixelBlock allocatePixels(long long width, long long height);

struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPixel = 32;            ///< 1 (monochrome, stored as kBlack/kWhite words) or 32
    PixelBlock pixels;             ///< width x height words
    bool topDown = true;           ///< memory holds the top row first
    bool section = false;          ///< a DIB section: its memory is the caller's to see
    bool stock = false;            ///< the shared 1 x 1 monochrome bitmap
    BITMAPINFOHEADER header{};     ///< a section's description as created
    std::uintptr_t selectedIn = 0; ///< the context it is selected into, or 0
    bool deletePending = false;    ///< DeleteObject came while it was selected

    std::uint32_t* row(int y) const {
        const int memoryRow = topDown ? y : height - 1 - y;
        return pixels.get() + static_cast<std::size_t>(memoryRow) * static_cast<std::size_t>(width);
    }
};

struct DcState {
    int mapMode = MM_TEXT;
    POINT windowOrg{0, 0};
    POINT viewportOrg{0, 0};
    SIZE windowExt{1, 1};
    SIZE viewportExt{1, 1};
    std::uintptr_t bitmap = 0; ///< the selected bitmap (memory contexts)
};

struct Dc {
    bool display = false;
    DcState state;
    std::vector<DcState> saved; ///< SaveDC levels 1, 2, ...
};

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::unique_ptr<Bitmap>> bitmaps;
    std::unordered_map<std::uintptr_t, std::unique_ptr<Dc>> contexts;
    std::uintptr_t nextNumber = 1;
    Bitmap screen;
    std::uintptr_t stockBitmap = 0;
};

/// The process's table, made on first use and never destroyed, so that
/// calls from other static destructors stay safe.
Table& table();

using Lock = std::lock_guard<std::mutex>;

enum class Kind : std::uintptr_t { Context = 1, Bitmap = 2 };

/// A new handle number of the given kind (never reused).
std::uintptr_t newHandle(Table& t, Kind kind);

inline std::uintptr_t handleValue(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}
template <typename H>
H toHandle(std::uintptr_t value) {
    return reinterpret_cast<H>(value);
}

/// The context or bitmap behind a handle; null when there is none.
Dc* findContext(Table& t, const void* handle);
Bitmap* findBitmap(Table& t, const void* handle);

/// The surface a context draws on: the screen or its selected bitmap.
Bitmap* surfaceOf(Table& t, Dc& dc);

/// Selects `bitmap` (a handle number, stock or not) into a memory context
/// and returns the previous one's number, or 0 when it cannot be selected.
std::uintptr_t selectBitmap(Table& t, std::uintptr_t context, Dc& dc, std::uintptr_t bitmap);

/// Logical to device coordinates under a context's mapping.
POINT toDevice(const DcState& s, LONG x, LONG y);

/// Rounds half up and saturates to the LONG range (NaN gives 0).
LONG roundToLong(double v);

} // namespace gdistandin

#endif
