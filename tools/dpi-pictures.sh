#!/usr/bin/env bash
# The main dialog at 96, 120, 144 and 192 DPI under Wine, for docs/: the
# screen's DPI is set per run (Wine's LogPixels), the sample program
# extracts everything through its dialog, and the dialog is cut out of a
# screenshot into docs/dialog-DPI.png. The dialog font "ＭＳ Ｐゴシック" is
# replaced by IPAPGothic, made metric-compatible with it, so the dialog
# comes out as on a Japanese system.
#
# Then the layout test runs at each DPI with "MS Sans Serif" in the font's
# place, as a Western system without the Japanese fonts would draw it, and
# prints which control texts do not fit (docs/high-dpi.md reports them).
set -euo pipefail
export LZH_XVFB_SCREEN=1600x1200x24 LZH_FORCE_XVFB=1
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/wine_env.sh"
trap 'wine_display 96; wine_cleanup' EXIT

work="$ROOT/build/dpi-pictures"
rm -rf "$work"
mkdir -p "$work"
stub="$WIN_BUILD/lzhsfx-stub.exe"
tool="$ROOT/build/native-release/lzhsfx"
[ -x "$tool" ] || tool="$ROOT/build/native/lzhsfx"
"$tool" build "$ROOT/tests/data/sample/sample.lzh" -o "$work/sample.exe" \
  --stub "$stub" >/dev/null

# Into a folder any Windows machine has, not this machine's build tree.
out="$WINEPREFIX/drive_c/users/Public/Downloads/myapp"
for dpi in 96 120 144 192; do
  wine_display "$dpi" IPAPGothic
  log="$work/$dpi.log"
  rm -rf "$out"
  mkdir -p "${out%/*}"
  "$WINE" explorer /desktop=lzhsfx,1600x1200 "$(winpath "$WIN_BUILD/wine_driver.exe")" \
    --extract-all "$(winpath "$work/sample.exe")" 'C:\Users\Public\Downloads\myapp' 3000 \
    >"$log" 2>&1 &
  driver=$!
  for _ in $(seq 1 300); do
    grep -q '^verdict:' "$log" 2>/dev/null && break
    kill -0 "$driver" 2>/dev/null || break
    sleep 0.2
  done
  sleep 0.5
  place=$(tr -d '\r' <"$log" | sed -n 's/^dialog: //p')
  import -window root -crop "$place" +repage "$ROOT/docs/dialog-$dpi.png"
  wait "$driver" || { tr -d '\r' <"$log"; exit 1; }
  echo "docs/dialog-$dpi.png: $place, $(tr -d '\r' <"$log" | sed -n 's/^verdict: //p')"
done

echo "control texts that do not fit with MS Sans Serif for the dialog font:"
for dpi in 96 120 144 192; do
  wine_display "$dpi" "MS Sans Serif"
  "$WINE" "$WIN_BUILD/wine_driver.exe" --dpi "$dpi" "$(winpath "$stub")" \
    "$(winpath "$work")\\layout" | tr -d '\r' | sed -n 's/^    # /  /p'
done
