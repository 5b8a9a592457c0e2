#!/bin/sh
# What taking rows through claims costs per page: ROWS unprinted rows
# printed to PDFs by whole `waylark print --unprinted` runs, RUNS times
# each, medians: one process on the database file, one station on a
# PostgreSQL server, and STATIONS stations on that server at once (every
# row checked printed once: no duplicates, no gaps). A server of its own:
# initdb into a temporary folder, a Unix socket there, no TCP port (as the
# user postgres when run by root), stopped at the end. With PERF=1 the one
# station run is recorded once more under `perf record` and its hottest
# symbols listed.
#   bench/stations/compare.sh [BUILD_DIR] [ROWS] [STATIONS] [RUNS]
set -eu
build=$(cd "${1:-build}" && pwd)
rows=${2:-10000}
stations=${3:-4}
runs=${4:-3}
bench="$build/bench/print/bench_print"
waylark="$build/app/waylark"
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
work=$(mktemp -d /tmp/waylark-bench-XXXXXX)
as_server() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
stop() {
    as_server "$bin/pg_ctl" -D "$work/pg/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap stop EXIT
chmod 711 "$work" # the server, run as postgres, reaches its folder through it
mkdir "$work/pg"
[ "$(id -u)" -eq 0 ] && chown postgres "$work/pg"
as_server "$bin/initdb" -D "$work/pg/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
    --no-sync >/dev/null
as_server "$bin/pg_ctl" -D "$work/pg/data" -w -l "$work/pg/log" \
    -o "-k $work/pg -c listen_addresses=''" start >/dev/null
psql -q -h "$work/pg" -U postgres -c "CREATE DATABASE shared" postgres
url="postgresql://postgres@/shared?host=$work/pg"
q() { psql -qtA -h "$work/pg" -U postgres -c "$1" shared; }

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { print b - a }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$bench" prepare "$work/file" "$rows" >/dev/null 2>&1
cd "$work/file"
"$waylark" db copy --to "$url" >/dev/null
cp Waylark_main.db "$work/unprinted.db"

# Every row back in the pool, the log empty. Vacuumed: the 10,000 dead
# rows each reset and each run leave would otherwise slow every later run.
reset_server() {
    q "UPDATE Exp_Att_Info SET Printed_At = NULL, Print_Count = NULL, Claimed_By = NULL,
       Claimed_Until = NULL; DELETE FROM Print_Log" >/dev/null
    q "VACUUM ANALYZE Exp_Att_Info" >/dev/null
}
# N stations at once on the server; their wall time, after checking that
# every row was printed exactly once.
on_server() {
    reset_server
    start=$(now)
    i=1
    while [ "$i" -le "$1" ]; do
        "$waylark" --database "$url" print --pdf "station$i.pdf" --unprinted >/dev/null 2>&1 &
        i=$((i + 1))
    done
    wait
    s=$(since "$start")
    bad=$(q "SELECT count(*) FROM Exp_Att_Info WHERE Print_Count IS DISTINCT FROM 1")
    pages=$(q "SELECT COALESCE(sum(Pages), 0) FROM Print_Log")
    if [ "$bad" -ne 0 ] || [ "$pages" -ne "$rows" ]; then
        echo "$1 station(s): $bad rows not printed exactly once, $pages pages logged" >&2
        exit 1
    fi
    echo "$s"
}
# One process printing every row on the server without claims (rows
# chosen by number are only checked, not claimed): what the server costs
# apart from them.
unclaimed() {
    reset_server
    start=$(now)
    "$waylark" --database "$url" print --pdf all.pdf --rows "1-$rows" >/dev/null 2>&1
    since "$start"
}
on_file() {
    cp "$work/unprinted.db" Waylark_main.db
    start=$(now)
    "$waylark" print --pdf file.pdf --unprinted >/dev/null 2>&1
    since "$start"
}

: >"$work/file.s"
: >"$work/all.s"
: >"$work/one.s"
: >"$work/many.s"
n=1
while [ "$n" -le "$runs" ]; do
    on_file >>"$work/file.s"
    unclaimed >>"$work/all.s"
    on_server 1 >>"$work/one.s"
    on_server "$stations" >>"$work/many.s"
    n=$((n + 1))
done
file_s=$(median <"$work/file.s")
all_s=$(median <"$work/all.s")
one_s=$(median <"$work/one.s")
many_s=$(median <"$work/many.s")

echo "rows $rows; stations $stations; medians of $runs runs; every server run printed each row once"
printf '%-28s %10s %12s\n' "" "wall s" "us/page"
for line in "file, one process:$file_s" "server, no claims:$all_s" \
    "server, one station:$one_s" \
    "server, $stations stations:$many_s"; do
    s=${line##*:}
    printf '%-28s %10.2f %12.1f\n' "${line%:*}" "$s" \
        "$(awk -v s="$s" -v n="$rows" 'BEGIN { print s * 1e6 / n }')"
done
awk -v f="$file_s" -v a="$all_s" -v o="$one_s" -v m="$many_s" -v n="$stations" 'BEGIN {
    printf "one station / file: %.3f\n", o / f
    printf "one station / server without claims: %.3f\n", o / a
    printf "%d stations / one station: %.3f\n", n, m / o }'

if [ "${PERF:-0}" = 1 ]; then
    reset_server
    perf record -q -g -o "$work/perf.data" -- \
        "$waylark" --database "$url" print --pdf perf.pdf --unprinted >/dev/null 2>&1
    perf report -q -i "$work/perf.data" --no-children --sort dso,symbol --stdio 2>/dev/null |
        grep -v '^$' | grep -v '^#' | head -n 25
fi
