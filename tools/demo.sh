#!/usr/bin/env bash
# `make demo`: attaches the sample archive (tests/data/sample) to the stub
# and runs the result under Wine.
#  - With a display, the dialog opens there for you to use; the demo ends
#    when you leave it.
#  - Without one, it starts Xvfb, extracts everything through the dialog,
#    prints the verdict and the extracted files, and saves its pictures in
#    build/demo/.
# LZH_PICTURES=docs (make pictures) renews the README's two pictures in
# docs/ instead, always under Xvfb.
set -euo pipefail
had_display="${DISPLAY:-}"
pictures_to_docs=no
if [ "${LZH_PICTURES:-}" = docs ]; then
  pictures_to_docs=yes
  had_display=""
  export LZH_FORCE_XVFB=1
fi
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
# drawn with its frame and caption. Its font is MS Sans Serif, as on a Western
# system: a Japanese font would draw each \ of the path as a yen sign. The
# folder is one any Windows machine has, not this machine's build tree. Two
# runs: everything into a new folder (the main dialog's picture), then again
# into the same folder, where the first member's overwrite question is held
# for its picture and every question is answered Yes.
wine_display 96 "MS Sans Serif"
trap 'wine_display 96; wine_cleanup' EXIT
public="$WINEPREFIX/drive_c/users/Public"
out="$public/Downloads/myapp"
rm -rf "$out"
mkdir -p "$public/Downloads"
pictures="$demo"
[ $pictures_to_docs = no ] || pictures="$ROOT/docs"

# run LOG WAIT PLACE PICTURE: the dialog program extracting everything into
# $out; once LOG shows a line starting with WAIT, the place (WxH+X+Y) on its
# line starting with PLACE is taken from the screen into PICTURE. Fails
# when the program does not end with its success verdict.
run() {
  local log=$1 wait=$2 line=$3 picture=$4
  "$WINE" explorer /desktop=lzhsfx,640x480 "$(winpath "$WIN_BUILD/wine_driver.exe")" \
    --extract-all "$(winpath "$sfx")" 'C:\Users\Public\Downloads\myapp' 3000 >"$log" 2>&1 &
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

run "$demo/first.log" "verdict:" "dialog:" "$pictures/demo-dialog.png"
echo "extracted files:"
(cd "$out" 2>/dev/null && find . -type f | sort | sed 's|^\./|  |') || echo "  (none)"
run "$demo/again.log" "box at:" "box at:" "$pictures/demo-question.png"
echo "pictures: ${pictures#"$ROOT"/}/demo-dialog.png (the dialog after extracting)," \
  "${pictures#"$ROOT"/}/demo-question.png (the question when a file exists)"
