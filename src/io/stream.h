// SPDX-License-Identifier: MIT
// Internal to the library: the byte seam every image-file handler reads and
// writes through. A source gives bytes (from a file, a pipe or memory), a
// sink takes them (into a file, safely replaced, or into memory).
#ifndef VORN_SRC_IO_STREAM_H
#define VORN_SRC_IO_STREAM_H

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vorn::detail {

/// Bytes to read, from the start on. Reads, peeks and skips report short
/// counts at the end; `failed()` tells an I/O error from the end (the
/// failure is already recorded, see failure.h).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    /// Copies up to n bytes to `out` and moves past them; fewer only at the
    /// end or after an error.
    virtual std::size_t read(void* out, std::size_t n) = 0;
    /// Copies up to n bytes (n <= kPeekLimit) from the current position
    /// without moving past them: detection looks at the first bytes, and the
    /// reader it picks then reads them again, even from a pipe.
    virtual std::size_t peek(void* out, std::size_t n) = 0;
    /// Moves past n bytes (by seeking where possible); false when the end
    /// came first.
    virtual bool skip(unsigned long long n) = 0;
    /// Length of the whole content in bytes, -1 when unknown (a pipe).
    virtual long long size() const = 0;
    /// Bytes consumed so far.
    virtual unsigned long long position() const = 0;
    /// The whole content when it lies in memory (then size() bytes), else
    /// null.
    virtual const unsigned char* contiguous() const { return nullptr; }
    /// Whether a read failed for another reason than the end.
    bool failed() const { return failed_; }

    /// The most bytes peek looks ahead.
    static constexpr std::size_t kPeekLimit = 64;

protected:
    bool failed_ = false;
};

/// Bytes to write. Nothing is final until commit: a sink destroyed without
/// it abandons what it took (a file sink leaves the replaced file as it
/// was). Writes after a failure are refused.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    ByteSink() = default;
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    /// Takes n bytes; false when they cannot be stored (the failure is
    /// recorded).
    virtual bool write(const void* data, std::size_t n) = 0;
    /// Makes everything written final; false when that fails.
    virtual bool commit() = 0;
};

/// A source over bytes in memory that outlive it.
class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(data ? size : 0) {}
    std::size_t read(void* out, std::size_t n) override;
    std::size_t peek(void* out, std::size_t n) override;
    bool skip(unsigned long long n) override;
    long long size() const override { return static_cast<long long>(size_); }
    unsigned long long position() const override { return position_; }
    const unsigned char* contiguous() const override { return data_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

/// A sink into a vector: on commit the bytes replace the vector's content;
/// without it the vector is left alone.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::vector<unsigned char>& out) : out_(out) {}
    bool write(const void* data, std::size_t n) override;
    bool commit() override;

private:
    std::vector<unsigned char>& out_;
    std::vector<unsigned char> bytes_;
    bool failed_ = false;
};

/// Opens the file for reading; null when it cannot be opened (the failure,
/// naming the file, is recorded). A folder is refused as AccessDenied.
std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path);

/// Opens a sink that replaces the file at `path` safely (see
/// include/vorn/io.h): a temporary file in the same folder renamed over the
/// target on commit; devices, pipes and symbolic links are written in
/// place. Null, the target untouched, when the target may not be written or
/// the temporary file cannot be made (the failure is recorded).
std::unique_ptr<ByteSink> openFileSink(const std::filesystem::path& path);

/// The path as a message shows it: one line (control characters become
/// '?').
std::string displayName(const std::filesystem::path& path);

} // namespace vorn::detail

#endif
