#!/usr/bin/env bash
# The unit tests under valgrind (memcheck, leak check), split into as many
# gtest shards as there are jobs and run side by side: valgrind runs a
# program on one core, so one process would leave the others idle.
# usage: valgrind-unit-tests.sh [JOBS]
set -uo pipefail
cd "$(dirname "$0")/.."
shards=${1:-2}
pids=()
for ((i = 0; i < shards; i++)); do
  GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i \
    valgrind -q --error-exitcode=1 --leak-check=full --child-silent-after-fork=yes \
    build/native/unit_tests --gtest_brief=1 >"build/native/valgrind-shard-$i.log" 2>&1 &
  pids+=($!)
done
status=0
for ((i = 0; i < shards; i++)); do
  if ! wait "${pids[$i]}"; then
    status=1
    echo "valgrind shard $i of $shards failed:"
  fi
  tail -5 "build/native/valgrind-shard-$i.log"
done
exit $status
