// SPDX-License-Identifier: MIT
// The byte seam over files: a buffered source that also reads pipes, and a
// sink that replaces a plain file through a temporary file in the same
// folder, so that no failure destroys what was there. On Windows the wide
// runtime opens files; elsewhere the path's bytes go to the system as they
// are.

#include "io/failure.h"
#include "io/stream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vorn::detail {

namespace {

/// Bytes gathered before each system call.
constexpr std::size_t kBufferBytes = 64 * 1024;

void noteErrno(int error, Status otherwise, const char* doing) {
    const char* phrase = "";
    const Status status = statusOfErrno(error, otherwise, phrase);
    noteFailure(status, doing && *doing ? std::string(doing) + " (" + phrase + ")" : phrase);
}

// ---------------------------------------------------------------------------
// The system's files, by descriptor
// ---------------------------------------------------------------------------

#if defined(_WIN32)

using NativePath = std::wstring;

int openForReading(const std::filesystem::path& path, long long& size, bool& isFolder) {
    isFolder = false;
    struct _stat64 info;
    if (_wstat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) {
        isFolder = true;
        errno = EISDIR;
        return -1;
    }
    // The wide runtime opens the file; reading goes through its descriptor.
    std::FILE* file = nullptr;
    const errno_t error = _wfopen_s(&file, path.c_str(), L"rb");
    if (error != 0 || !file) {
        errno = error != 0 ? error : ENOENT;
        return -1;
    }
    const int fd = _dup(_fileno(file));
    std::fclose(file);
    if (fd < 0) {
        return -1;
    }
    size = -1;
    if (_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG) {
        size = info.st_size;
    }
    return fd;
}

long long systemRead(int fd, void* out, std::size_t n) {
    const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
    return _read(fd, out, chunk);
}

long long systemWrite(int fd, const void* data, std::size_t n) {
    const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
    return _write(fd, data, chunk);
}

bool systemSeekAhead(int fd, long long n) {
    return _lseeki64(fd, n, SEEK_CUR) >= 0;
}

void systemClose(int fd) {
    _close(fd);
}

#else

int openForReading(const std::filesystem::path& path, long long& size, bool& isFolder) {
    isFolder = false;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        isFolder = true;
        errno = EISDIR;
        return -1;
    }
    size = S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : -1;
    return fd;
}

long long systemRead(int fd, void* out, std::size_t n) {
    long long got;
    do {
        got = ::read(fd, out, n);
    } while (got < 0 && errno == EINTR);
    return got;
}

long long systemWrite(int fd, const void* data, std::size_t n) {
    long long put;
    do {
        put = ::write(fd, data, n);
    } while (put < 0 && errno == EINTR);
    return put;
}

bool systemSeekAhead(int fd, long long n) {
    return ::lseek(fd, static_cast<off_t>(n), SEEK_CUR) >= 0;
}

void systemClose(int fd) {
    ::close(fd);
}

#endif

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

class FileSource final : public ByteSource {
public:
    FileSource(int fd, long long size) : fd_(fd), size_(size), buffer_(kBufferBytes) {}
    ~FileSource() override { systemClose(fd_); }

    std::size_t read(void* out, std::size_t n) override {
        auto* o = static_cast<unsigned char*>(out);
        std::size_t done = 0;
        while (done < n) {
            if (begin_ == end_) {
                if (n - done >= buffer_.size()) {
                    // Large reads go straight to the caller's memory.
                    const long long got = readSystem(o + done, n - done);
                    if (got <= 0) {
                        break;
                    }
                    done += static_cast<std::size_t>(got);
                    position_ += static_cast<unsigned long long>(got);
                    continue;
                }
                if (!refill(1)) {
                    break;
                }
            }
            const std::size_t take = std::min(n - done, end_ - begin_);
            std::memcpy(o + done, buffer_.data() + begin_, take);
            begin_ += take;
            done += take;
            position_ += take;
        }
        return done;
    }

    std::size_t peek(void* out, std::size_t n) override {
        n = std::min(n, kPeekLimit);
        refill(n);
        const std::size_t got = std::min(n, end_ - begin_);
        std::memcpy(out, buffer_.data() + begin_, got);
        return got;
    }

