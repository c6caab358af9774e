#!/usr/bin/env bash
# The Windows release archive as a user gets it. The zip holds one folder
# with exactly lzhsfx.exe, lzhsfx-stub.exe, README.txt and LICENSE.txt; both
# programs are 32-bit x86, and the stub's version resource carries the
# project's version. README.txt is the Windows readme, every line ending in
# CRLF. Unpacked, lzhsfx.exe reports that version, builds a
# self-extracting program from the sample archive with the stub beside it
# (no --stub), and extracts that program as lhasa extracts the archive.
#
# Wine runs the 32-bit programs only where the kernel runs 32-bit code.
# Elsewhere the two programs of the unpacked folder are replaced by the
# x86-64 build of the same sources (tests/e2e/wine_env.sh builds it), and
# the folder is run with those; the test says which it ran.
#
# Usage: dist_test.sh [ZIP]   (default: build/packages/lzhsfx-VERSION-win32.zip)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/wine_env.sh" || exit 1
cd "$ROOT"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
zip=${1:-build/packages/lzhsfx-$version-win32.zip}
folder=lzhsfx-$version-win32
sample=$ROOT/tests/data/sample/sample.lzh
work=$(mktemp -d "$ROOT/build/dist-test.XXXXXX")
trap 'rm -rf "$work"; wine_cleanup' EXIT

source "$ROOT/tests/package/check.sh"

[ -f "$zip" ] || { echo "not ok - no release archive $zip (make dist makes it)"; exit 1; }
echo "release archive: $zip ($(stat -c %s "$zip") bytes)"
holds_its_files() {
  diff <(cmake -E tar tf "$zip" | sort) \
    <(printf "$folder/%s\n" LICENSE.txt README.txt lzhsfx-stub.exe lzhsfx.exe)
}
check "the zip holds one folder with the programs, the README and the licence" holds_its_files
mkdir "$work/unpacked"
check "the zip unpacks" bash -c "cd '$work/unpacked' && cmake -E tar xf '$ROOT/$zip'"
release=$work/unpacked/$folder
# The Windows readme with the version filled in, every line (the last too)
# ending in CRLF.
is_windows_readme() {
  diff <(sed "s/@PROJECT_VERSION@/$version/" packaging/README-windows.txt) \
    <(tr -d '\r' <"$release/README.txt") &&
    [ "$(grep -c $'\r$' "$release/README.txt")" -eq "$(wc -l <"$release/README.txt")" ] &&
    [ "$(tail -c 2 "$release/README.txt" | od -An -tx1 | tr -d ' ')" = 0d0a ]
}
check "README.txt is the Windows readme, with CRLF line ends" is_windows_readme

is_i386() { i686-w64-mingw32-objdump -f "$1" | grep -q 'file format pei-i386'; }
check "lzhsfx.exe is a 32-bit x86 program" is_i386 "$release/lzhsfx.exe"
check "lzhsfx-stub.exe is a 32-bit x86 program" is_i386 "$release/lzhsfx-stub.exe"
# The version resource's strings are UTF-16: each key, then its value.
carries_version() {
  local values
  values=$(strings -el "$1" | grep -A1 -x -E 'FileVersion|ProductVersion' |
             grep -v -x -E 'FileVersion|ProductVersion|--' | sort -u)
  echo "version resource: $values"
  [ "$values" = "$version" ]
}
check "the stub's version resource carries $version" carries_version "$release/lzhsfx-stub.exe"
check "lzhsfx.exe's version resource carries $version" carries_version "$release/lzhsfx.exe"

if [ "$ARCH" = win32 ]; then
  echo "note: running the release archive's own 32-bit programs"
else
  echo "note: running the release archive's folder with the x86-64 build of the same sources"
  cp "$WIN_BUILD/lzhsfx.exe" "$WIN_BUILD/lzhsfx-stub.exe" "$release/"
fi
tool() { "$WINE" "$release/lzhsfx.exe" "$@"; }
reports_version() { [ "$(tool --version | tr -d '\r')" = "lzhsfx $version" ]; }
check "lzhsfx.exe --version reports $version" reports_version
# A program's first KiB with its PE checksum zeroed: build writes the
# checksum over the whole program, stub and archive.
head_without_checksum() {
  local field=$(($(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 88))
  { head -c "$field" "$1"; printf '\0\0\0\0'; tail -c +$((field + 5)) "$1"; } | head -c 1024
}
builds_with_stub_beside_it() {
  tool build "$(winpath "$sample")" -o "$(winpath "$work")\\sample.exe" &&
    cmp <(head_without_checksum "$release/lzhsfx-stub.exe") \
      <(head_without_checksum "$work/sample.exe")
}
check "lzhsfx.exe build finds the stub beside it" builds_with_stub_beside_it
mkdir "$work/reference"
(cd "$work/reference" && lhasa xq "$sample")
extracts_program() {
  tool extract "$(winpath "$work/sample.exe")" -C "$(winpath "$work")\\out" --overwrite &&
    diff -r "$work/reference" "$work/out"
}
check "lzhsfx.exe extracts that program as lhasa extracts the archive" extracts_program
exit $status
