#!/usr/bin/env bash
# Builds tarvex.exe with mingw-w64 and tests it under Wine: the unit tests as
# a Windows program, then the end-to-end table and the fault tests against
# tarvex.exe, driven by the Linux test binary, so that both builds are held to
# the same bytes. Wine's prefix (about 700 MB) goes to build/wineprefix unless
# WINEPREFIX names another place.
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

# The version resource is what Explorer shows under Properties > Details.
resource=$(strings -el build/windows/tarvex.exe)
for field in FileVersion ProductVersion FileDescription ProductName OriginalFilename LegalCopyright; do
    grep -qx "$field" <<< "$resource" || { echo "tarvex.exe has no $field" >&2; exit 1; }
done

ctest --preset windows
TARVEX_BIN="$PWD/build/windows/tarvex.exe" TARVEX_LAUNCHER="$wine" build/release/tarvex_e2e --gtest_brief=1
