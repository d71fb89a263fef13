// SPDX-License-Identifier: MIT
// The in-memory GDI's objects: the handle table, the display, contexts,
// bitmaps, selection, description and release.

#include "gdi_objects.h"

#include <climits>
#include <cstring>
#include <cwctype>

namespace gdistandin {

PixelBlock allocatePixels(long long width, long long height) {
    if (width < 1 || height < 1 || width > INT_MAX / 4 / height) {
        return PixelBlock();
    }
    return PixelBlock(static_cast<std::uint32_t*>(
        std::calloc(static_cast<std::size_t>(width * height), sizeof(std::uint32_t))));
}

Table& table() {
    static Table* t = [] {
        Table* made = new Table;
        made->screen.width = kScreenWidth;
        made->screen.height = kScreenHeight;
        made->screen.pixels = allocatePixels(kScreenWidth, kScreenHeight);
        auto stock = std::make_unique<Bitmap>();
        stock->width = 1;
        stock->height = 1;
        stock->bitsPixel = 1;
        stock->stock = true;
        stock->pixels = allocatePixels(1, 1);
        made->stockBitmap = newHandle(*made, Kind::Bitmap);
        made->bitmaps.emplace(made->stockBitmap, std::move(stock));
        return made;
    }();
    return *t;
}

std::uintptr_t newHandle(Table& t, Kind kind) {
    // Low bits tell the kind; the number above them only grows.
    return (t.nextNumber++ << 4) | static_cast<std::uintptr_t>(kind);
}

Dc* findContext(Table& t, const void* handle) {
    const auto it = t.contexts.find(handleValue(handle));
    return it == t.contexts.end() ? nullptr : it->second.get();
}

Bitmap* findBitmap(Table& t, const void* handle) {
    const auto it = t.bitmaps.find(handleValue(handle));
    return it == t.bitmaps.end() ? nullptr : it->second.get();
}

Bitmap* surfaceOf(Table& t, Dc& dc) {
    if (dc.display) {
        return t.screen.pixels ? &t.screen : nullptr;
    }
    const auto it = t.bitmaps.find(dc.state.bitmap);
    return it == t.bitmaps.end() ? nullptr : it->second.get();
}

namespace {

// Releases a bitmap that is no longer selected anywhere, if its release was
// asked for while it was.
void releaseIfPending(Table& t, std::uintptr_t number) {
    const auto it = t.bitmaps.find(number);
    if (it != t.bitmaps.end() && it->second->deletePending && it->second->selectedIn == 0) {
        t.bitmaps.erase(it);
    }
}

bool isDisplayName(LPCWSTR name) {
    static const wchar_t kDisplay[] = L"DISPLAY";
    if (name == nullptr) {
        return false;
    }
    std::size_t i = 0;
    for (; kDisplay[i] != 0; ++i) {
        if (name[i] == 0 ||
            std::towupper(static_cast<wint_t>(name[i])) != static_cast<wint_t>(kDisplay[i])) {
            return false;
        }
    }
    return name[i] == 0;
}

HDC makeContext(Table& t, bool display) {
    auto dc = std::make_unique<Dc>();
    dc->display = display;
    if (!display) {
        dc->state.bitmap = t.stockBitmap;
    }
    const std::uintptr_t h = newHandle(t, Kind::Context);
    t.contexts.emplace(h, std::move(dc));
    return toHandle<HDC>(h);
}

LONG widthBytes(const Bitmap& b) {
    if (b.section) {
        return static_cast<LONG>((static_cast<long long>(b.width) * b.bitsPixel + 31) / 32 * 4);
    }
    // Device-dependent bitmaps report rows aligned to 2 bytes.
    return static_cast<LONG>((static_cast<long long>(b.width) * b.bitsPixel + 15) / 16 * 2);
}

} // namespace

std::uintptr_t selectBitmap(Table& t, std::uintptr_t context, Dc& dc, std::uintptr_t number) {
    const auto it = t.bitmaps.find(number);
    if (it == t.bitmaps.end() || dc.display) {
        return 0;
    }
    Bitmap& b = *it->second;
    const std::uintptr_t previous = dc.state.bitmap;
    if (previous == number) {
        return previous;
    }
    if (b.deletePending || (!b.stock && b.selectedIn != 0)) {
        return 0;
    }
    const auto old = t.bitmaps.find(previous);
    if (old != t.bitmaps.end()) {
        old->second->selectedIn = 0;
    }
    if (!b.stock) {
        b.selectedIn = context;
    }
    dc.state.bitmap = number;
    releaseIfPending(t, previous);
    return previous;
}

} // namespace gdistandin

using namespace gdistandin;

