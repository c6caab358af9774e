#!/usr/bin/env bash
# The README's session ("## A session"), run as a new user would type it: each
# "$ " line of its first sh block is run in an empty directory with lzhsfx
# first on the PATH, stdout and stderr together; the lines shown under a
# command must appear in its output in that order (other lines may come
# between). Dates and times in the README stand for any date and time.
#
# Usage: readme_session_test.sh LZHSFX README
set -uo pipefail
tool=$1
readme=$2
command -v jlha >/dev/null || { echo "SKIP: jlha is not installed (tools/install-deps.sh)"; exit 77; }

block=$(awk '/^## A session/ { on = 1; next }
             on && /^```sh/ { inside = 1; next }
             inside && /^```/ { exit }
             inside { print }' "$readme")
[ -n "$block" ] || { echo "no sh block under '## A session' in $readme"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/.bin"
mkdir -p "$bin"
ln -s "$(realpath "$tool")" "$bin/lzhsfx"

status=0
commands=() expected=()
while IFS= read -r line; do
  if [[ $line == '$ '* ]]; then
    commands+=("${line#\$ }")
    expected+=("")
  elif [ ${#commands[@]} -gt 0 ]; then
    expected[-1]+="$line"$'\n'
  fi
done <<<"$block"

# A README line as a pattern: literal text, dates and times as any.
pattern() {
  sed -e 's/[][\.*^$/]/\\&/g' \
      -e 's/[0-9]\{4\}-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]/[0-9-]\\{10\\} [0-9:]\\{8\\}/g' <<<"$1"
}

for i in "${!commands[@]}"; do
  cmd=${commands[$i]}
  output=$(cd "$work" && PATH="$bin:$PATH" TZ=UTC bash -c "$cmd" 2>&1)
  rest=$output
  while IFS= read -r want; do
    [ -n "$want" ] || continue
    p=$(pattern "$want")
    # The first matching line, and look on after it.
    n=$(grep -n -m1 -x -- "$p" <<<"$rest" | cut -d: -f1)
    if [ -z "$n" ]; then
      echo "FAIL: \$ $cmd"
      echo "  expected the line: $want"
      echo "  in the output:"
      sed 's/^/    /' <<<"$output"
      status=1
      break
    fi
    rest=$(tail -n +"$((n + 1))" <<<"$rest")
  done <<<"${expected[$i]}"
done
[ $status -ne 0 ] || echo "README session: ${#commands[@]} commands, their output as shown"
exit $status
