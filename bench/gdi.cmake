# SPDX-License-Identifier: MIT
vorn_add_bench(vorn_bench_gdi gdi_bench.cpp)
