# SPDX-License-Identifier: MIT
vorn_add_bench(vorn_bench_shapes shapes_bench.cpp)
