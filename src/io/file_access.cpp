// SPDX-License-Identifier: MIT
// Files at wide paths: opening, length, checked writes and closes, and the
// write-then-rename that keeps a failed write from destroying a file.

#include "io/io.h"
#include "runtime/wide_runtime.h"

#include <atomic>
#include <cstdint>
#include <random>
#include <string>

namespace vorn::detail {

std::FILE* openFile(const wchar_t* path, const wchar_t* mode) {
    std::FILE* file = nullptr;
    if (!path || _wfopen_s(&file, path, mode) != 0) {
        return nullptr;
    }
    return file;
}

long long fileLength(std::FILE* file) {
#if defined(_WIN32)
    const long long here = _ftelli64(file);
    if (here < 0 || _fseeki64(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const long long end = _ftelli64(file);
    _fseeki64(file, here, SEEK_SET);
#else
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
#endif
    return end;
}

bool writeBytes(std::FILE* file, const void* data, std::size_t n) {
    return n == 0 || std::fwrite(data, 1, n, file) == n;
}

bool closeFile(std::FILE* file) {
    // fclose flushes what stdio still holds; a full disk often shows only
    // here.
    return std::fclose(file) == 0;
}

namespace {

// A name beside `path` that no other writer uses: the path, a random tag
// and the path's own extension (so that a writer that looks at the
// extension sees the same one).
std::wstring temporaryName(const wchar_t* path) {
    static std::atomic<std::uint32_t> counter{0};
    std::random_device device;
    std::uint64_t tag = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    tag ^= counter.fetch_add(1, std::memory_order_relaxed);

    wchar_t ext[_MAX_PATH] = {};
    if (_wsplitpath_s(path, nullptr, 0, nullptr, 0, nullptr, 0, ext, _MAX_PATH) != 0) {
        ext[0] = 0;
    }
    std::wstring name(path);
    name += L'.';
    static const wchar_t digits[] = L"0123456789abcdef";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += digits[(tag >> shift) & 15];
    }
    name += L".tmp";
    name += ext;
    return name;
}

} // namespace

int writeReplacing(const VornBuffer& buffer, const wchar_t* path, FileWriter writer) {
    struct _stat info = {};
    const bool exists = _wstat(path, &info) == 0;
    if (exists && (info.st_mode & _S_IFMT) != _S_IFREG) {
        // A device, a pipe or a link: renaming would replace it by a plain
        // file, so it is written where it is.
        return writer(buffer, path);
    }
    const std::wstring temp = temporaryName(path);
    std::FILE* probe = openFile(temp.c_str(), L"wb");
    if (!probe) {
        // No new file can be made in that folder (it is missing or read
        // only); the writer then fails or writes an existing file in place.
        return writer(buffer, path);
    }
    std::fclose(probe);

    int result;
    try {
        result = writer(buffer, temp.c_str());
    } catch (...) {
        _wremove(temp.c_str());
        throw;
    }
    if (result != 0) {
        _wremove(temp.c_str());
        return -1;
    }
    if (exists) {
        _wchmod(temp.c_str(), info.st_mode & 07777);
    }
    if (_wrename(temp.c_str(), path) == 0) {
        return 0;
    }
    // The Windows runtime does not rename onto an existing file.
    if (exists && _wremove(path) == 0 && _wrename(temp.c_str(), path) == 0) {
        return 0;
    }
    _wremove(temp.c_str());
    return -1;
}

} // namespace vorn::detail
