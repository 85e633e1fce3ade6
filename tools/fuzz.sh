#!/usr/bin/env bash
# Fuzzes the list file decoder: builds tests/fuzz/ListFileFuzz.cpp with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, and runs it for
# the given number of seconds (default 10) from the seed corpus in
# tests/fuzz/corpus. New inputs and any crash go to build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
out=build/fuzz
mkdir -p "$out/corpus"
sources=(tests/fuzz/ListFileFuzz.cpp src/mainwindow/ListFileCodec.cpp
         src/mainwindow/WindowsPaths.cpp src/app/DrawingList.cpp src/app/Error.cpp
         src/app/Unicode.cpp tests/support/IconvCodePage.cpp)
if [ ! -x "$out/listfile_fuzz" ] || [ -n "$(find "${sources[@]}" src/mainwindow/ListFileCodec.h \
        src/mainwindow/WindowsPaths.h src/app/*.h -newer "$out/listfile_fuzz")" ]; then
    clang++ -std=c++20 -O1 -g -Wall -Wextra -fsanitize=fuzzer,address,undefined \
        -fno-sanitize-recover=undefined -Isrc -Itests "${sources[@]}" -o "$out/listfile_fuzz"
fi
exec "$out/listfile_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" \
    "$out/corpus" tests/fuzz/corpus
