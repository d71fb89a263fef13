// SPDX-License-Identifier: MIT
// Stand-ins for the Windows C runtime's wide-path functions on systems
// whose runtime has only narrow paths. Wide paths become UTF-8, the file
// names' encoding on such systems.

#include "runtime/wide_runtime.h"

#include "text/text_string.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string narrowPath(const wchar_t* path) {
    return textlib::wideToUtf8(path);
}

bool isSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

// Sets the first element of every part that was asked for to 0.
void clearParts(wchar_t* drive, std::size_t driveSize, wchar_t* dir, std::size_t dirSize,
                wchar_t* fname, std::size_t fnameSize, wchar_t* ext, std::size_t extSize) {
    if (drive && driveSize > 0) {
        drive[0] = 0;
    }
    if (dir && dirSize > 0) {
        dir[0] = 0;
    }
    if (fname && fnameSize > 0) {
        fname[0] = 0;
    }
    if (ext && extSize > 0) {
        ext[0] = 0;
    }
}

// A part is consistent when it is skipped (null, size 0) or asked for
// (not null, size above 0).
bool consistent(const wchar_t* part, std::size_t size) {
    return (part == nullptr) == (size == 0);
}

// Copies path[begin, end) into part when it is asked for; false when it
// does not fit with its terminating 0.
bool copyPart(const wchar_t* path, std::size_t begin, std::size_t end, wchar_t* part,
              std::size_t size) {
    if (!part) {
        return true;
    }
    const std::size_t n = end - begin;
    if (n + 1 > size) {
        return false;
    }
    std::wmemcpy(part, path + begin, n);
    part[n] = 0;
    return true;
}

} // namespace

errno_t _wfopen_s(std::FILE** file, const wchar_t* path, const wchar_t* mode) {
    if (!file) {
        return EINVAL;
    }
    *file = nullptr;
    if (!path || !mode) {
        return EINVAL;
    }
    const std::string narrow = narrowPath(path);
    const std::string narrowMode = narrowPath(mode);
    errno = 0;
    *file = std::fopen(narrow.c_str(), narrowMode.c_str());
    if (!*file) {
        return errno != 0 ? errno : EINVAL;
    }
    return 0;
}

errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, std::size_t driveSize, wchar_t* dir,
                      std::size_t dirSize, wchar_t* fname, std::size_t fnameSize, wchar_t* ext,
                      std::size_t extSize) {
    if (!path || !consistent(drive, driveSize) || !consistent(dir, dirSize) ||
        !consistent(fname, fnameSize) || !consistent(ext, extSize)) {
        clearParts(drive, driveSize, dir, dirSize, fname, fnameSize, ext, extSize);
        return EINVAL;
    }
    const std::size_t length = std::wcslen(path);

    // A drive is a letter-like first character followed by a colon.
    std::size_t driveEnd = 0;
    if (length >= 2 && path[1] == L':') {
        driveEnd = 2;
    }
    // The folder runs to the last separator, included.
    std::size_t dirEnd = driveEnd;
    for (std::size_t i = driveEnd; i < length; ++i) {
        if (isSeparator(path[i])) {
            dirEnd = i + 1;
        }
    }
    // The extension starts at the last dot of the file name.
    std::size_t extBegin = length;
    for (std::size_t i = length; i > dirEnd; --i) {
        if (path[i - 1] == L'.') {
            extBegin = i - 1;
            break;
        }
    }

    if (!copyPart(path, 0, driveEnd, drive, driveSize) ||
        !copyPart(path, driveEnd, dirEnd, dir, dirSize) ||
        !copyPart(path, dirEnd, extBegin, fname, fnameSize) ||
        !copyPart(path, extBegin, length, ext, extSize)) {
        clearParts(drive, driveSize, dir, dirSize, fname, fnameSize, ext, extSize);
        return ERANGE;
    }
    return 0;
}

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    auto fold = [](wchar_t c) -> long {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        return static_cast<long>(c);
    };
    for (;; ++a, ++b) {
        const long ca = fold(*a);
        const long cb = fold(*b);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        if (ca == 0) {
            return 0;
        }
    }
}

int _wrename(const wchar_t* oldPath, const wchar_t* newPath) {
    if (!oldPath || !newPath) {
        errno = EINVAL;
        return -1;
    }
    return std::rename(narrowPath(oldPath).c_str(), narrowPath(newPath).c_str()) == 0 ? 0 : -1;
}

int _wremove(const wchar_t* path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return std::remove(narrowPath(path).c_str()) == 0 ? 0 : -1;
}

int _wstat(const wchar_t* path, struct _stat* info) {
    if (!path || !info) {
        errno = EINVAL;
        return -1;
    }
    struct stat st;
    if (::lstat(narrowPath(path).c_str(), &st) != 0) {
        return -1;
    }
    unsigned short type = 0;
    if (S_ISREG(st.st_mode)) {
        type = _S_IFREG;
    } else if (S_ISDIR(st.st_mode)) {
        type = _S_IFDIR;
    } else if (S_ISCHR(st.st_mode)) {
        type = _S_IFCHR;
    }
    // Links, pipes, sockets and block devices get no type bits: they are
    // none of the kinds the Windows runtime knows.
    info->st_mode = static_cast<unsigned short>(type | (st.st_mode & 07777));
    info->st_size = static_cast<long long>(st.st_size);
    return 0;
}

int _wchmod(const wchar_t* path, int mode) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return ::chmod(narrowPath(path).c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : -1;
}
