#!/usr/bin/env bash
# The README's quick start and its session ("## Quick start", "## A session"),
# run as a new user would type them: each "$ " line of the section's first sh
# block is run in an empty directory of its own (the quick start's holds a
# folder myapp/) with lzhsfx first on the PATH, stdout and stderr together.
# Each command must succeed, and the lines shown under it must appear in its
# output in that order (other lines may come between). Dates and times in
# the README stand for any date and time.
#
# Usage: readme_session_test.sh LZHSFX README
set -uo pipefail
tool=$1
readme=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/.bin"
mkdir -p "$bin"
ln -s "$(realpath "$tool")" "$bin/lzhsfx"

# A README line as a pattern: literal text, dates and times as any.
pattern() {
  sed -e 's/[][\.*^$/]/\\&/g' \
      -e 's/[0-9]\{4\}-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]/[0-9-]\\{10\\} [0-9:]\\{8\\}/g' <<<"$1"
}

status=0
# run_section TITLE DIR: the section's block, in DIR.
run_section() {
  local title=$1 dir=$2 block line cmd output rc rest want p n i
  block=$(awk -v title="## $title" '$0 == title { on = 1; next }
               on && /^```sh/ { inside = 1; next }
               inside && /^```/ { exit }
               inside { print }' "$readme")
  [ -n "$block" ] || { echo "FAIL: no sh block under '## $title' in $readme"; status=1; return; }
  local commands=() expected=()
  while IFS= read -r line; do
    if [[ $line == '$ '* ]]; then
      commands+=("${line#\$ }")
      expected+=("")
    elif [ ${#commands[@]} -gt 0 ]; then
      expected[-1]+="$line"$'\n'
    fi
  done <<<"$block"
  for i in "${!commands[@]}"; do
    cmd=${commands[$i]}
    output=$(cd "$dir" && PATH="$bin:$PATH" TZ=UTC bash -c "$cmd" 2>&1)
    rc=$?
    if [ $rc -ne 0 ]; then
      echo "FAIL: \$ $cmd"
      echo "  ended with status $rc after:"
      sed 's/^/    /' <<<"$output"
      status=1
      continue
    fi
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
  [ $status -ne 0 ] || echo "README $title: ${#commands[@]} commands, their output as shown"
}

# The quick start makes a program, for which lzhsfx needs the Windows stub
# (built by the win32 preset); it is looked for where lzhsfx looks.
tool_dir=$(dirname "$(realpath "$tool")")
stub_found=no
for stub in "$tool_dir/lzhsfx-stub.exe" "$tool_dir/../win32/lzhsfx-stub.exe" \
            "$tool_dir/../share/lzhsfx/lzhsfx-stub.exe"; do
  [ -f "$stub" ] && stub_found=yes
done
if [ $stub_found = yes ]; then
  mkdir -p "$work/quick/myapp/docs"
  printf 'echo installed\r\n' >"$work/quick/myapp/install.bat"
  seq 1 2000 >"$work/quick/myapp/docs/numbers.txt"
  run_section "Quick start" "$work/quick"
fi
mkdir "$work/session"
run_section "A session" "$work/session"
if [ $status -eq 0 ] && [ $stub_found = no ]; then
  echo "SKIP: the quick start was not run: no Windows stub beside $tool (make win32 builds it)"
  exit 77
fi
exit $status
