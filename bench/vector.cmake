# SPDX-License-Identifier: MIT
vorn_add_bench(vorn_bench_vector vector_bench.cpp)
