// SPDX-License-Identifier: MIT
// What the fuzz targets share. Every target reads its input from memory.
#ifndef VORN_FUZZ_FUZZ_INPUT_H
#define VORN_FUZZ_FUZZ_INPUT_H

#include <vorn/buffer.h>

#include <cstddef>
#include <cstdint>

/// Reads every pixel of a buffer, so that the sanitizers see a block that
/// is shorter than the buffer claims; returns a checksum to keep the reads.
std::uint32_t touchPixels(const VornBuffer& buffer);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#endif
