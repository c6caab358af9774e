#!/usr/bin/env bash
# The portable core's unit tests built for 32-bit x86 Linux (g++ -m32,
# static, GoogleTest from its Debian sources): the same tests with 32-bit
# size_t and pointers, as the stub has them, on the tool's build of the core
# (unit_tests) and on the program's (program_unit_tests). Run natively where
# the kernel runs 32-bit code, else under the user-mode emulator qemu-i386;
# the first line says which, and why.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake --preset i386 && cmake --build --preset i386 -j"${JOBS:-2}" --target unit_tests program_unit_tests; } \
     >"$log" 2>&1; then
  tail -n 40 "$log"
  exit 1
fi
if build/i386/unit_tests --gtest_list_tests >/dev/null 2>&1; then
  echo "build/i386/unit_tests (32-bit) runs natively: this kernel runs 32-bit code"
  run=()
else
  echo "build/i386/unit_tests (32-bit) runs under qemu-i386: this kernel runs no 32-bit code"
  run=(qemu-i386)
fi
# Death tests fork; under the emulator gtest cannot count threads and says
# so once per test, which is noise here.
status=0
for tests in unit_tests program_unit_tests; do
  echo "build/i386/$tests:"
  TZ=Europe/Berlin "${run[@]}" build/i386/$tests --gtest_brief=1 2>&1 |
    grep -v -e 'Death tests use fork' -e '^$' || status=1
done
exit $status
