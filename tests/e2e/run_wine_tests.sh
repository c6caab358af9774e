#!/usr/bin/env bash
# The Windows program under Wine: the dialog tests of wine_driver, then the
# sample archive built with `lzhsfx build` and extracted through the dialog,
# compared with what lhasa extracts. Starts Xvfb when there is no display;
# ends every Wine process on the way out, also after a failure.
#
# Usage: tests/e2e/run_wine_tests.sh [TEST-NAME-PART]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"

work="$(mktemp -d "$ROOT/build/wine-tests.XXXXXX")"
keep_work() { echo "work files kept in $work"; }

status=0
timeout 1200 "$WINE" "$WIN_BUILD/wine_driver.exe" "$(winpath "$WIN_BUILD/lzhsfx-stub.exe")" \
  "$(winpath "$work")\\dialogs" "${1:-}" | tr -d '\r' || status=$?

# The tests of double-byte names need the ANSI code page 932, which Wine
# takes from the Unix locale: a Japanese UTF-8 locale, made once into the
# build tree so that the system's locales stay as they are.
locale_dir="$ROOT/build/locale"
if [ ! -d "$locale_dir/ja_JP.UTF-8" ]; then
  mkdir -p "$locale_dir"
  localedef -i ja_JP -f UTF-8 "$locale_dir/ja_JP.UTF-8" >/dev/null 2>&1 ||
    echo "note: cannot make a Japanese locale; the code page 932 tests will fail"
fi
LOCPATH="$locale_dir" LC_ALL=ja_JP.UTF-8 timeout 600 "$WINE" "$WIN_BUILD/wine_driver.exe" \
  --code-page 932 "$(winpath "$WIN_BUILD/lzhsfx-stub.exe")" "$(winpath "$work")\\dbcs" "${1:-}" |
  tr -d '\r' || status=1

if [ -z "${1:-}" ] || [[ "the dialogs scale with the DPI" == *"$1"* ]]; then
  # The layout at 96, 120, 144 and 192 DPI, the screen's DPI set per run,
  # with the dialog font replaced by IPAPGothic, its metric match, as the
  # DPI pictures in docs/ are made. The settings are put back afterwards.
  for dpi in 96 120 144 192; do
    wine_display "$dpi" IPAPGothic
    echo "# at $dpi DPI"
    timeout 300 "$WINE" "$WIN_BUILD/wine_driver.exe" --dpi "$dpi" \
      "$(winpath "$WIN_BUILD/lzhsfx-stub.exe")" "$(winpath "$work")\\dpi" "${1:-}" |
      tr -d '\r' || status=1
  done
  wine_display 96
fi

if [ -z "${1:-}" ] || [[ "sample archive" == *"$1"* ]]; then
  # The sample archive, made by a real LHA tool, through `lzhsfx build` when
  # the command-line tool has been built, else through the same patcher.
  sample="$ROOT/tests/data/sample/sample.lzh"
  sfx="$work/sample.exe"
  cli="$ROOT/build/native/lzhsfx"
  if [ -x "$cli" ]; then
    "$cli" build "$sample" -o "$sfx" --stub "$WIN_BUILD/lzhsfx-stub.exe" >/dev/null
  else
    "$WINE" "$WIN_BUILD/wine_driver.exe" --build "$(winpath "$WIN_BUILD/lzhsfx-stub.exe")" \
      "$(winpath "$sample")" "$(winpath "$work")\\sample.exe"
  fi
  mkdir -p "$work/reference"
  (cd "$work/reference" && lhasa xq "$sample")
  if timeout 300 "$WINE" "$WIN_BUILD/wine_driver.exe" --extract-all "$(winpath "$sfx")" \
       "$(winpath "$work")\\sample-out" | tr -d '\r' >"$work/sample.log" &&
     diff -r "$work/reference" "$work/sample-out" >"$work/sample.diff"; then
    echo "ok - the sample archive extracts through the dialog as lhasa extracts it"
  else
    echo "not ok - the sample archive extracts through the dialog as lhasa extracts it"
    sed 's/^/    /' "$work/sample.log" "$work/sample.diff"
    status=1
  fi
fi

