#!/bin/sh
# Whole processes, pair by pair: `waylark print --pdf` of 10,000 labels with
# one Code 128 and one QR code each, against the same labels with both as
# text.
#   bench/print/barcodes.sh [BUILD_DIR] [RUNS] [ROWS]
# Prints the median wall and CPU seconds of each and the median of the
# pairwise ratios: symbols are encoded on other threads while the pages are
# drawn, so the wall time is what a user waits and the CPU time what the
# machine spends.
set -eu
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
rows=${3:-10000}
bench="$build/bench/print/bench_barcode"
waylark="$build/app/waylark"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run in DIR: "wall-seconds cpu-seconds".
measure() {
    (cd "$1" && /usr/bin/time -f '%e %U %S' -o "$work/time" \
        "$waylark" print --pdf out.pdf --model 通用快递单 >/dev/null 2>&1)
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$bench" prepare "$work/text" "$rows" text >/dev/null 2>&1
"$bench" prepare "$work/symbols" "$rows" symbols >/dev/null 2>&1
measure "$work/symbols" >/dev/null # warm-up
: >"$work/pairs"
i=0
while [ $i -lt "$runs" ]; do
    s=$(measure "$work/symbols")
    t=$(measure "$work/text")
    echo "$s $t" >>"$work/pairs"
    i=$((i + 1))
done
col() { awk -v c="$1" '{ print $c }' "$work/pairs" | median; }
printf '%-10s %12s %12s %8s\n' "$rows" "symbols s" "text s" "ratio"
printf '%-10s %12.3f %12.3f %8.2f\n' "wall" "$(col 1)" "$(col 3)" \
    "$(awk '{ print $1 / $3 }' "$work/pairs" | median)"
printf '%-10s %12.3f %12.3f %8.2f\n' "cpu" "$(col 2)" "$(col 4)" \
    "$(awk '{ print $2 / $4 }' "$work/pairs" | median)"
