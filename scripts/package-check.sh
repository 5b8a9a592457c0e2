#!/usr/bin/env bash
# Builds the .deb from an existing build folder and checks it: lintian
# without errors, the dependencies dpkg-shlibdeps found, the files in
# place, an install into an empty root with dpkg, and what apt would do to
# install it here. Run by ./test.sh after the tests.
#   package-check.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out="$build/package"
rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || {
    cat "$out/cpack.log" >&2
    exit 1
}
deb=$(ls "$out"/waylark_*.deb)
echo "package: $deb"

fail() {
    echo "package check: $*" >&2
    exit 1
}

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found by dpkg-shlibdeps from the program's libraries, not written by hand;
# the SQLite driver plugin and the font are the two named in the build.
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for p in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6sql6 libqt6printsupport6 \
    libqt6network6 libzip4 libcsv3 libxlsxwriter4 libcups2 libqt6sql6-sqlite fonts-wqy-zenhei; do
    grep -qxF "$p" <<<"$names" || fail "Depends lacks $p"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/waylark ./usr/share/waylark/help.html \
    ./usr/share/applications/org.waylark.Waylark.desktop \
    ./usr/share/metainfo/org.waylark.Waylark.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/org.waylark.Waylark.svg \
    ./usr/share/icons/hicolor/48x48/apps/org.waylark.Waylark.png \
    ./usr/share/doc/waylark/copyright ./usr/share/doc/waylark/changelog.gz \
    ./usr/share/man/man1/waylark.1.gz; do
    grep -qxF "$f" <<<"$contents" || fail "the package lacks $f"
done
# Nothing of the build's own data goes into the package.
if grep -Eq 'Waylark_main\.db|config\.ini|bkbmp' <<<"$contents"; then
    fail "the package holds data files"
fi

if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error --tag-display-limit 0 "$deb" 2>/dev/null | tee "$out/lintian.log" ||
        fail "lintian reports errors"
else
    echo "lintian is not installed: skipped"
fi

# An install into an empty root: dpkg unpacks and registers it; the
# dependencies are those of the machine, not of the empty root.
root="$out/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
force=(--force-depends)
[ "$(id -u)" -eq 0 ] || force+=(--force-not-root)
dpkg --root="$root" "${force[@]}" --log=/dev/null -i "$deb" >"$out/dpkg.log" 2>&1 || {
    cat "$out/dpkg.log" >&2
    fail "dpkg --root cannot install the package"
}
[ -x "$root/usr/bin/waylark" ] || fail "dpkg --root left no program"
dpkg --root="$root" -s waylark | grep -q '^Status: install ok installed' ||
    fail "dpkg --root did not register the package"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/waylark" --version | grep -q '^waylark ' ||
    fail "the installed program does not start"

# What apt would do here: every dependency resolvable.
if command -v apt-get >/dev/null 2>&1; then
    apt-get -s -qq install "$deb" >"$out/apt.log" 2>&1 || {
        cat "$out/apt.log" >&2
        fail "apt cannot install the package"
    }
fi
echo "package check: ok"