if [ -z "${1:-}" ] || [[ "program made by create" == *"$1"* ]]; then
  # A tree of files, nested and empty directories and names with spaces,
  # made into a program by `lzhsfx create` in one step and extracted through
  # the dialog: the same tree, and each file's time stamp (even seconds, the
  # MS-DOS format's step, so that any header level would keep them).
  tree="$work/create-src/tree"
  mkdir -p "$tree/docs/old" "$tree/empty dir" "$tree/data"
  seq 1 30000 >"$tree/numbers.txt"
  printf 'read me\r\n' >"$tree/docs/read me.txt"
  printf 'older' >"$tree/docs/old/notes.txt"
  head -c 4000 /dev/urandom >"$tree/data/noise.bin"
  : >"$tree/data/empty.txt"
  stamp=1500000000
  while IFS= read -r file; do
    stamp=$((stamp + 86402))
    touch -d "@$stamp" "$file"
  done < <(find "$tree" -type f | sort)
  stamps() { (cd "$1" && find . -type f -printf '%P %T@\n' | sort); }
  made="$work/create-made.exe"
  if [ -x "$ROOT/build/native/lzhsfx" ] &&
     "$ROOT/build/native/lzhsfx" create "$made" -C "$work/create-src" tree \
       --stub "$WIN_BUILD/lzhsfx-stub.exe" >"$work/create.log" 2>&1 &&
     timeout 300 "$WINE" "$WIN_BUILD/wine_driver.exe" --extract-all "$(winpath "$made")" \
       "$(winpath "$work")\\create-out" | tr -d '\r' >>"$work/create.log" &&
     diff -r "$work/create-src" "$work/create-out" >>"$work/create.log" &&
     diff <(stamps "$work/create-src") <(stamps "$work/create-out") >>"$work/create.log"; then
    echo "ok - a program made by create extracts its tree with names, directories and times"
  else
    echo "not ok - a program made by create extracts its tree with names, directories and times"
    sed 's/^/    /' "$work/create.log"
    status=1
  fi
fi

if [ -z "${1:-}" ] || [[ "command-line tool" == *"$1"* ]]; then
  # The command-line tool's Windows build on the same sample: test and
  # extract, compared with lhasa's extraction.
  sample="$ROOT/tests/data/sample/sample.lzh"
  mkdir -p "$work/reference-cli"
  (cd "$work/reference-cli" && lhasa xq "$sample")
  if "$WINE" "$WIN_BUILD/lzhsfx.exe" test "$(winpath "$sample")" >"$work/cli.log" 2>&1 &&
     "$WINE" "$WIN_BUILD/lzhsfx.exe" extract "$(winpath "$sample")" -C "$(winpath "$work")\\cli-out" \
       --overwrite >>"$work/cli.log" 2>&1 &&
     diff -r "$work/reference-cli" "$work/cli-out" >>"$work/cli.log"; then
    echo "ok - lzhsfx.exe tests and extracts the sample archive as lhasa extracts it"
  else
    echo "not ok - lzhsfx.exe tests and extracts the sample archive as lhasa extracts it"
    tr -d '\r' <"$work/cli.log" | sed 's/^/    /'
    status=1
  fi
fi

if [ -z "${1:-}" ] || [[ "Japanese names" == *"$1"* ]]; then
  # An empty stored member named 表\ソ.txt in Shift-JIS (level 0): both
  # characters end in the byte of "\", and the prefix's code page is not 932.
  japanese="$work/japanese.lzh"
  printf '\x1f\x39-lh0-\0\0\0\0\0\0\0\0\x61\x5e\x08\x31\x20\0\x09\x95\x5c\x5c\x83\x5c.txt\0\0\0' \
    >"$japanese"
  if "$WINE" "$WIN_BUILD/lzhsfx.exe" list "$(winpath "$japanese")" >"$work/japanese.log" 2>&1 &&
     grep -q ' 表/ソ.txt' "$work/japanese.log" &&
     "$WINE" "$WIN_BUILD/lzhsfx.exe" extract "$(winpath "$japanese")" \
       -C "$(winpath "$work")\\japanese-out" --overwrite >>"$work/japanese.log" 2>&1 &&
     [ -f "$work/japanese-out/表/ソ.txt" ]; then
    echo "ok - lzhsfx.exe lists and extracts Shift-JIS names as named on a system of another code page"
  else
    echo "not ok - lzhsfx.exe lists and extracts Shift-JIS names as named on a system of another code page"
    { tr -d '\r' <"$work/japanese.log"; find "$work/japanese-out" 2>/dev/null; } | sed 's/^/    /'
    status=1
  fi
fi