    bool skip(unsigned long long n) override {
        const std::size_t buffered = end_ - begin_;
        if (n <= buffered) {
            begin_ += static_cast<std::size_t>(n);
            position_ += n;
            return true;
        }
        n -= buffered;
        position_ += buffered;
        begin_ = end_ = 0;
        if (size_ >= 0) {
            // A plain file of known length: seek, but never past the end.
            const unsigned long long left =
                position_ < static_cast<unsigned long long>(size_) ? size_ - position_ : 0;
            const unsigned long long step = std::min(n, left);
            if (step > 0 && systemSeekAhead(fd_, static_cast<long long>(step))) {
                position_ += step;
                return step == n;
            }
        }
        while (n > 0) {
            if (!refill(1)) {
                return false;
            }
            const std::size_t take =
                static_cast<std::size_t>(std::min<unsigned long long>(n, end_ - begin_));
            begin_ += take;
            position_ += take;
            n -= take;
        }
        return true;
    }

    long long size() const override { return size_; }
    unsigned long long position() const override { return position_; }

private:
    long long readSystem(void* out, std::size_t n) {
        if (failed_ || ended_) {
            return 0;
        }
        const long long got = systemRead(fd_, out, n);
        if (got < 0) {
            failed_ = true;
            noteErrno(errno, Status::Corrupt, "read error");
            return 0;
        }
        ended_ = got == 0;
        return got;
    }

    // Makes at least `want` bytes available when the file has them; false
    // when none is.
    bool refill(std::size_t want) {
        if (end_ - begin_ >= want) {
            return true;
        }
        if (begin_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        while (end_ < want) {
            const long long got = readSystem(buffer_.data() + end_, buffer_.size() - end_);
            if (got <= 0) {
                break;
            }
            end_ += static_cast<std::size_t>(got);
        }
        return end_ > begin_;
    }

    int fd_;
    long long size_;
    std::vector<unsigned char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    unsigned long long position_ = 0;
    bool ended_ = false;
};

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

/// A short name that no other writer uses, for a file in the same folder.
std::string temporaryLeaf() {
    static std::atomic<std::uint32_t> counter{0};
    std::random_device device;
    const std::uint32_t tag =
        device() ^ (counter.fetch_add(1, std::memory_order_relaxed) * 2654435761u);
    static const char digits[] = "0123456789abcdef";
    std::string leaf = ".vorn-";
    for (int shift = 28; shift >= 0; shift -= 4) {
        leaf += digits[(tag >> shift) & 15];
    }
    return leaf + ".tmp";
}

/// Writes to a descriptor a block at a time. With a temporary path, commit
/// renames the file over the target; without one, the target itself was
/// opened.
class FileSink final : public ByteSink {
public:
    FileSink(int fd, std::filesystem::path temp, std::filesystem::path target)
        : fd_(fd), temp_(std::move(temp)), target_(std::move(target)) {
        buffer_.reserve(kBufferBytes);
    }
    ~FileSink() override {
        if (fd_ >= 0) {
            systemClose(fd_);
        }
        if (!committed_ && !temp_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(temp_, ignored);
        }
    }

    bool write(const void* data, std::size_t n) override {
        if (failed_) {
            return false;
        }
        const auto* p = static_cast<const unsigned char*>(data);
        if (buffer_.size() + n > kBufferBytes) {
            if (!flush()) {
                return false;
            }
            if (n >= kBufferBytes) {
                return put(p, n);
            }
        }
        buffer_.insert(buffer_.end(), p, p + n);
        return true;
    }

    bool commit() override {
        if (failed_ || !flush()) {
            return false;
        }
        if (!temp_.empty() && !syncToDisk()) {
            return fail(errno, "cannot store the file");
        }
        const int fd = fd_;
        fd_ = -1;
#if defined(_WIN32)
        const bool closed = _close(fd) == 0;
#else
        const bool closed = ::close(fd) == 0;
#endif
        if (!closed) {
            return fail(errno, "cannot store the file");
        }
        if (!temp_.empty() && !replaceTarget()) {
            return false;
        }
        committed_ = true;
        return true;
    }

private:
    bool fail(int error, const char* doing) {
        failed_ = true;
        noteErrno(error, Status::WriteFailed, doing);
        return false;
    }

    bool put(const unsigned char* p, std::size_t n) {
        while (n > 0) {
            const long long put = systemWrite(fd_, p, n);
            if (put <= 0) {
                return fail(put < 0 ? errno : ENOSPC, "cannot write the file");
            }
            p += put;
            n -= static_cast<std::size_t>(put);
        }
        return true;
    }

