// SPDX-License-Identifier: MIT
// The midpoint trace of an ellipse in exact integer arithmetic: one region
// at a time, with exact jumps over steps that nothing needs, and the plain
// walk of both regions that writes every pixel one by one.

#include "shapes/shapes.h"

#include <cmath>

namespace vorn::detail {

namespace {

// Targets this close are walked to: a jump costs a square root and a few
// wide products, a step a handful of additions.
constexpr long long kWalkRather = 16;

} // namespace

// ---------------------------------------------------------------------------
// RegionTrace
// ---------------------------------------------------------------------------

RegionTrace::RegionTrace(std::uint64_t p, std::uint64_t q)
    : p_(p), q_(q), p2_(p * p), q2_(q * q), twoP2_(2 * p * p), twoQ2_(2 * q * q), u_(0),
      v_(static_cast<long long>(p)), error_{0, 0}, uChange_(wideFromUnsigned(p2_)),
      vChange_(-mulWide(q2_, 2 * p - 1)), stopU_{0, 0}, stopV_(mulWide(twoQ2_, p)), running_(true),
      walked_(0), leftU_(0), leftV_(static_cast<long long>(p)) {}

void RegionTrace::step() {
    ++walked_;
    leftU_ = u_;
    leftV_ = v_;
    ++u_;
    const Wide twoP2 = wideFromUnsigned(twoP2_);
    error_ = error_ + uChange_;
    stopU_ = stopU_ + twoP2;
    uChange_ = uChange_ + twoP2;
    if (isPositive(shiftLeft(error_, 1) + vChange_)) {
        const Wide twoQ2 = wideFromUnsigned(twoQ2_);
        --v_;
        error_ = error_ + vChange_;
        vChange_ = vChange_ + twoQ2;
        stopV_ = stopV_ - twoQ2;
    }
    running_ = !(stopV_ < stopU_);
}

long long RegionTrace::settled(long long u) const {
    const std::uint64_t uu = static_cast<std::uint64_t>(u);
    if (u < 0 || uu >= q_) {
        return 0;
    }
    // q^2 - u^2 <= 2^62; times 4 p^2 it stays below 2^127.
    const std::uint64_t room = (q_ - uu) * (q_ + uu);
    const Wide limit = shiftLeft(mulWide(p2_, room), 2);
    // G(v, u) <= 0, i.e. q^2 ((2v - 1)^2 + 1) <= 4 p^2 (q^2 - u^2); for
    // v <= 2^31, (2v - 1)^2 + 1 still fits 64 bits.
    auto fits = [&](std::uint64_t v) {
        const std::uint64_t t = 2 * v - 1;
        return !(limit < mulWide(q2_, t * t + 1));
    };
    // A double estimate of the ideal curve, off by far less than 1, then
    // settled exactly (G is increasing in v for v >= 1).
    const double square =
        4.0 * static_cast<double>(p2_) * static_cast<double>(room) / static_cast<double>(q2_) - 1.0;
    const double estimate = square > 0.0 ? 0.5 + 0.5 * std::sqrt(square) : 0.0;
    std::uint64_t v =
        estimate >= static_cast<double>(p_) ? p_ : static_cast<std::uint64_t>(estimate);
    while (v > 0 && !fits(v)) {
        --v;
    }
    while (v < p_ && fits(v + 1)) {
        ++v;
    }
    return static_cast<long long>(v);
}

bool RegionTrace::safe(long long u) const {
    const long long v = settled(u);
    if (v < 1) {
        return false;
    }
    // 2 p^2 u <= q^2 (2v - 1); u < q <= 2^31 here, so 2 p^2 u < 2^95.
    return !(mulWide(q2_, 2 * static_cast<std::uint64_t>(v) - 1) <
             mulWide(twoP2_, static_cast<std::uint64_t>(u)));
}

void RegionTrace::jumpTo(long long u) {
    const long long v = settled(u);
    const std::uint64_t uu = static_cast<std::uint64_t>(u);
    const std::uint64_t vv = static_cast<std::uint64_t>(v);
    u_ = u;
    v_ = v;
    error_ = mulWide(q2_, vv * vv) + mulWide(p2_, uu * uu) - mulWide(p2_, q2_);
    uChange_ = mulWide(p2_, 2 * uu + 1);
    vChange_ = -mulWide(q2_, 2 * vv - 1);
    stopU_ = mulWide(twoP2_, uu);
    stopV_ = mulWide(twoQ2_, vv);
    // A safe step is followed by another: 2 p^2 u <= q^2 (2v - 1) < 2 q^2 v.
    running_ = true;
}

long long RegionTrace::lastSafe(long long from, long long to) const {
    // Beyond q no step is safe; this also keeps u below 2^31 in the tests.
    if (to > static_cast<long long>(q_)) {
        to = static_cast<long long>(q_);
    }
    if (from > to || !safe(from)) {
        return from - 1;
    }
    if (safe(to)) {
        return to;
    }
    long long good = from; // safe
    long long bad = to;    // not safe
    while (bad - good > 1) {
        const long long mid = good + (bad - good) / 2;
        if (safe(mid)) {
            good = mid;
        } else {
            bad = mid;
        }
    }
    return good;
}

void RegionTrace::seek(long long target) {
    if (!running_ || target <= u_) {
        return;
    }
    if (target - u_ > kWalkRather) {
        const long long landing = lastSafe(u_ + 1, target);
        if (landing > u_) {
            jumpTo(landing);
        }
    }
    while (running_ && u_ < target) {
        step();
    }
}

bool RegionTrace::seekLast(long long& lastU, long long& lastV) {
    if (!running_) {
        return false;
    }
    const long long landing = lastSafe(u_ + 1, static_cast<long long>(q_));
    if (landing > u_) {
        jumpTo(landing);
    }
    for (;;) {
        lastU = u_;
        lastV = v_;
        step();
        if (!running_) {
            return true;
        }
    }
}

void RegionTrace::finish(long long& lastU, long long& lastV) {
    if (seekLast(lastU, lastV)) {
        return;
    }
    // The region ends only through a literal step, which noted where it
    // left from.
    lastU = leftU_;
    lastV = leftV_;
}

// ---------------------------------------------------------------------------
// The plain twin
// ---------------------------------------------------------------------------

namespace {

class ReferencePlot {
public:
    ReferencePlot(const Canvas& canvas, long long cx, long long cy, EllipseMode mode,
                  _VORNRGBAQUAD colour)
        : canvas_(canvas), cx_(cx), cy_(cy), mode_(mode), colour_(colour) {}