if [ -z "${1:-}" ] || [[ "lzhsfx.exe interrupted" == *"$1"* ]]; then
  # Ctrl-C (Wine turns SIGINT into the console's event) while create packs
  # under a name that is not ASCII: its temporary file is removed (before,
  # DeleteFileA missed UTF-8 names, and a file open without delete sharing
  # could not go) and the user is told. build's temporary file is made and
  # noted the same way, but written too fast to be caught here.
  int="$work/interrupt"
  mkdir -p "$int/tree" "$int/out"
  seq 1 4000000 >"$int/tree/numbers.txt"
  "$WINE" "$WIN_BUILD/lzhsfx.exe" create "$(winpath "$int/out")\\café.lzh" \
    "$(winpath "$int/tree")" -9 >"$int/said" 2>&1 &
  pid=$!
  for _ in $(seq 1 2000); do
    [ -n "$(find "$int/out" -name 'café.lzh.*' -size +0)" ] && break
    sleep 0.01
  done
  kill -INT "$pid"
  ended=0
  wait "$pid" || ended=$?
  sleep 0.5 # the Wine server closes the process's files once it has ended
  # 58: the low byte of STATUS_CONTROL_C_EXIT
  if [ "$ended" -eq 58 ] && [ -z "$(ls -A "$int/out")" ] &&
     grep -q 'removed the partly written .*/out/café\.lzh\.' "$int/said"; then
    echo "ok - lzhsfx.exe interrupted removes the temporary file of create"
  else
    echo "not ok - lzhsfx.exe interrupted removes the temporary file of create"
    { echo "status $ended"; ls -A "$int/out"; tr -d '\r' <"$int/said"; } | sed 's/^/    /'
    status=1
  fi
fi

if [ -z "${1:-}" ] || [[ "signed program" == *"$1"* ]]; then
  # Programs handed to users are signed: the Authenticode signature goes
  # after the archive, as the PE certificate table. The sample program is
  # built (its PE checksum checked by Wine's imagehlp), signed with a
  # throw-away certificate made here, verified, and extracted through the
  # dialog and with lzhsfx; the shipped 32-bit stub too, with lzhsfx.
  sign="$work/sign"
  mkdir -p "$sign/reference"
  (cd "$sign/reference" && lhasa xq "$ROOT/tests/data/sample/sample.lzh")
  signed_ok() {
    local stub=$1 name=$2 out="$sign/$2"
    "$ROOT/build/native/lzhsfx" build "$ROOT/tests/data/sample/sample.lzh" -o "$out.exe" \
      --stub "$stub" &&
      "$WINE" "$WIN_BUILD/wine_driver.exe" --checksum "$(winpath "$out.exe")" | tr -d '\r' &&
      osslsigncode sign -certs "$sign/cert.pem" -key "$sign/key.pem" -n "lzhsfx test" \
        -in "$out.exe" -out "$out-signed.exe" &&
      osslsigncode verify -CAfile "$sign/cert.pem" "$out-signed.exe" | grep -E 'checksum|Succeeded' &&
      "$ROOT/build/native/lzhsfx" test "$out-signed.exe" &&
      "$ROOT/build/native/lzhsfx" extract "$out-signed.exe" -C "$out-cli" --overwrite &&
      diff -r "$sign/reference" "$out-cli"
  }
  if openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=lzhsfx test signer" \
       -keyout "$sign/key.pem" -out "$sign/cert.pem" >"$sign/log" 2>&1 &&
     signed_ok "$WIN_BUILD/lzhsfx-stub.exe" program >>"$sign/log" 2>&1 &&
     { [ "$WIN_BUILD" = "$ROOT/build/win32" ] || [ ! -f "$ROOT/build/win32/lzhsfx-stub.exe" ] ||
       signed_ok "$ROOT/build/win32/lzhsfx-stub.exe" program32 >>"$sign/log" 2>&1; } &&
     timeout 300 "$WINE" "$WIN_BUILD/wine_driver.exe" --extract-all \
       "$(winpath "$sign/program-signed.exe")" "$(winpath "$sign")\\dialog-out" |
       tr -d '\r' >>"$sign/log" &&
     diff -r "$sign/reference" "$sign/dialog-out" >>"$sign/log"; then
    echo "ok - a signed program verifies and extracts through the dialog and with lzhsfx"
  else
    echo "not ok - a signed program verifies and extracts through the dialog and with lzhsfx"
    sed 's/^/    /' "$sign/log"
    status=1
  fi
fi

if [ "$status" -eq 0 ]; then
  rm -rf "$work"
else
  keep_work
fi
exit "$status"
