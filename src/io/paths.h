// SPDX-License-Identifier: MIT
// Internal to the library: the path that a narrow or wide file name of the
// public entry points stands for.
#ifndef VORN_SRC_IO_PATHS_H
#define VORN_SRC_IO_PATHS_H

#include <filesystem>

namespace vorn::detail {

/// A narrow name: its bytes unchanged on POSIX systems (no encoding is
/// assumed); text in the active code page on Windows. Not null.
std::filesystem::path pathFromNarrow(const char* name);

/// A wide name: converted to UTF-8 once on POSIX systems; UTF-16 as it is
/// on Windows. Not null.
std::filesystem::path pathFromWide(const wchar_t* name);

} // namespace vorn::detail

#endif
