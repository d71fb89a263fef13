// SPDX-License-Identifier: MIT
// The in-memory GDI's coordinate mapping: mapping modes, window and
// viewport origins and extents, the logical-to-device transform, saved
// context states, device capabilities and MulDiv.

#include "gdi_objects.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace gdistandin {

LONG roundToLong(double v) {
    if (!(v == v)) {
        return 0;
    }
    const double r = std::floor(v + 0.5);
    if (r >= 2147483647.0) {
        return INT32_MAX;
    }
    if (r <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<LONG>(r);
}

namespace {

// Device = logical x scale + offset per direction, the way GDI composes
// its transform: scale = viewport extent / window extent, offset =
// viewport origin - window origin x scale.
struct Axis {
    double scale;
    double offset;
};

Axis axisX(const DcState& s) {
    const double scale = static_cast<double>(s.viewportExt.cx) / s.windowExt.cx;
    return {scale, s.viewportOrg.x - s.windowOrg.x * scale};
}

Axis axisY(const DcState& s) {
    const double scale = static_cast<double>(s.viewportExt.cy) / s.windowExt.cy;
    return {scale, s.viewportOrg.y - s.windowOrg.y * scale};
}

// In MM_ISOTROPIC a logical unit must cover the same distance on the
// device both ways (pixels are square here): the direction whose scale is
// larger is shrunk to the other's, keeping its sign and never reaching 0.
void fixIsotropic(DcState& s) {
    const double xdim = std::fabs(static_cast<double>(s.viewportExt.cx) / s.windowExt.cx);
    const double ydim = std::fabs(static_cast<double>(s.viewportExt.cy) / s.windowExt.cy);
    if (xdim > ydim) {
        const LONG least = s.viewportExt.cx >= 0 ? 1 : -1;
        s.viewportExt.cx = roundToLong(s.viewportExt.cx * ydim / xdim);
        if (s.viewportExt.cx == 0) {
            s.viewportExt.cx = least;
        }
    } else if (ydim > xdim) {
        const LONG least = s.viewportExt.cy >= 0 ? 1 : -1;
        s.viewportExt.cy = roundToLong(s.viewportExt.cy * xdim / ydim);
        if (s.viewportExt.cy == 0) {
            s.viewportExt.cy = least;
        }
    }
}

bool scalable(int mode) {
    return mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC;
}

// Runs `f` on the state of a valid context under the lock; false otherwise.
template <typename F>
BOOL withState(HDC hdc, F f) {
    Table& t = table();
    Lock lock(t.mutex);
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    return f(dc->state) ? TRUE : FALSE;
}

BOOL setPoint(HDC hdc, POINT DcState::*field, int x, int y, LPPOINT previous) {
    return withState(hdc, [&](DcState& s) {
        if (previous != nullptr) {
            *previous = s.*field;
        }
        s.*field = POINT{x, y};
        return true;
    });
}

// Reads an origin or an extent of a valid context.
template <typename T>
BOOL getField(HDC hdc, T DcState::*field, T* out) {
    return withState(hdc, [&](DcState& s) {
        if (out == nullptr) {
            return false;
        }
        *out = s.*field;
        return true;
    });
}

BOOL setExtent(HDC hdc, SIZE DcState::*field, int cx, int cy, LPSIZE previous) {
    return withState(hdc, [&](DcState& s) {
        if (previous != nullptr) {
            *previous = s.*field;
        }
        if (!scalable(s.mapMode)) {
            return true;
        }
        if (cx == 0 || cy == 0) {
            return false;
        }
        s.*field = SIZE{cx, cy};
        if (s.mapMode == MM_ISOTROPIC) {
            fixIsotropic(s);
        }
        return true;
    });
}

// Window extent of the fixed modes, from the display's size in millimetres
// and the mode's unit.
SIZE fixedWindowExtent(int mode) {
    switch (mode) {
    case MM_LOMETRIC:
    case MM_ISOTROPIC:
        return {kScreenWidthMm * 10, kScreenHeightMm * 10};
    case MM_HIMETRIC:
        return {kScreenWidthMm * 100, kScreenHeightMm * 100};
    case MM_LOENGLISH:
        return {kScreenWidthMm * 1000 / 254, kScreenHeightMm * 1000 / 254};
    case MM_HIENGLISH:
        return {kScreenWidthMm * 10000 / 254, kScreenHeightMm * 10000 / 254};
    default: // MM_TWIPS
        return {kScreenWidthMm * 14400 / 254, kScreenHeightMm * 14400 / 254};
    }
}

} // namespace

POINT toDevice(const DcState& s, LONG x, LONG y) {
    const Axis ax = axisX(s);
    const Axis ay = axisY(s);
    return POINT{roundToLong(x * ax.scale + ax.offset), roundToLong(y * ay.scale + ay.offset)};
}

} // namespace gdistandin

using namespace gdistandin;

