#!/usr/bin/env bash
# Static analysis: cppcheck and clang-tidy over the product's portable
# sources with the checks chosen here, then the naming rule of .clang-tidy
# over every C++ file of the tree: product (both platform halves, start-up
# and dialogs), command-line tool, tests, fuzz targets and benchmark.
# Needs a configured native build for its compile commands (build/native by
# default); the Windows build's (build/win32 by default) are configured when
# missing. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cppcheck clang-tidy; do
  command -v $tool >/dev/null || { echo "$tool is missing (tools/install-deps.sh installs it)"; exit 1; }
done
build=${1:-build/native}
win32_build=${2:-build/win32}
jobs=${JOBS:-2}
sources=$(git ls-files 'src/*.cpp' | grep -v -E 'win32|src/ui/|src/startup/')
status=0
echo "cppcheck: $(echo "$sources" | wc -l) files"
cppcheck --quiet --enable=warning,performance,portability --std=c++20 --inline-suppr \
  --error-exitcode=1 -I src $sources || status=1
echo "clang-tidy: $(echo "$sources" | wc -l) files"
checks='-*,bugprone-*,clang-analyzer-*,performance-*,-bugprone-easily-swappable-parameters,'
checks+='-bugprone-narrowing-conversions,-bugprone-implicit-widening-of-multiplication-result'
# These checks look at the sources themselves, not at the headers they include.
findings=$(clang-tidy -p "$build" --quiet -checks="$checks" --header-filter='^$' $sources \
             2>/dev/null | grep -E '(warning|error):' || true)
if [ -n "$findings" ]; then
  echo "$findings"
  status=1
fi

# The naming rule. Every file is read as each build compiles it, so both
# sides of the platform conditionals are seen: the native build's compile
# commands, then the Windows build's with the MinGW C++ headers (clang 14
# does not find them in Debian's versioned MinGW directories by itself);
# the fuzz targets, which only the clang fuzz build compiles, with their
# include directories. Headers are checked through the files that include
# them.
if [ ! -f "$win32_build/compile_commands.json" ]; then
  cmake -S . -B "$win32_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
mingw_args=(--extra-arg=-nostdinc++)
for dir in $(echo | i686-w64-mingw32-g++ -x c++ -E -v - 2>&1 |
             sed -n '/<\.\.\.> search starts/,/End of/p' | grep 'include/c++'); do
  mingw_args+=("--extra-arg=-isystem$dir")
done
files_of() {  # the sources in a build's compile commands
  sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json" | sort -u
}
native_files=$(files_of "$build")
win32_files=$(files_of "$win32_build")
fuzz_files=$(git ls-files 'tests/fuzz/*.cpp')
echo "naming: $(echo "$native_files" | wc -l) native, $(echo "$win32_files" | wc -l) Windows," \
  "$(echo "$fuzz_files" | wc -l) fuzz files"
# Each clang-tidy run writes a file of its own, so parallel runs cannot mix
# their lines.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tidy() { "$@" >"$(mktemp "$out/tidy-XXXXXX")" 2>&1 || true; }
export -f tidy
export out
echo "$native_files" | xargs -P "$jobs" -n 4 bash -c 'tidy "$@"' _ clang-tidy -p "$build" --quiet
echo "$win32_files" | xargs -P "$jobs" -n 4 bash -c 'tidy "$@"' _ \
  clang-tidy -p "$win32_build" --quiet "${mingw_args[@]}"
echo "$fuzz_files" | xargs -P "$jobs" -n 1 bash -c 'tidy "$@" -- -std=c++20 -Isrc -Itests' _ \
  clang-tidy --quiet
naming=$(cat "$out"/* | grep -E '(warning|error):' | sort -u || true)
if [ -n "$naming" ]; then
  echo "$naming"
  status=1
fi
[ $status -eq 0 ] && echo "analysers: no findings"
exit $status