extern "C" {

HDC CreateDCW(LPCWSTR driver, LPCWSTR, LPCWSTR, const void*) {
    if (!isDisplayName(driver)) {
        return nullptr;
    }
    Table& t = table();
    Lock lock(t.mutex);
    return makeContext(t, true);
}

HDC CreateCompatibleDC(HDC hdc) {
    Table& t = table();
    Lock lock(t.mutex);
    if (hdc != nullptr && findContext(t, hdc) == nullptr) {
        return nullptr;
    }
    return makeContext(t, false);
}

BOOL DeleteDC(HDC hdc) {
    Table& t = table();
    Lock lock(t.mutex);
    const auto it = t.contexts.find(handleValue(hdc));
    if (it == t.contexts.end()) {
        return FALSE;
    }
    const std::uintptr_t selected = it->second->state.bitmap;
    t.contexts.erase(it);
    const auto b = t.bitmaps.find(selected);
    if (b != t.bitmaps.end() && !b->second->stock) {
        b->second->selectedIn = 0;
        releaseIfPending(t, selected);
    }
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    Table& t = table();
    Lock lock(t.mutex);
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr) {
        return nullptr;
    }
    if (width == 0 || height == 0) {
        return toHandle<HBITMAP>(t.stockBitmap);
    }
    const long long w = width < 0 ? -static_cast<long long>(width) : width;
    const long long h = height < 0 ? -static_cast<long long>(height) : height;
    const Bitmap* surface = surfaceOf(t, *dc);
    auto b = std::make_unique<Bitmap>();
    b->bitsPixel = surface != nullptr ? surface->bitsPixel : 32;
    b->pixels = allocatePixels(w, h);
    if (!b->pixels) {
        return nullptr;
    }
    b->width = static_cast<int>(w);
    b->height = static_cast<int>(h);
    const std::uintptr_t handle = newHandle(t, Kind::Bitmap);
    t.bitmaps.emplace(handle, std::move(b));
    return toHandle<HBITMAP>(handle);
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    Table& t = table();
    Lock lock(t.mutex);
    if (hdc != nullptr && findContext(t, hdc) == nullptr) {
        return nullptr;
    }
    if (info == nullptr || section != nullptr ||
        (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        return nullptr;
    }
    const BITMAPINFOHEADER& in = info->bmiHeader;
    if (in.biSize < sizeof(BITMAPINFOHEADER) || in.biBitCount != 32 || in.biCompression != BI_RGB ||
        in.biWidth <= 0 || in.biHeight == 0) {
        return nullptr;
    }
    const long long h = in.biHeight < 0 ? -static_cast<long long>(in.biHeight) : in.biHeight;
    auto b = std::make_unique<Bitmap>();
    b->pixels = allocatePixels(in.biWidth, h);
    if (!b->pixels) {
        return nullptr;
    }
    b->width = in.biWidth;
    b->height = static_cast<int>(h);
    b->section = true;
    b->topDown = in.biHeight < 0;
    // The description keeps the creation header with a positive height, as
    // GDI reports it.
    b->header = in;
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->header.biHeight = static_cast<LONG>(h);
    b->header.biSizeImage = static_cast<DWORD>(static_cast<long long>(b->width) * h * 4);
    if (bits != nullptr) {
        *bits = b->pixels.get();
    }
    const std::uintptr_t handle = newHandle(t, Kind::Bitmap);
    t.bitmaps.emplace(handle, std::move(b));
    return toHandle<HBITMAP>(handle);
}

int GetObjectW(HANDLE object, int size, LPVOID out) {
    Table& t = table();
    Lock lock(t.mutex);
    const Bitmap* b = findBitmap(t, object);
    if (b == nullptr) {
        return 0;
    }
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b->width;
    bm.bmHeight = b->height;
    bm.bmWidthBytes = widthBytes(*b);
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(b->bitsPixel);
    bm.bmBits = b->section ? b->pixels.get() : nullptr;
    if (out == nullptr) {
        return b->section ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
    }
    if (b->section && size >= static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b->header;
        std::memcpy(out, &ds, sizeof ds);
        return static_cast<int>(sizeof ds);
    }
    if (size < static_cast<int>(sizeof(BITMAP))) {
        return 0;
    }
    std::memcpy(out, &bm, sizeof bm);
    return static_cast<int>(sizeof bm);
}

DWORD GetObjectType(HGDIOBJ object) {
    Table& t = table();
    Lock lock(t.mutex);
    if (findBitmap(t, object) != nullptr) {
        return OBJ_BITMAP;
    }
    const Dc* dc = findContext(t, object);
    if (dc == nullptr) {
        return 0;
    }
    return dc->display ? OBJ_DC : OBJ_MEMDC;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    Table& t = table();
    Lock lock(t.mutex);
    const Dc* dc = findContext(t, hdc);
    if (dc == nullptr || type != OBJ_BITMAP || dc->display) {
        return nullptr;
    }
    return toHandle<HGDIOBJ>(dc->state.bitmap);
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    Table& t = table();
    Lock lock(t.mutex);
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr || findBitmap(t, object) == nullptr) {
        return nullptr;
    }
    return toHandle<HGDIOBJ>(selectBitmap(t, handleValue(hdc), *dc, handleValue(object)));
}

BOOL DeleteObject(HGDIOBJ object) {
    Table& t = table();
    Lock lock(t.mutex);
    const auto it = t.bitmaps.find(handleValue(object));
    if (it == t.bitmaps.end() || it->second->deletePending) {
        return FALSE;
    }
    Bitmap& b = *it->second;
    if (b.stock) {
        return TRUE;
    }
    if (b.selectedIn != 0) {
        b.deletePending = true;
        return TRUE;
    }
    t.bitmaps.erase(it);
    return TRUE;
}

int GdiStandInLiveObjects(void) {
    Table& t = table();
    Lock lock(t.mutex);
    // The stock bitmap is not counted.
    return static_cast<int>(t.contexts.size() + t.bitmaps.size() - 1);
}

} // extern "C"
