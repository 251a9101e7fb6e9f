#!/usr/bin/env bash
# Builds the Debian package of the build, unpacks it with dpkg -x and runs both programs from there.
# Usage: package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$("$build/bin/qvtool" --version | cut -d' ' -f2)
# Uncompressed: the test build's binaries are large, and what is checked is the contents.
cpack --config "$build/CPackConfig.cmake" -G DEB -D CPACK_DEBIAN_COMPRESSION_TYPE=none -B "$out" >"$out/cpack.log" 2>&1 || fail "cpack: $(cat "$out/cpack.log")"
deb=$out/quorvex_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb among: $(ls "$out")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6core6 zlib1g libc6; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for archiver in unzip arj nomarch unar unrar-free 7zip; do
    grep -q "\b$archiver\b" <<<"$recommends" || fail "Recommends lacks $archiver: $recommends"
done

dpkg -x "$deb" "$out/root"
[ "$("$out/root/usr/bin/qvtool" --version)" = "qvtool $version" ] || fail "qvtool --version"
[ -f "$out/root/usr/share/man/man1/qvtool.1" ] || fail "no manual page in the package"
export XDG_CONFIG_HOME=$out/config XDG_DATA_HOME=$out/data
"$out/root/usr/bin/quorvex" --demo --screenshot "$out/window.png" >/dev/null 2>"$out/quorvex.err" \
    || fail "quorvex --screenshot: $(cat "$out/quorvex.err")"
[ "$(od -An -c -j1 -N3 "$out/window.png" | tr -d ' ')" = PNG ] || fail "the screenshot is no PNG"
echo "$(basename "$deb"): Depends and Recommends in place, both programs run"
