#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks every file it puts there.
# Usage: installed-files.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.quorvex.Quorvex
expected=(
    bin/quorvex bin/qvtool
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    share/man/man1/quorvex.1 share/man/man1/qvtool.1
    share/bash-completion/completions/qvtool
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
if [ -d "$source/docs/manual" ]; then
    while IFS= read -r f; do expected+=("share/doc/quorvex/${f#"$source/docs/manual/"}"); done \
        < <(find "$source/docs/manual" -type f)
fi
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) \
    || fail "the installed files differ from the expected ones (< expected, > installed)"

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
    || fail "metainfo: $(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml")"
for size in 16 32 48 64 128 256; do
    # A PNG's width and height stand in its IHDR chunk at bytes 16 to 23.
    read -r -a dims < <(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$(( dims[2] * 256 + dims[3] ))x$(( dims[6] * 256 + dims[7] ))" = "${size}x${size}" ] || fail "icon $size: ${dims[*]}"
done
for page in quorvex qvtool; do
    text=$(MANWIDTH=100 man --warnings -l "$prefix/share/man/man1/$page.1" 2>"$prefix/man.err") || fail "man $page"
    [ -s "$prefix/man.err" ] && fail "man $page warns: $(cat "$prefix/man.err")"
    grep -q "^NAME" <<<"$text" || fail "man $page has no NAME section"
done
# Every command of the program has its entry in the page, with the exit codes.
qvman=$(MANWIDTH=200 man -l "$prefix/share/man/man1/qvtool.1" 2>/dev/null)
for command in $("$prefix/bin/qvtool" --help | sed -n '/^commands:/,/^[^ c]/s/^  \([a-z-]*\).*/\1/p'); do
    grep -qE "^       $command( |$)" <<<"$qvman" || fail "qvtool.1 lacks the command $command"
done
grep -q "^EXIT STATUS" <<<"$qvman" || fail "qvtool.1 lacks the exit codes"

# The completion, as bash runs it on a tab: COMP_WORDS and COMP_CWORD set, then the function.
"$prefix/bin/qvtool" make-demo "$prefix/demo" >/dev/null
complete_line() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 )); _qvtool; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$prefix/share/bash-completion/completions/qvtool" "$@"
}
cases=(
    "sort|$prefix/bin/qvtool so"
    "--descending|$prefix/bin/qvtool sort 1 --de"
    "file-date|$prefix/bin/qvtool sort 1 fi"
    "file-date|$prefix/bin/qvtool sort 1 --by fi"
    "--board|$prefix/bin/qvtool --bo"
    "sort|$prefix/bin/qvtool help so"
    "12|$prefix/bin/qvtool --board $prefix/demo/RA list "
    "20|$prefix/bin/qvtool --board $prefix/demo/RA copy 2 3 --to "
    "12|$prefix/bin/qvtool --drive C = /tmp --board = $prefix/demo/RA list "
    "name|$prefix/bin/qvtool sort 1 --by = na"
)
for c in "${cases[@]}"; do
    want=${c%%|*}
    read -r -a words <<<"${c#*|}"
    [[ ${c: -1} == " " ]] && words+=("")
    got=$(complete_line "${words[@]}")
    grep -qx -- "$want" <<<"$got" || fail "completing '${c#*|}' offers '$(tr '\n' ' ' <<<"$got")', not $want"
done
echo "installed files: ${#expected[@]} checked"
