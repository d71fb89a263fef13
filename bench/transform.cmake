# SPDX-License-Identifier: MIT
vorn_add_bench(vorn_bench_transform transform_bench.cpp)
