#!/usr/bin/env bash
# Measures tarvex against the cost of reading and copying the same log, in
# one run, and prints one Markdown table.
#
#   bench/run.sh [MiB]        the size of the generated log, 1024 by default
#   RUNS=5 bench/run.sh       runs per command (the median is shown)
#   TOOL=path bench/run.sh    measures another build of the tool (an older
#                             one, for a before-and-after table)
#
# The logs are generated into bench/out/ and reused; the page cache holds
# them during the run (the machine needs the RAM for that).
set -euo pipefail
cd "$(dirname "$0")/.."

size=${1:-1024}
runs=${RUNS:-5}
out=bench/out
mkdir -p "$out"

missing=()
[ -x /usr/bin/time ] || missing+=(time)
command -v strace > /dev/null || missing+=(strace)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" > /dev/null
fi

cmake --preset release > /dev/null
cmake --build --preset release -j2 > /dev/null
tool=$(realpath "${TOOL:-build/release/tarvex}")
generate=$PWD/build/release/generate_log
appendLoop=$PWD/build/release/append_loop

# Relative paths: an argument that begins with "/" would be taken for options.
log=$out/dre-$size.log
single=$out/single-line-$size.log
oneEntry=$out/one-entry-$size.log
entries=$out/entries-100000.log
[ -s "$log" ] || "$generate" "$size" entries > "$log"
[ -s "$single" ] || "$generate" "$size" single-line > "$single"
[ -s "$oneEntry" ] || "$generate" "$size" one-entry > "$oneEntry"
[ -s "$entries" ] || "$generate" 0 entries 100000 > "$entries"
target=$out/OUT

declare -A median rss
median_of() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# measure KEY OUTPUT COMMAND...: runs the command with its standard output
# on OUTPUT, removed first, under /usr/bin/time for its peak memory.
measure() {
    local key=$1 output=$2 times=() peak=0 i start end kib
    shift 2
    for ((i = 0; i < runs; i++)); do
        rm -f "$target"
        start=$EPOCHREALTIME
        /usr/bin/time -f %M -o "$out/rss" "$@" > "$output"
        end=$EPOCHREALTIME
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
        kib=$(tail -1 "$out/rss")
        ((kib > peak)) && peak=$kib
    done
    median[$key]=$(printf '%s\n' "${times[@]}" | median_of)
    rss[$key]=$peak
    rm -f "$target"
}

cat "$log" "$single" "$oneEntry" > /dev/null  # into the page cache

measure wc /dev/null wc -l "$log"
measure catnull /dev/null cat "$log"
measure catfile "$target" cat "$log"
measure plain /dev/null "$tool" "$log"
measure plainfile "$target" "$tool" "$log"
measure comma /dev/null "$tool" "$log" /C
measure commafile "$target" "$tool" "$log" /C
measure totals /dev/null "$tool" "$log" /E /T
measure totalsfile "$target" "$tool" "$log" /E /T
measure single /dev/null "$tool" "$single"
measure oneentry /dev/null "$tool" "$oneEntry"

bytes=$(stat -c %s "$log")
row() {  # label key reference
    local label=$1 key=$2 reference=${3:-}
    awk -v label="$label" -v t="${median[$key]}" -v r="${reference:+${median[$reference]}}" \
        -v bytes="$bytes" -v kib="${rss[$key]}" -v ref="${reference:-}" 'BEGIN {
            ratio = r == "" ? "" : sprintf("%.2fx %s", t / r, ref)
            printf "| %s | %.3f | %.0f | %s | %.1f |\n", label, t, bytes / 1048576 / t, ratio, kib / 1024
        }'
}

echo "Log: $log, $((bytes / 1048576)) MiB, $(wc -l < "$log") lines; median of $runs runs."
echo "Machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo), $(uname -sr)."
echo
echo "| command | seconds | MiB/s | ratio | peak RSS MiB |"
echo "|---|---:|---:|---|---:|"
row 'wc -l LOG' wc
row 'cat LOG > /dev/null' catnull
row 'cat LOG > OUT' catfile
row 'tarvex LOG > /dev/null' plain wc
row 'tarvex LOG > OUT' plainfile catfile
row 'tarvex LOG /C > /dev/null' comma wc
row 'tarvex LOG /C > OUT' commafile catfile
row 'tarvex LOG /E /T > /dev/null' totals wc
row 'tarvex LOG /E /T > OUT' totalsfile catfile
bytes=$(stat -c %s "$single") row "tarvex SINGLE-LINE > /dev/null ($size MiB, no line feed)" single
bytes=$(stat -c %s "$oneEntry") row "tarvex ONE-ENTRY > /dev/null ($size MiB, one entry)" oneentry

# Session files: the system calls of 100,000 entries, and their time against
# the floor, a bare open, write and close per entry (bench/append_loop.cc).
scratch=$(mktemp -d)
relative=$(realpath --relative-to="$scratch" "$entries")
(cd "$scratch" && strace -c -f -o "$scratch/strace" "$tool" "$relative" /S)
splitRuns=$((runs * 2 + 1))
split_median() {  # COMMAND...: the median seconds of a run in an empty folder
    local times=() i start end
    for ((i = 0; i < splitRuns; i++)); do
        rm -f "$scratch"/*.LOG
        start=$EPOCHREALTIME
        (cd "$scratch" && "$@")
        end=$EPOCHREALTIME
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
    done
    printf '%s\n' "${times[@]}" | median_of
}
toolSplit=$(split_median "$tool" "$relative" /S)
loopSplit=$(split_median sh -c "exec '$appendLoop' < '$relative'")
echo
awk -v t="$toolSplit" -v l="$loopSplit" -v n="$splitRuns" 'BEGIN {
    printf "/S on 100,000 entries, median of %d runs: %.3f s (%.0f entries per second); ", n, t, 100000 / t
    printf "a bare open+write+close loop over the same entries: %.3f s; ratio %.2f.\n", l, t / l
    print "System calls of the /S run:"
}'
awk '$NF ~ /^(openat|write|close|read|lseek|newfstatat|fstat)$/ { printf "    %-10s %s\n", $NF, $4 }' "$scratch/strace"
rm -rf "$scratch"
