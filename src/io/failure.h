// SPDX-License-Identifier: MIT
// Internal to the library: how the image-file code records why a call
// failed. Handlers note the first reason they meet; the public entry point
// that called them publishes it, with the file's name, as lastFailure() of
// its thread once it knows that the call failed.
#ifndef VORN_SRC_IO_FAILURE_H
#define VORN_SRC_IO_FAILURE_H

#include <vorn/io.h>

#include <string>

namespace vorn::detail {

/// Notes the reason of a failure under way on this thread; the first one
/// noted since the entry point began wins (the deepest cause is met first).
/// `what` is one line without the file's name ("PNG: IHDR width 0").
void noteFailure(Status status, std::string what);

/// Whether a reason has been noted since the entry point began.
bool failureNoted();

/// One public entry point's record of its failure. Begins a fresh record;
/// publish() makes the noted reason (or the fallback when none was noted)
/// this thread's lastFailure(), naming `file` when it is not empty.
class FailureRecord {
public:
    explicit FailureRecord(std::string file = std::string());
    ~FailureRecord();
    FailureRecord(const FailureRecord&) = delete;
    FailureRecord& operator=(const FailureRecord&) = delete;

    void setFile(std::string file) { file_ = std::move(file); }
    void publish(Status fallback, const char* what);
    /// The failure publish() would record, without recording it (for the
    /// C++ interface, which throws it instead).
    Failure compose(Status fallback, const char* what) const;

private:
    std::string file_;
};

/// The status and a short phrase for an operating-system error number
/// (ENOENT and the like); `otherwise` for numbers without a status of
/// their own.
Status statusOfErrno(int error, Status otherwise, const char*& phrase);

} // namespace vorn::detail

#endif
