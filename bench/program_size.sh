#!/usr/bin/env bash
# The program's size against its budget, and the room left: every archive
# made into a program pays its size.
#
#   bench/program_size.sh [STUB]    (default: build/win32/lzhsfx-stub.exe)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stub="${1:-$root/build/win32/lzhsfx-stub.exe}"
budget=$(sed -n 's/^set(LZH_PROGRAM_BUDGET \([0-9]*\))$/\1/p' "$root/CMakeLists.txt")
size=$(stat -c %s "$stub")
printf 'the program (%s): %d bytes of its %d-byte budget, %d bytes of headroom\n' \
  "$(basename "$stub")" "$size" "$budget" $((budget - size))
[ "$size" -le "$budget" ]
