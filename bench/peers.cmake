# SPDX-License-Identifier: MIT
# Vorn beside cairo, pixman, stb and spng on the same workloads, in one
# program (VORN_BENCH_PEERS; `./run bench --peers` installs the packages).
find_package(PkgConfig REQUIRED)
pkg_check_modules(VORN_PEERS REQUIRED IMPORTED_TARGET cairo pixman-1 spng stb)
vorn_add_bench(vorn_bench_peers peers_bench.cpp)
target_link_libraries(vorn_bench_peers PRIVATE PkgConfig::VORN_PEERS)
