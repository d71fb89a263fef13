// SPDX-License-Identifier: MIT
// The byte seam over memory: a source over the caller's bytes and a sink
// into a vector.

#include "io/failure.h"
#include "io/stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace vorn::detail {

std::size_t MemorySource::read(void* out, std::size_t n) {
    const std::size_t got = peek(out, n);
    position_ += got;
    return got;
}

std::size_t MemorySource::peek(void* out, std::size_t n) {
    const std::size_t got = std::min(n, size_ - position_);
    if (got > 0) {
        std::memcpy(out, data_ + position_, got);
    }
    return got;
}

bool MemorySource::skip(unsigned long long n) {
    const std::size_t left = size_ - position_;
    if (n > left) {
        position_ = size_;
        return false;
    }
    position_ += static_cast<std::size_t>(n);
    return true;
}

bool MemorySink::write(const void* data, std::size_t n) {
    if (failed_) {
        return false;
    }
    try {
        const auto* p = static_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), p, p + n);
    } catch (const std::bad_alloc&) {
        failed_ = true;
        noteFailure(Status::OutOfMemory, "out of memory for the encoded image");
        return false;
    } catch (const std::length_error&) {
        failed_ = true;
        noteFailure(Status::OutOfMemory, "out of memory for the encoded image");
        return false;
    }
    return true;
}

bool MemorySink::commit() {
    if (failed_) {
        return false;
    }
    out_.swap(bytes_);
    bytes_.clear();
    return true;
}

} // namespace vorn::detail