extern "C" {

int SetMapMode(HDC hdc, int mode) {
    int previous = 0;
    withState(hdc, [&](DcState& s) {
        if (mode < MM_TEXT || mode > MM_ANISOTROPIC) {
            return false;
        }
        previous = s.mapMode;
        if (mode == s.mapMode) {
            return true;
        }
        s.mapMode = mode;
        if (mode == MM_TEXT) {
            s.windowExt = SIZE{1, 1};
            s.viewportExt = SIZE{1, 1};
        } else if (mode != MM_ANISOTROPIC) {
            s.windowExt = fixedWindowExtent(mode);
            s.viewportExt = SIZE{kScreenWidth, -kScreenHeight};
        }
        return true;
    });
    return previous;
}

int GetMapMode(HDC hdc) {
    int mode = 0;
    withState(hdc, [&](DcState& s) {
        mode = s.mapMode;
        return true;
    });
    return mode;
}

BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return setPoint(hdc, &DcState::windowOrg, x, y, previous);
}

BOOL GetWindowOrgEx(HDC hdc, LPPOINT out) {
    return getField(hdc, &DcState::windowOrg, out);
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
    return setPoint(hdc, &DcState::viewportOrg, x, y, previous);
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT out) {
    return getField(hdc, &DcState::viewportOrg, out);
}

BOOL SetWindowExtEx(HDC hdc, int cx, int cy, LPSIZE previous) {
    return setExtent(hdc, &DcState::windowExt, cx, cy, previous);
}

BOOL GetWindowExtEx(HDC hdc, LPSIZE out) {
    return getField(hdc, &DcState::windowExt, out);
}

BOOL SetViewportExtEx(HDC hdc, int cx, int cy, LPSIZE previous) {
    return setExtent(hdc, &DcState::viewportExt, cx, cy, previous);
}

BOOL GetViewportExtEx(HDC hdc, LPSIZE out) {
    return getField(hdc, &DcState::viewportExt, out);
}

BOOL LPtoDP(HDC hdc, LPPOINT points, int count) {
    return withState(hdc, [&](DcState& s) {
        if (count < 0 || (count > 0 && points == nullptr)) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            points[i] = toDevice(s, points[i].x, points[i].y);
        }
        return true;
    });
}

BOOL DPtoLP(HDC hdc, LPPOINT points, int count) {
    return withState(hdc, [&](DcState& s) {
        if (count < 0 || (count > 0 && points == nullptr)) {
            return false;
        }
        const double sx = static_cast<double>(s.viewportExt.cx) / s.windowExt.cx;
        const double sy = static_cast<double>(s.viewportExt.cy) / s.windowExt.cy;
        for (int i = 0; i < count; ++i) {
            points[i].x = roundToLong((points[i].x - (s.viewportOrg.x - s.windowOrg.x * sx)) / sx);
            points[i].y = roundToLong((points[i].y - (s.viewportOrg.y - s.windowOrg.y * sy)) / sy);
        }
        return true;
    });
}

int SaveDC(HDC hdc) {
    Table& t = table();
    Lock lock(t.mutex);
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr) {
        return 0;
    }
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int level) {
    Table& t = table();
    Lock lock(t.mutex);
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    const long long depth = static_cast<long long>(dc->saved.size());
    const long long target = level < 0 ? depth + level + 1 : level;
    if (level == 0 || target < 1 || target > depth) {
        return FALSE;
    }
    const DcState restored = dc->saved[static_cast<std::size_t>(target - 1)];
    dc->saved.resize(static_cast<std::size_t>(target - 1));
    const std::uintptr_t selected = dc->state.bitmap;
    dc->state = restored;
    dc->state.bitmap = selected;
    if (!dc->display && restored.bitmap != selected) {
        // The saved bitmap comes back only if it still exists and is free.
        selectBitmap(t, handleValue(hdc), *dc, restored.bitmap);
    }
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    Table& t = table();
    Lock lock(t.mutex);
    if (findContext(t, hdc) == nullptr) {
        return 0;
    }
    switch (index) {
    case HORZRES:
        return kScreenWidth;
    case VERTRES:
        return kScreenHeight;
    case HORZSIZE:
        return kScreenWidthMm;
    case VERTSIZE:
        return kScreenHeightMm;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return kScreenDpi;
    default:
        return 0;
    }
}

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    // Magnitudes as unsigned: |INT_MIN x INT_MIN| is 2^62 and fits.
    const unsigned long long p = product < 0 ? 0ULL - static_cast<unsigned long long>(product)
                                             : static_cast<unsigned long long>(product);
    const unsigned long long d =
        c < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(c))
              : static_cast<unsigned long long>(c);
    const unsigned long long q = (p + d / 2) / d; // halves away from zero
    if (negative) {
        // INT_MIN counts as an overflow too, as with GDI's own.
        return q > 2147483647ULL ? -1 : static_cast<int>(-static_cast<long long>(q));
    }
    return q > 2147483647ULL ? -1 : static_cast<int>(q);
}

} // extern "C"
