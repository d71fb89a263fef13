// SPDX-License-Identifier: MIT
// Internal to the library: what the sources of the C++ interface share.
#ifndef VORN_SRC_API_API_H
#define VORN_SRC_API_API_H

#include <vorn/buffer.h>
#include <vorn/vorn.hpp>

#include <string>

namespace vorn::detail {

/// Throws Error(status, message).
[[noreturn]] void throwError(Status status, const std::string& message);

/// Throws InvalidArgument "<what>: empty image" when `image` is empty.
void requireImage(const Image& image, const char* what);

/// A new buffer of width x height transparent black pixels; throws Error
/// (InvalidArgument for a side below 1, TooLarge beyond Build's limit),
/// its message starting with `what`.
VornBuffer* buildOrThrow(int width, int height, const char* what);

/// Copies density, background and transparency from one buffer to another.
void copyMetadata(const VornBuffer& from, VornBuffer& to);

/// The density of a buffer: its unit and two values.
struct Density {
    int unit;
    int x;
    int y;
};
Density densityOf(const VornBuffer& buffer);

} // namespace vorn::detail

#endif
