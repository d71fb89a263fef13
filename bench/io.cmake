# SPDX-License-Identifier: MIT
vorn_add_bench(vorn_bench_io io_bench.cpp)
if(VORN_WITH_PNG)
  find_package(PNG 1.6 REQUIRED)
  target_link_libraries(vorn_bench_io PRIVATE PNG::PNG)
endif()
