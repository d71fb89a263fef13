# SPDX-License-Identifier: MIT
if(VORN_WITH_GDI)
  vorn_add_bench(vorn_bench_gdi gdi_bench.cpp)
  if(WIN32)
    target_link_libraries(vorn_bench_gdi PRIVATE gdi32)
  endif()
endif()
