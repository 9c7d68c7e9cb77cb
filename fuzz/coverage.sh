#!/usr/bin/env bash
# Shows which lines of the tool a fuzzing corpus reaches: builds the fuzz
# target with clang's source-based coverage, runs every input of the given
# directories once, and prints the per-file summary (and, with SHOW=1, every
# line of the platform layer with its count).
#
#   fuzz/coverage.sh build/corpus fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- fuzz/corpus

build=build/fuzz-coverage
cmake --preset fuzz -B "$build" -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" > /dev/null
cmake --build "$build" -j2 --target tarvex_fuzz > /dev/null
LLVM_PROFILE_FILE="$build/fuzz.profraw" "$build/tarvex_fuzz" -runs=0 -artifact_prefix="$build/" "$@" > "$build/run.log" 2>&1
llvm-profdata-14 merge -sparse "$build/fuzz.profraw" -o "$build/fuzz.profdata"
llvm-cov-14 report "$build/tarvex_fuzz" -instr-profile="$build/fuzz.profdata" src
if [ "${SHOW:-0}" = 1 ]; then
    llvm-cov-14 show "$build/tarvex_fuzz" -instr-profile="$build/fuzz.profdata" src/platform/text_stream.cc
fi
