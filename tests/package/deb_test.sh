#!/usr/bin/env bash
# The tool as its users install it, two ways: `cmake --install` of the
# optimised build into a prefix, and the Debian package unpacked with
# dpkg-deb into a root of its own. In each tree lzhsfx reports the
# project's version, `man lzhsfx` finds its page, it lists and extracts the
# sample archive as lhasa does, and it builds a program with the stub it
# was installed with. The package must also depend on nothing beyond the C
# library (the C++ run-time is linked in), and pass lintian.
#
# Usage: deb_test.sh [BUILD-DIR [PACKAGE]]
#   (defaults: build/native-release, build/packages/lzhsfx_VERSION_*.deb)
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/native-release}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=${2:-$(ls build/packages/lzhsfx_"${version}"_*.deb 2>/dev/null | head -n1)}
sample=$PWD/tests/data/sample/sample.lzh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source tests/package/check.sh

mkdir "$work/reference"
(cd "$work/reference" && lhasa xq "$sample")

same_files() {  # TREE EXPECTED-FILE...: the tree holds exactly these files
  diff <(cd "$1" && find . -type f | sed 's|^\./||' | sort) <(shift; printf '%s\n' "$@" | sort)
}
reports_version() { [ "$("$1/bin/lzhsfx" --version)" = "lzhsfx $version" ]; }
man_finds_page() {
  MANPATH="$1/share/man" MANWIDTH=80 man lzhsfx 2>&1 | tr -s ' ' | grep 'lzhsfx build ARCHIVE -o OUT.exe' >/dev/null
}
lists_sample() {
  diff <("$1/bin/lzhsfx" list -b "$sample" | awk '{ print $NF }' | sort) \
    <(cd "$work/reference" && find . -type f | sed 's|^\./||' | sort)
}
extracts_sample() {
  "$1/bin/lzhsfx" extract "$sample" -C "$work/out-$2" --overwrite &&
    diff -r "$work/reference" "$work/out-$2"
}
builds_with_its_stub() {  # no --stub: the installed stub must be found
  local tool="$1/bin/lzhsfx" program="$work/program-$2"
  "$tool" build "$sample" -o "$program.exe" &&
    "$tool" build "$sample" -o "$program-named.exe" --stub "$1/share/lzhsfx/lzhsfx-stub.exe" &&
    cmp "$program.exe" "$program-named.exe" && "$tool" test "$program.exe"
}
check_tree() {  # PREFIX NAME TAG EXPECTED-FILE...
  local prefix=$1 name=$2 tag=$3
  shift 3
  check "$name: installs exactly its files" same_files "$prefix" "$@"
  check "$name: lzhsfx --version reports $version" reports_version "$prefix"
  check "$name: man lzhsfx shows the manual page" man_finds_page "$prefix"
  check "$name: lzhsfx lists the sample archive's members" lists_sample "$prefix"
  check "$name: lzhsfx extracts the sample archive as lhasa does" extracts_sample "$prefix" "$tag"
  check "$name: lzhsfx builds a program with the stub it installed" \
    builds_with_its_stub "$prefix" "$tag"
}

common=(bin/lzhsfx share/lzhsfx/lzhsfx-stub.exe share/man/man1/lzhsfx.1.gz
        share/doc/lzhsfx/README.md)

check "cmake --install puts the optimised build into a prefix" \
  cmake --install "$build" --prefix "$work/install" --strip
check_tree "$work/install" "cmake --install" install "${common[@]}" share/doc/lzhsfx/LICENSE

if [ -z "$deb" ]; then
  echo "not ok - no Debian package of version $version in build/packages (make deb makes it)"
  exit 1
fi
echo "package: $deb ($(stat -c %s "$deb") bytes)"
check "dpkg-deb unpacks the package" dpkg-deb -x "$deb" "$work/deb"
check_tree "$work/deb/usr" "Debian package" deb "${common[@]}" \
  share/doc/lzhsfx/copyright share/doc/lzhsfx/changelog.gz

# Depends: a list of "package (version)" separated by commas.
only_c_library() {
  local depends
  depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{ print $1 }' | grep .)
  echo "Depends: $(dpkg-deb -f "$deb" Depends)"
  ! grep -v -x -E 'libc6' <<<"$depends"
}
check "the package depends on the C library only" only_c_library
# Lintian's informational tags are shown; warnings and errors fail.
check "lintian finds no error and no warning in the package" \
  lintian --info --display-info --fail-on error,warning "$deb"
exit $status