    // Plot(X, Y) of the midpoint method for the chosen shape.
    void operator()(long long x, long long y) const {
        switch (mode_) {
        case EllipseMode::Outline:
            set(cx_ + x, cy_ + y);
            set(cx_ - x, cy_ + y);
            set(cx_ + x, cy_ - y);
            set(cx_ - x, cy_ - y);
            break;
        case EllipseMode::Fill: {
            // Columns outside the canvas would be dropped by the write.
            const long long from = cx_ - x < 0 ? 0 : cx_ - x;
            const long long to = cx_ + x >= canvas_.width ? canvas_.width - 1 : cx_ + x;
            for (long long c = from; c <= to; ++c) {
                set(c, cy_ - y);
                set(c, cy_ + y);
            }
            break;
        }
        case EllipseMode::UpperHalf:
            set(cx_ + x, cy_ - y);
            set(cx_ - x, cy_ - y);
            break;
        case EllipseMode::LowerHalf:
            set(cx_ + x, cy_ + y);
            set(cx_ - x, cy_ + y);
            break;
        }
    }

private:
    void set(long long x, long long y) const { writePixel(canvas_, x, y, colour_); }

    Canvas canvas_;
    long long cx_;
    long long cy_;
    EllipseMode mode_;
    _VORNRGBAQUAD colour_;
};

} // namespace

void rasteriseEllipseReference(const Canvas& canvas, const _VORNPOINT& p1, const _VORNPOINT& p2,
                               EllipseMode mode, _VORNRGBAQUAD colour) {
    if (!canvas.pixels || canvas.width < 1 || canvas.height < 1) {
        return;
    }
    if (p1.x == p2.x || p1.y == p2.y) {
        return;
    }
    // Sums of two int corners are formed in 64 bits, where they cannot
    // overflow; the semi-axes then reach at most 2^31.
    const long long cx = (static_cast<long long>(p1.x) + p2.x) / 2;
    const long long cy = (static_cast<long long>(p1.y) + p2.y) / 2;
    const long long a = cx - p1.x;
    const long long b = cy - p1.y;
    if (a <= 0 || b <= 0) {
        return;
    }
    const std::uint64_t ua = static_cast<std::uint64_t>(a);
    const std::uint64_t ub = static_cast<std::uint64_t>(b);
    const std::uint64_t aSquare = ua * ua;
    const std::uint64_t bSquare = ub * ub;
    const Wide twoASquare = wideFromUnsigned(2 * aSquare);
    const Wide twoBSquare = wideFromUnsigned(2 * bSquare);
    const ReferencePlot plot(canvas, cx, cy, mode, colour);

    // Region 1: from (a, 0), Y increasing.
    long long x = a;
    long long y = 0;
    Wide xChange = -mulWide(bSquare, 2 * ua - 1); // b^2 (1 - 2a)
    Wide yChange = wideFromUnsigned(aSquare);
    Wide error{0, 0};
    Wide stoppingX = mulWide(2 * bSquare, ua);
    Wide stoppingY{0, 0};
    long long x1 = x; // the last step of region 1
    long long y1 = y;
    do {
        plot(x, y);
        x1 = x;
        y1 = y;
        ++y;
        error = error + yChange;
        stoppingY = stoppingY + twoASquare;
        yChange = yChange + twoASquare;
        if (isPositive(shiftLeft(error, 1) + xChange)) {
            --x;
            error = error + xChange;
            xChange = xChange + twoBSquare;
            stoppingX = stoppingX - twoBSquare;
        }
    } while (!(stoppingX < stoppingY));

    // Region 2: from (0, b), X increasing.
    x = 0;
    y = b;
    xChange = wideFromUnsigned(bSquare);
    yChange = -mulWide(aSquare, 2 * ub - 1); // a^2 (1 - 2b)
    error = Wide{0, 0};
    stoppingX = Wide{0, 0};
    stoppingY = mulWide(2 * aSquare, ub);
    long long x2 = x; // the last step of region 2
    long long y2 = y;
    do {
        plot(x, y);
        x2 = x;
        y2 = y;
        ++x;
        error = error + xChange;
        xChange = xChange + twoBSquare;
        stoppingX = stoppingX + twoBSquare;
        if (isPositive(shiftLeft(error, 1) + yChange)) {
            --y;
            error = error + yChange;
            yChange = yChange + twoASquare;
            stoppingY = stoppingY - twoASquare;
        }
    } while (!(stoppingY < stoppingX));

    // The rows, then the columns, that neither region reached.
    for (long long row = y1 + 1; row < y2; ++row) {
        plot(x1, row);
    }
    for (long long column = x2 + 1; column < x1; ++column) {
        plot(column, y2);
    }
}

} // namespace vorn::detail
