#!/usr/bin/env bash
# Installs the Debian packages that Waylark needs, skipping the ones already
# there. Works as root or through sudo.
#   install-deps.sh            what the program needs to build and run
#   install-deps.sh test       also what ./test.sh needs (cups-pdf, PDF tools, Xvfb,
#                              a PostgreSQL server)
#   install-deps.sh sanitize   also clang and its sanitizer and libFuzzer
#                              runtimes, for scripts/sanitize.sh
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libgl-dev
    libcups2-dev zlib1g-dev libcsv-dev libzip-dev libxlsxwriter-dev libzint-dev
    fonts-wqy-zenhei qt6-translations-l10n cups
    librsvg2-bin # the icon's sizes for the install
)
case "${1:-}" in
test | sanitize)
    packages+=(printer-driver-cups-pdf poppler-utils sqlite3 xvfb xauth zbar-tools)
    # a throwaway PostgreSQL server for the tests of several stations
    packages+=(postgresql)
    # the install test and the package check
    packages+=(desktop-file-utils appstream lintian dpkg-dev file)
    ;;
esac
if [ "${1:-}" = sanitize ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
