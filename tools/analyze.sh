#!/usr/bin/env bash
# Static analysis of the product's sources: cppcheck and clang-tidy, with
# the checks chosen here. Needs a configured native build for the compile
# commands (build/native by default). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
sources=$(git ls-files 'src/*.cpp' | grep -v -E 'win32|src/ui/|src/startup/')
status=0
echo "cppcheck: $(echo "$sources" | wc -l) files"
cppcheck --quiet --enable=warning,performance,portability --std=c++20 --inline-suppr \
  --error-exitcode=1 -I src $sources || status=1
echo "clang-tidy: $(echo "$sources" | wc -l) files"
checks='-*,bugprone-*,clang-analyzer-*,performance-*,-bugprone-easily-swappable-parameters,'
checks+='-bugprone-narrowing-conversions,-bugprone-implicit-widening-of-multiplication-result'
findings=$(clang-tidy -p "$build" --quiet -checks="$checks" $sources 2>/dev/null |
           grep -E '(warning|error):' || true)
if [ -n "$findings" ]; then
  echo "$findings"
  status=1
fi
[ $status -eq 0 ] && echo "analysers: no findings"
exit $status
