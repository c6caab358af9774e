#!/usr/bin/env bash
# `make demo`: attaches the sample archive (tests/data/sample) to the stub
# and runs the result under Wine.
#  - With a display, the dialog opens there for you to use; the demo ends
#    when you leave it.
#  - Without one, it starts Xvfb, extracts everything through the dialog,
#    prints the verdict and the extracted files, and saves a screenshot.
set -euo pipefail
had_display="${DISPLAY:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/wine_env.sh"

demo="$ROOT/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
sample="$ROOT/tests/data/sample/sample.lzh"
sfx="$demo/sample.exe"
stub="$WIN_BUILD/lzhsfx-stub.exe"

if [ -x "$ROOT/build/native-release/lzhsfx" ]; then
  "$ROOT/build/native-release/lzhsfx" build "$sample" -o "$sfx" --stub "$stub"
else
  "$WINE" "$WIN_BUILD/wine_driver.exe" --build "$(winpath "$stub")" "$(winpath "$sample")" \
    "$(winpath "$demo")\\sample.exe"
fi
echo "built $sfx ($(stat -c %s "$sfx") bytes: a $(stat -c %s "$stub")-byte stub and the archive)"

if [ -n "$had_display" ]; then
  echo "the dialog is open on $DISPLAY; extract wherever you like, then press Exit"
  (cd "$demo" && "$WINE" "$sfx")
  exit 0
fi

# No display: Wine's own desktop window inside Xvfb, so that the dialog is
# drawn with its frame and caption, in IPAPGothic, the metric match of its
# font, as on a Japanese system. Two runs: everything into a new folder
# (the main dialog's picture), then again into the same folder, where the
# first member's overwrite question is held for its picture and every
# question is answered Yes.
wine_display 96 IPAPGothic
out="$demo/extracted"

# run LOG WAIT PLACE PICTURE: the dialog program extracting everything into
# $out; once LOG shows a line starting with WAIT, the place (WxH+X+Y) on its
# line starting with PLACE is taken from the screen into PICTURE. Fails
# when the program does not end with its success verdict.
run() {
  local log=$1 wait=$2 line=$3 picture=$4
  "$WINE" explorer /desktop=lzhsfx,640x480 "$(winpath "$WIN_BUILD/wine_driver.exe")" \
    --extract-all "$(winpath "$sfx")" "$(winpath "$demo")\\extracted" 3000 >"$log" 2>&1 &
  local driver=$!
  for _ in $(seq 1 300); do
    grep -q "^$wait" "$log" 2>/dev/null && break
    kill -0 "$driver" 2>/dev/null || break
    sleep 0.2
  done
  sleep 0.5
  local place
  place=$(tr -d '\r' <"$log" | sed -n "s/^$line //p" | head -1)
  [ -n "$place" ] && import -window root -crop "$place" +repage "$picture" 2>/dev/null
  wait "$driver" || true
  tr -d '\r' <"$log"
  grep -q '^verdict: CRC validation passed' "$log"
}

run "$demo/first.log" "verdict:" "dialog:" "$ROOT/docs/demo-dialog.png"
echo "extracted files:"
(cd "$out" 2>/dev/null && find . -type f | sort | sed 's|^\./|  |') || echo "  (none)"
run "$demo/again.log" "box at:" "box at:" "$ROOT/docs/demo-question.png"
echo "pictures: docs/demo-dialog.png (the dialog after extracting), docs/demo-question.png" \
  "(the question when a file exists)"
