#!/bin/sh
# Four stations on one PostgreSQL server printing 10,000 unprinted rows to
# PDFs at once, against one process on the database file in the same run:
# every row printed once (no duplicates, no gaps), the wall time of each
# and the time per page. A server of its own: initdb into a temporary
# folder, a Unix socket there, no TCP port (as the user postgres when run
# by root), stopped at the end.
#   bench/stations/compare.sh [BUILD_DIR] [ROWS] [STATIONS]
set -eu
build=$(cd "${1:-build}" && pwd)
rows=${2:-10000}
stations=${3:-4}
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

now() { date +%s.%N; }
"$bench" prepare "$work/file" "$rows" >/dev/null 2>&1
cd "$work/file"
"$waylark" db copy --to "$url" >/dev/null

start=$(now)
"$waylark" print --pdf file.pdf --unprinted >/dev/null 2>&1
file_s=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')

start=$(now)
i=1
while [ $i -le "$stations" ]; do
    "$waylark" --database "$url" print --pdf "station$i.pdf" --unprinted >/dev/null 2>&1 &
    i=$((i + 1))
done
wait
server_s=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')

q() { psql -qtA -h "$work/pg" -U postgres -c "$1" shared; }
printed_once=$(q "SELECT count(*) FROM Exp_Att_Info WHERE Print_Count = 1")
twice=$(q "SELECT count(*) FROM Exp_Att_Info WHERE Print_Count > 1")
never=$(q "SELECT count(*) FROM Exp_Att_Info WHERE Printed_At IS NULL")
pages=$(q "SELECT COALESCE(sum(Pages), 0) FROM Print_Log")
jobs=$(q "SELECT count(*) FROM Print_Log")
echo "rows $rows; stations $stations"
echo "server: printed once $printed_once, more than once $twice, never $never;" \
    "pages in the log $pages in $jobs job(s)"
printf '%-28s %10s %12s\n' "" "wall s" "us/page"
printf '%-28s %10.2f %12.1f\n' "file, one process" "$file_s" \
    "$(awk -v s="$file_s" -v n="$rows" 'BEGIN { print s * 1e6 / n }')"
printf '%-28s %10.2f %12.1f\n' "server, $stations stations" "$server_s" \
    "$(awk -v s="$server_s" -v n="$rows" 'BEGIN { print s * 1e6 / n }')"
awk -v f="$file_s" -v s="$server_s" 'BEGIN { printf "server / file: %.3f\n", s / f }'
