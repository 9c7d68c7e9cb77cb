#!/usr/bin/env bash
# Builds tarvex.exe with mingw-w64 and tests it under Wine: the unit tests as
# a Windows program, then the end-to-end table against tarvex.exe, driven by
# the Linux test binary, so that both builds are held to the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

cmake --preset windows > /dev/null && cmake --build --preset windows -j2
cmake --preset release > /dev/null && cmake --build --preset release -j2

# One persistent wineserver for the whole run, so that each case does not
# pay for its start-up.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k 2> /dev/null || true' EXIT
"$wine" build/windows/tarvex.exe > /dev/null 2>&1 || true  # lays out the prefix

ctest --preset windows
TARVEX_BIN="$PWD/build/windows/tarvex.exe" TARVEX_LAUNCHER="$wine" \
    build/release/tarvex_tests --gtest_filter='*EndToEnd*:Faults*' --gtest_brief=1
