#!/usr/bin/env bash
# Runs every test stage of `make test` on the builds it has made, goes on
# after a failing stage, and closes with one line counting the stages.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
passed=0
failed=0
failures=()

stage() {
  local name=$1
  shift
  echo
  echo "== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "-- $name: passed ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "-- $name: FAILED ($((SECONDS - start)) s)"
  fi
}

export TZ=Europe/Berlin
# The program's configuration (Program.*: the shared core's tests on the
# core as the stub builds it) in stages of its own.
stage "native tests" ctest --preset native -j"$JOBS" -E '^Program[.]'
stage "native tests, the program's configuration" ctest --preset native -j"$JOBS" -R '^Program[.]'
stage "native tests under ASan and UBSan" ctest --preset native-asan -j"$JOBS" -E '^Program[.]'
stage "native tests under ASan and UBSan, the program's configuration" \
  ctest --preset native-asan -j"$JOBS" -R '^Program[.]'
stage "native unit tests under valgrind" bash tools/valgrind-unit-tests.sh "$JOBS"
stage "command-line tool under valgrind" \
  env LZH_CLI_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full" \
  build/native/cli_tests --gtest_brief=1
stage "32-bit unit tests (g++ -m32), both configurations" bash tools/unit-tests-i386.sh
stage "static analysis" bash tools/analyze.sh build/native
stage "Windows program under Wine" bash tests/e2e/run_wine_tests.sh
stage "install and Debian package" bash tests/package/deb_test.sh
stage "Windows release archive under Wine" bash tests/package/dist_test.sh
stage "bounded fuzzing (${FUZZ_SECONDS} s a target, half on the program's configuration)" \
  bash tests/fuzz/run_fuzzers.sh "$FUZZ_SECONDS"

echo
[ ${#failures[@]} -eq 0 ] || echo "failed stages: ${failures[*]}"
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
