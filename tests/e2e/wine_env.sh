# Shared by run_wine_tests.sh and tools/demo.sh (sourced, not run): picks the
# Windows build that Wine can run here, builds it, sets up a Wine prefix and
# a display, and cleans up Wine and the display it started on exit.
#
# The stub is a 32-bit program. Where the kernel cannot run 32-bit code
# (ia32 emulation off), 32-bit Wine cannot start at all; there the same
# sources are cross-built for x86-64 and run under 64-bit Wine instead.
#
# Sets: ROOT, WIN_BUILD (build directory), WINE (loader), WINEPREFIX,
# DISPLAY, and the function winpath. LZH_XVFB_SCREEN sizes the display it
# starts (1024x768x24).

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
JOBS="${JOBS:-2}"

# Runs a 32-bit i386 binary natively? (Not through a user-mode emulator,
# under which Wine cannot map its fixed memory areas.)
native_i386() {
  [ -x /usr/lib/wine/wine ] || return 1
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386 &&
    return 1
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "wine tests need: ${missing[*]} (apt-get install them)" >&2
    return 1
  fi
  echo "installing ${missing[*]}"
  apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

if [ -n "${LZH_WINE_ARCH:-}" ]; then
  ARCH="$LZH_WINE_ARCH"
  why="LZH_WINE_ARCH asks for it"
elif native_i386; then
  ARCH=win32
  why="this kernel runs 32-bit code"
else
  ARCH=win64
  why="this kernel runs no 32-bit code, so 32-bit Wine cannot start"
fi

if [ "$ARCH" = win32 ]; then
  echo "note: Wine runs the 32-bit program as shipped (build/win32): $why"
  install_missing wine wine32 xvfb x11-utils imagemagick g++-mingw-w64-i686
  WIN_BUILD="$ROOT/build/win32"
  WINE=/usr/lib/wine/wine
  (cd "$ROOT" && cmake --preset win32 >/dev/null)
else
  echo "note: Wine runs the x86-64 build of the same sources (build/win64): $why;" \
    "the 32-bit program is checked as a file (Stub32Image) and its core under qemu-i386"
  install_missing wine wine64 xvfb x11-utils imagemagick g++-mingw-w64-x86-64-win32
  WIN_BUILD="$ROOT/build/win64"
  WINE=/usr/lib/wine/wine64
  cmake -S "$ROOT" -B "$WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
cmake --build "$WIN_BUILD" -j"$JOBS" --target lzhsfx-stub wine_driver planted_dll lzhsfx >/dev/null

export WINEPREFIX="${LZH_WINEPREFIX:-$ROOT/build/wine-prefix-$ARCH}"
export WINELOADER="$WINE"
export WINEARCH="$ARCH"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export TZ="${TZ:-Europe/Berlin}"

# Z: is the whole Unix file system in every Wine prefix.
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr / '\\')"; }

XVFB_PID=""
wine_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}
trap wine_cleanup EXIT

if [ -z "${DISPLAY:-}" ] || [ -n "${LZH_FORCE_XVFB:-}" ]; then
  display_file="$(mktemp)"
  Xvfb -displayfd 1 -screen 0 "${LZH_XVFB_SCREEN:-1024x768x24}" -nolisten tcp \
    >"$display_file" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating the Wine prefix $WINEPREFIX (a minute or two, once)"
  mkdir -p "$WINEPREFIX"
  timeout 600 "$WINE" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

# Wine's own fonts (fonts-wine: Marlett, which draws the caption buttons,
# Tahoma, MS Sans Serif) are found here only in the prefix's Fonts folder.
for font in /usr/share/wine/fonts/*.ttf; do
  if [ -e "$font" ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ]; then
    ln -s "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
done

# The screen's DPI (Wine's LogPixels) and the font that stands in for the
# dialog font "ＭＳ Ｐゴシック" (none: Wine's own choice), for the programs
# started after it. Written as a UTF-16 .reg file, since the font's name is
# not ASCII; the Wine server is restarted so that every process reads them.
wine_display() {
  local dpi=$1 font=${2:-} reg
  reg="$(mktemp --suffix=.reg)"
  {
    printf '\xff\xfe'
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      if [ -n "$font" ]; then
        printf '"ＭＳ Ｐゴシック"="%s"\r\n' "$font"
      else
        printf '"ＭＳ Ｐゴシック"=-\r\n'
      fi
    } | iconv -f UTF-8 -t UTF-16LE
  } >"$reg"
  "$WINE" regedit /S "$(winpath "$reg")" >/dev/null 2>&1
  rm -f "$reg"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
