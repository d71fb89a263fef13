// SPDX-License-Identifier: MIT
// The C runtime's wide-path file and string functions, under their Windows
// names. On Windows this header only includes the runtime's own headers;
// elsewhere it declares stand-ins (wide_runtime.cpp) that behave the same
// way, with wide paths converted to UTF-8 for the system's calls.
#ifndef VORN_PLATFORM_RUNTIME_WIDE_RUNTIME_H
#define VORN_PLATFORM_RUNTIME_WIDE_RUNTIME_H

#include <cstddef>
#include <cstdio>

#if defined(_WIN32)

#include <errno.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <wchar.h>

#else

#include <cerrno>

/// Error code type of the runtime's checked functions: 0 on success.
typedef int errno_t;

/// Longest path the runtime's path functions handle, in characters.
#ifndef _MAX_PATH
#define _MAX_PATH 260
#endif

/// File-type bits of _stat::st_mode.
#define _S_IFMT 0xF000
#define _S_IFDIR 0x4000
#define _S_IFCHR 0x2000
#define _S_IFREG 0x8000

/// What _wstat reports about a file.
struct _stat {
    unsigned short st_mode; ///< file type (_S_IF*) and permission bits
    long long st_size;      ///< length in bytes
};

/// Opens the file at the wide path with the fopen mode (also wide). On
/// success *file is the open stream and the result 0; on failure *file is
/// null and the result the error number (EINVAL for a null argument).
errno_t _wfopen_s(std::FILE** file, const wchar_t* path, const wchar_t* mode);

/// Splits a path into drive ("C:", Windows paths only), folder (up to and
/// including the last '/' or '\\'), file name (without the extension) and
/// extension (from the last dot of the file name on, dot included). Any
/// part may be skipped with a null pointer and size 0. Every part that is
/// asked for is null-terminated. Returns 0; EINVAL for a null path or a
/// part whose pointer and size disagree; ERANGE when a part does not fit
/// its buffer. On an error every part asked for is left empty.
errno_t _wsplitpath_s(const wchar_t* path, wchar_t* drive, std::size_t driveSize, wchar_t* dir,
                      std::size_t dirSize, wchar_t* fname, std::size_t fnameSize, wchar_t* ext,
                      std::size_t extSize);

/// Compares two wide strings ignoring the case of the letters A to Z (as
/// the runtime does in the "C" locale): below 0, 0 or above 0.
int _wcsicmp(const wchar_t* a, const wchar_t* b);

/// Renames a file. Unlike the Windows runtime, an existing file under the
/// new name is replaced (atomically). Returns 0, or -1 with errno set.
int _wrename(const wchar_t* oldPath, const wchar_t* newPath);

/// Deletes a file. Returns 0, or -1 with errno set.
int _wremove(const wchar_t* path);

/// Describes the file at the path. A symbolic link is described itself,
/// not its target, so that it never passes for a regular file. Returns 0,
/// or -1 with errno set.
int _wstat(const wchar_t* path, struct _stat* info);

/// Sets the permission bits of a file (the low 12 bits of `mode`).
/// Returns 0, or -1 with errno set.
int _wchmod(const wchar_t* path, int mode);

#endif

#endif
