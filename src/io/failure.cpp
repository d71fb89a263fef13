// SPDX-License-Identifier: MIT
// Reasons of failure: this thread's last failure of a public image-file
// call, the reason being noted while a call is under way, and the names of
// the statuses.

#include "io/failure.h"

#include <cerrno>

namespace vorn {

namespace {

struct PendingFailure {
    Status status = Status::Ok;
    std::string what;
};

thread_local Failure lastOfThread{Status::Ok, std::string()};
thread_local PendingFailure pending;

} // namespace

const Failure& lastFailure() noexcept {
    return lastOfThread;
}

const char* statusText(Status status) noexcept {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::NotFound:
        return "not found";
    case Status::AccessDenied:
        return "access denied";
    case Status::UnknownFormat:
        return "unknown format";
    case Status::Corrupt:
        return "corrupt";
    case Status::Unsupported:
        return "unsupported";
    case Status::TooLarge:
        return "too large";
    case Status::OutOfMemory:
        return "out of memory";
    case Status::WriteFailed:
        return "write failed";
    case Status::InvalidArgument:
        return "invalid argument";
    }
    return "unknown status";
}

namespace detail {

void noteFailure(Status status, std::string what) {
    if (pending.status == Status::Ok) {
        pending.status = status;
        pending.what = std::move(what);
    }
}

bool failureNoted() {
    return pending.status != Status::Ok;
}

FailureRecord::FailureRecord(std::string file) : file_(std::move(file)) {
    pending = PendingFailure();
}

FailureRecord::~FailureRecord() {
    pending = PendingFailure();
}

Failure FailureRecord::compose(Status fallback, const char* what) const {
    Failure failure{failureNoted() ? pending.status : fallback,
                    failureNoted() ? pending.what : std::string(what)};
    if (!file_.empty()) {
        failure.message += ": ";
        failure.message += file_;
    }
    return failure;
}

void FailureRecord::publish(Status fallback, const char* what) {
    // Building the message may itself run out of memory; the status is set
    // first, so that it is right whatever happens to the text.
    lastOfThread.status = failureNoted() ? pending.status : fallback;
    try {
        std::string message = failureNoted() ? pending.what : std::string(what);
        if (!file_.empty()) {
            message += ": ";
            message += file_;
        }
        lastOfThread.message.swap(message);
    } catch (...) {
        lastOfThread.message.clear();
    }
}

Status statusOfErrno(int error, Status otherwise, const char*& phrase) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        phrase = "not found";
        return Status::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        phrase = "permission denied";
        return Status::AccessDenied;
    case EISDIR:
        phrase = "is a folder";
        return Status::AccessDenied;
    case ENAMETOOLONG:
        phrase = "name too long";
        return Status::NotFound;
    case ENOMEM:
        phrase = "out of memory";
        return Status::OutOfMemory;
    case ENOSPC:
        phrase = "no space left on the device";
        return Status::WriteFailed;
    default:
        phrase = "input/output error";
        return otherwise;
    }
}

} // namespace detail

} // namespace vorn
