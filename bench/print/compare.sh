#!/bin/sh
# Whole processes, pair by pair: `waylark print --pdf` of 10,000 waybills
# (10 one-line fields; then the two addresses fitted) against a bare
# QPdfWriter loop drawing the same texts at the same places with the heap
# held as a job holds it; then the peak memory of printing 10 rows of a
# 100,000-row table against 10 rows of a 10-row table.
#   bench/print/compare.sh [BUILD_DIR] [RUNS]
# Prints the median CPU seconds (user + system, from /usr/bin/time), the
# median of the pairwise ratios and the median peak resident set.
set -eu
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
bench="$build/bench/print/bench_print"
waylark="$build/app/waylark"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run: "cpu-seconds peak-kB" of the command in the current directory.
measure() {
    /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >/dev/null 2>&1
    awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

compare() { # name dir
    cd "$2"
    : >"$work/pairs"
    measure "$waylark" print --pdf out.pdf --model 通用快递单 >/dev/null # warm-up
    i=0
    while [ $i -lt "$runs" ]; do
        a=$(measure "$waylark" print --pdf out.pdf --model 通用快递单)
        b=$(measure "$bench" floor "$2" floor.pdf)
        echo "$a $b" >>"$work/pairs"
        i=$((i + 1))
    done
    pa=$(awk '{ print $1 }' "$work/pairs" | median)
    pb=$(awk '{ print $3 }' "$work/pairs" | median)
    ratio=$(awk '{ print $1 / $3 }' "$work/pairs" | median)
    printf '%-22s %10.3f %10.3f %8.2f %12.1f %12.1f\n' "$1" "$pa" "$pb" "$ratio" \
        "$(awk -v a="$pa" 'BEGIN { print a * 100 }')" "$(awk -v b="$pb" 'BEGIN { print b * 100 }')"
}

"$bench" prepare "$work/line" 10000 >/dev/null 2>&1
"$bench" prepare "$work/fit" 10000 fit >/dev/null 2>&1
printf '%-22s %10s %10s %8s %12s %12s\n' "10,000 pages" "waylark s" "floor s" "ratio" \
    "us/page" "floor us/page"
compare "one line" "$work/line"
compare "addresses fitted" "$work/fit"

"$bench" prepare "$work/big" 100000 >/dev/null 2>&1
"$bench" prepare "$work/ten" 10 >/dev/null 2>&1
printf '\n%-22s %10s\n' "--rows 1-10" "peak kB"
for table in ten big; do
    cd "$work/$table"
    i=0
    : >"$work/peaks"
    while [ $i -lt "$runs" ]; do
        measure "$waylark" print --pdf rows.pdf --model 通用快递单 --rows 1-10 |
            awk '{ print $2 }' >>"$work/peaks"
        i=$((i + 1))
    done
    printf '%-22s %10s\n' "of $table table" "$(median <"$work/peaks")"
done