    bool flush() {
        const bool ok = put(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

#if defined(_WIN32)
    bool syncToDisk() {
        return _commit(fd_) == 0;
    }

    bool replaceTarget() {
        if (!MoveFileExW(temp_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return fail(GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO,
                        "cannot put the file in place");
        }
        return true;
    }
#else
    // The bytes reach the disk before the rename makes them the file's, so
    // that a crash never leaves an empty file under the old name.
    bool syncToDisk() {
        return ::fsync(fd_) == 0 || errno == EINVAL;
    }

    bool replaceTarget() {
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            return fail(errno, "cannot put the file in place");
        }
        return true;
    }
#endif

    int fd_;
    std::filesystem::path temp_;
    std::filesystem::path target_;
    std::vector<unsigned char> buffer_;
    bool failed_ = false;
    bool committed_ = false;
};

#if defined(_WIN32)

std::unique_ptr<ByteSink> openSink(const std::filesystem::path& path) {
    struct _stat64 info;
    const bool exists = _wstat64(path.c_str(), &info) == 0;
    if (exists && (info.st_mode & _S_IFMT) == _S_IFDIR) {
        noteErrno(EISDIR, Status::AccessDenied, "");
        return nullptr;
    }
    if (exists && (info.st_mode & _S_IFMT) != _S_IFREG) {
        int fd = -1;
        if (_wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO,
                      _S_IREAD | _S_IWRITE) != 0) {
            noteErrno(errno, Status::WriteFailed, "");
            return nullptr;
        }
        return std::make_unique<FileSink>(fd, std::filesystem::path(), path);
    }
    if (exists && !(info.st_mode & _S_IWRITE)) {
        noteErrno(EACCES, Status::AccessDenied, "");
        return nullptr;
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : L".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::filesystem::path temp = folder / temporaryLeaf();
        int fd = -1;
        const errno_t error =
            _wsopen_s(&fd, temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYWR,
                      _S_IREAD | _S_IWRITE);
        if (error == 0) {
            return std::make_unique<FileSink>(fd, temp, path);
        }
        if (error != EEXIST) {
            noteErrno(error, Status::WriteFailed, "cannot make a temporary file beside it");
            return nullptr;
        }
    }
    noteErrno(EEXIST, Status::WriteFailed, "cannot make a temporary file beside it");
    return nullptr;
}

#else

std::unique_ptr<ByteSink> openSink(const std::filesystem::path& path) {
    struct stat info;
    const bool exists = ::lstat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        noteErrno(errno, Status::WriteFailed, "");
        return nullptr;
    }
    if (exists && S_ISDIR(info.st_mode)) {
        noteErrno(EISDIR, Status::AccessDenied, "");
        return nullptr;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device, a pipe or a link: a rename would put a plain file in
        // its place, so it is written where it is (through the link).
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            noteErrno(errno, Status::WriteFailed, "");
            return nullptr;
        }
        return std::make_unique<FileSink>(fd, std::filesystem::path(), path);
    }
    if (exists) {
        // The rename would ignore the file's own permission bits: a file the
        // caller may not write is refused. Opening it without truncating
        // asks the system exactly that (access control lists and read-only
        // mounts included) and changes nothing.
        const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (probe < 0) {
            noteErrno(errno, Status::AccessDenied, "");
            return nullptr;
        }
        ::close(probe);
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::filesystem::path temp = folder / temporaryLeaf();
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            if (exists) {
                // The owner first: changing it clears the set-id bits that
                // the mode then restores. Only root may give a file away,
                // so elsewhere this fails and the caller owns the new file.
                if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
                    (void)::fchown(fd, static_cast<uid_t>(-1), info.st_gid);
                }
                (void)::fchmod(fd, info.st_mode & 07777);
            }
            return std::make_unique<FileSink>(fd, temp, path);
        }
        if (errno != EEXIST) {
            noteErrno(errno, Status::WriteFailed, "cannot make a temporary file beside it");
            return nullptr;
        }
    }
    noteErrno(EEXIST, Status::WriteFailed, "cannot make a temporary file beside it");
    return nullptr;
}

#endif

} // namespace

std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path) {
    long long size = -1;
    bool isFolder = false;
    const int fd = openForReading(path, size, isFolder);
    if (fd < 0) {
        noteErrno(isFolder ? EISDIR : errno, Status::NotFound, "");
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, size);
}

std::unique_ptr<ByteSink> openFileSink(const std::filesystem::path& path) {
    return openSink(path);
}

std::string displayName(const std::filesystem::path& path) {
#if defined(_WIN32)
    std::string name = path.u8string();
#else
    std::string name = path.string();
#endif
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = '?';
        }
    }
    return name;
}

} // namespace vorn::detail
