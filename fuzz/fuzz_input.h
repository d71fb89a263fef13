// SPDX-License-Identifier: MIT
// What the fuzz targets share: the readers take paths, so every input is
// first written to a scratch file of this process.
#ifndef VORN_FUZZ_FUZZ_INPUT_H
#define VORN_FUZZ_FUZZ_INPUT_H

#include <vorn/buffer.h>

#include <cstddef>
#include <cstdint>
#include <string>

/// Writes the input to this process's scratch file with the given
/// extension (".bmp", ...) and returns its path as wide text. Aborts when
/// the file cannot be written: a fuzz run without its input is meaningless.
std::wstring scratchFile(const std::uint8_t* data, std::size_t size, const char* extension);

/// Reads every pixel of a buffer, so that the sanitizers see a block that
/// is shorter than the buffer claims; returns a checksum to keep the reads.
std::uint32_t touchPixels(const VornBuffer& buffer);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#endif
