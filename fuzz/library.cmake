# SPDX-License-Identifier: MIT
# The image library's reader: JPEG, GIF and whatever else reaches it.
if(VORN_WITH_IMAGELIB)
  vorn_add_fuzzer(vorn_fuzz_library library_fuzzer.cpp
    SEEDS gif/gifs jpeg/baseline jpeg/extended_huffman jpeg/extended_arithmetic
          jpeg/progressive_huffman jpeg/progressive_arithmetic
          jpeg/lossless_huffman jpeg/lossless_arithmetic jpeg/ls)
endif()
