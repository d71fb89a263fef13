// SPDX-License-Identifier: MIT
/// \file
/// Vorn raster drawing library: image files in memory, and why a file
/// operation failed.
///
/// Format codes are those of VornBuffer::GetFormat: 1 JPEG, 2 PNG, 3 BMP,
/// 4 GIF, -1 none; 0 asks for detection (reading only).
///
/// Files written by VornBuffer::write are replaced safely: a plain file is
/// written under a short temporary name in its own folder and renamed over
/// the target only once every byte is stored. So a failed write, for any
/// reason, leaves an existing file exactly as it was, and a write that cannot
/// make its temporary file (a folder the caller may not write, a name at the
/// system's length limit) fails without touching the target. An existing
/// file that the caller may not write is never replaced (-1, AccessDenied).
/// The replacement keeps the old file's permission bits, and its owner and
/// group where the caller may set them (as root). A file with several hard
/// links is replaced under the written name only: its other names keep the
/// old content. Devices, pipes (FIFOs) and symbolic links are written where
/// they are, through the link, as before.
#ifndef VORN_IO_H
#define VORN_IO_H

#include <vorn/buffer.h>
#include <vorn/export.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vorn {

/// Why an image-file operation failed.
enum class Status : int {
    Ok = 0,         ///< no failure recorded on this thread yet
    NotFound,       ///< the file or a folder of its path does not exist
    AccessDenied,   ///< the file or folder may not be read or written (a folder given as a file)
    UnknownFormat,  ///< content that no reader knows
    Corrupt,        ///< a damaged or truncated file
    Unsupported,    ///< a valid file of a kind the readers do not handle
    TooLarge,       ///< sizes beyond the library's limits (those of Build, JPEG's 65,500 side)
    OutOfMemory,    ///< memory for the pixels or the file could not be had
    WriteFailed,    ///< bytes could not be stored (a full disk, an I/O error)
    InvalidArgument ///< a refused format code, a null path or an extension naming no writer
};

/// One failure: its status and a one-line message saying what went wrong
/// and where, such as "PNG: IHDR width 0" or "permission denied: photo.png".
/// The file is named where there is one.
struct Failure {
    Status status;       ///< what kind of failure
    std::string message; ///< one line: what went wrong and where
};

/// The last failure of this thread's calls to VornBuffer::Read, write and
/// GetFormat and of the functions below. A call that succeeds leaves it as it
/// was; so do GetFormat and formatOfMemory when they answer -1 for content
/// they do not know (that is an answer). Status::Ok with an empty message
/// before the first failure. The reference stays valid for the thread's
/// lifetime; its content changes with the next failure.
VORN_API const Failure& lastFailure() noexcept;

/// The name of a status ("ok", "not found", "access denied", ...); never
/// null, "unknown status" for a value outside the enumeration.
VORN_API const char* statusText(Status status) noexcept;

/// Reads an image held in memory into a new buffer, owned by the caller
/// (release it with VornBuffer::Destroy); null on failure (see
/// lastFailure()). `format` as for VornBuffer::Read: 0 detects. The result
/// equals what VornBuffer::Read gives for the same bytes in a file whose
/// extension names no format. The bytes are only read during the call.
VORN_API VornBuffer* readMemory(const void* data, std::size_t size, int format = 0);

/// Encodes the buffer as format 1 (JPEG), 2 (PNG) or 3 (BMP) into `out`,
/// replacing its content; the bytes are exactly those VornBuffer::write puts
/// in a file. Returns 0, or -1 with `out` unchanged: 0, 4 and other codes are
/// refused with InvalidArgument (there is no extension to decide from).
VORN_API int writeMemory(const VornBuffer& buffer, int format, std::vector<unsigned char>& out);

/// The format of an image held in memory by its first bytes, as
/// VornBuffer::GetFormat gives it for a file whose extension names no format:
/// 1 to 4, or -1 when no signature matches. Null data with a size above 0
/// gives -1 with InvalidArgument.
VORN_API int formatOfMemory(const void* data, std::size_t size);

} // namespace vorn

#endif
