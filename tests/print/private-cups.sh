#!/usr/bin/env bash
# Starts or stops a private CUPS scheduler under DIR, with one raw queue whose
# backend copies every job file to DIR/out. The machine's own printers and
# configuration are left alone; clients reach it through CUPS_SERVER=DIR/cups.sock.
#   private-cups.sh start DIR QUEUE
#   private-cups.sh stop DIR
set -euo pipefail
cmd=$1
dir=$2

if [ "$cmd" = stop ]; then
    if [ -f "$dir/cupsd.pid" ]; then
        kill "$(cat "$dir/cupsd.pid")" 2>/dev/null || true
        rm -f "$dir/cupsd.pid"
    fi
    exit 0
fi

queue=$3
[ "$(id -u)" -eq 0 ] || { echo "the private scheduler needs root"; exit 3; }
command -v cupsd >/dev/null || [ -x /usr/sbin/cupsd ] || { echo "cupsd is not installed"; exit 3; }

mkdir -p "$dir"/{conf,spool,spool/tmp,cache,state,log,bin,out}
chmod 0755 "$dir" "$dir/out"
# The scheduler's programs, with a backend directory of our own.
for f in /usr/lib/cups/*; do
    name=$(basename "$f")
    [ "$name" = backend ] || ln -sfn "$f" "$dir/bin/$name"
done
mkdir -p "$dir/bin/backend"
cat > "$dir/bin/backend/waylarkcopy" <<BACKEND
#!/bin/sh
# No arguments: tell the scheduler what this backend offers.
if [ \$# -eq 0 ]; then
    echo 'direct waylarkcopy "Unknown" "Copies each job file"'
    exit 0
fi
out="$dir/out/job-\$1.pdf"
if [ -n "\$6" ]; then cp "\$6" "\$out.part"; else cat > "\$out.part"; fi
mv "\$out.part" "\$out"
exit 0
BACKEND
chmod 0700 "$dir/bin/backend/waylarkcopy"

cat > "$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin $dir/bin
DataDir /usr/share/cups
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice No
CONF
cat > "$dir/conf/cupsd.conf" <<CONF
Listen $dir/cups.sock
Browsing Off
LogLevel warn
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
CONF

setsid /usr/sbin/cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
    >"$dir/log/cupsd.out" 2>&1 &
echo $! > "$dir/cupsd.pid"

export CUPS_SERVER="$dir/cups.sock"
for _ in $(seq 1 100); do
    if lpstat -r 2>/dev/null | grep -q "is running"; then break; fi
    sleep 0.1
done
lpstat -r | grep -q "is running" || { cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null; exit 1; }
lpadmin -p "$queue" -v waylarkcopy:/ -E -m raw 2>/dev/null || lpadmin -p "$queue" -v waylarkcopy:/ -E
lpadmin -d "$queue"
echo "CUPS_SERVER=$dir/cups.sock"
