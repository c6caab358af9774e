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
# font, as on a Japanese system.
wine_display 96 IPAPGothic
out="$demo/extracted"
log="$demo/driver.log"
"$WINE" explorer /desktop=lzhsfx,640x480 "$(winpath "$WIN_BUILD/wine_driver.exe")" \
  --extract-all "$(winpath "$sfx")" "$(winpath "$demo")\\extracted" 4000 >"$log" 2>&1 &
driver=$!
for _ in $(seq 1 300); do
  grep -q '^verdict:' "$log" 2>/dev/null && break
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.2
done
sleep 0.5
shot="$demo/dialog.png"
import -window root -crop 640x480+0+0 "$shot" 2>/dev/null || true
wait "$driver" || true

tr -d '\r' <"$log"
echo "extracted files:"
(cd "$out" 2>/dev/null && find . -type f | sort | sed 's|^\./|  |') || echo "  (none)"
if [ -s "$shot" ]; then echo "screenshot: $shot"; fi
grep -q '^verdict: CRC validation passed' "$log"
