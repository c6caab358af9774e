#!/usr/bin/env bash
# The program's extraction speed against lzhsfx's, both under Wine, on the
# Windows build that Wine runs here (tests/e2e/wine_env.sh chooses and
# builds it: the x86-64 one where the kernel runs no 32-bit code).
#
#   bench/program_speed.sh [RUNS] [STUB.exe...]
#
# The archives: the 32 MiB of text and of executables of the decode
# benchmark (bench/corpus.sh), packed -lh5- and -lh1- by the jLHA library.
# Each is made into a program with each STUB (default: the build's own) by
# `lzhsfx.exe build`. Every round runs each program, then `lzhsfx.exe
# extract`, on each archive in turn, RUNS times (default 5), into an empty
# folder on a tmpfs. The wine driver times both from inside Wine: the
# program from the click on Extract to the walk's end (its start, to the
# dialog showing, is printed apart), lzhsfx.exe from its start to its end
# by the wall clock (and, apart, `lzhsfx.exe --version` as its start). It
# prints the median MB/s (10^6 bytes of decoded output per second), the
# tool's also with its start taken off, and each program's ratio to the
# tool's wall-clock figure.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
runs="${1:-5}"
shift || true
stubs=("$@")
for stub in "${stubs[@]}"; do
  [[ -r "$stub" ]] || { echo "no such stub: $stub" >&2; exit 1; }
done
for cmd in java python3; do
  command -v "$cmd" >/dev/null || { echo "missing: $cmd" >&2; exit 1; }
done
jar=/usr/share/java/jlha.jar
[[ -r "$jar" ]] || { echo "missing: $jar (package jlha-utils)" >&2; exit 1; }

# Builds the Windows tree, starts a display, sets up the prefix; ends Wine
# and the display on the way out.
source "$here/../tests/e2e/wine_env.sh"
((${#stubs[@]} > 0)) || stubs=("$WIN_BUILD/lzhsfx-stub.exe")
driver="$WIN_BUILD/wine_driver.exe"
tool="$WIN_BUILD/lzhsfx.exe"

work="$here/work"
source "$here/corpus.sh"
make_corpus "$work"
archives=()
for kind in text binary; do
  for method in lh5 lh1; do
    archive="$work/$kind.$method.lzh"
    if [[ ! -s "$archive" || "$archive" -ot "$work/$kind.src" ]]; then
      echo "packing $kind as -$method- ..." >&2
      ln -sf "$kind.src" "$work/$kind"
      java -Xmx2g -cp "$jar" "$ROOT/tests/support/LzhPack.java" "-$method-" 1 "$archive.tmp" \
        "$work/$kind"
      mv "$archive.tmp" "$archive"
      rm -f "$work/$kind"
    fi
    archives+=("$archive")
  done
done

# The programs, made again every time: the stubs change between runs.
programs="$work/programs"
rm -rf "$programs"
for i in "${!stubs[@]}"; do
  mkdir -p "$programs/$i"
  for archive in "${archives[@]}"; do
    name="$(basename "$archive" .lzh)"
    "$WINE" "$tool" build -q "$(winpath "$archive")" -o "$(winpath "$programs/$i")\\$name.exe" \
      --stub "$(winpath "${stubs[$i]}")" >/dev/null
  done
done

out="$(mktemp -d /dev/shm/lzh-program-speed-XXXXXX)"
trap 'rm -rf "$out"; wine_cleanup' EXIT

python3 - "$runs" "$out" "$work" "$programs" "$WINE" "$driver" "$tool" "${#stubs[@]}" \
  "${stubs[@]}" "${archives[@]}" <<'PYTHON'
import os, shutil, statistics, subprocess, sys

runs, out, work, programs, wine, driver, tool = sys.argv[1:8]
runs = int(runs)
count = int(sys.argv[8])
stubs = sys.argv[9:9 + count]
archives = sys.argv[9 + count:]

def winpath(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")

def clear():
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)

def drive(*args):
    result = subprocess.run([wine, driver, *args], capture_output=True, text=True)
    # The last line: a program it runs may write to the same output.
    lines = result.stdout.splitlines()
    fields = lines[-1].split() if lines else []
    if result.returncode != 0 or not fields:
        sys.exit(f"wine_driver {' '.join(args)} failed: {result.stdout}{result.stderr}")
    # "name value name value ...", in milliseconds but for exit codes
    return {fields[i]: float(fields[i + 1]) for i in range(0, len(fields) - 1, 2)}

def name(archive):
    return os.path.basename(archive)[:-4]

def decoded_bytes(archive):
    return os.path.getsize(os.path.join(work, name(archive).split(".")[0] + ".src"))

def load_average():
    with open("/proc/loadavg") as f:
        return f.read().split()[0]

def processor():
    with open("/proc/cpuinfo") as f:
        models = [l.split(":", 1)[1].strip() for l in f if l.startswith("model name")]
    return f"{models[0] if models else 'unknown processor'}, {len(models)} cores"

load_before = load_average()
walks, starts, tool_runs, tool_starts = {}, [], {}, []
drive("--time-run", winpath(tool), "--version")  # Wine's first start, untimed
for r in range(runs):
    for archive in archives:
        tool_starts.append(drive("--time-run", winpath(tool), "--version")["run"])
        for i in range(count):
            clear()
            timed = drive("--time-extract", winpath(f"{programs}/{i}/{name(archive)}.exe"),
                          winpath(out))
            walks.setdefault((i, archive), []).append(timed["extract"])
            starts.append(timed["start"])
        clear()
        timed = drive("--time-run", winpath(tool), "extract", "-q", winpath(archive), "-C",
                      winpath(out), "--overwrite")
        if timed["exit"] != 0:
            sys.exit(f"lzhsfx.exe extract {archive} exited with {int(timed['exit'])}")
        tool_runs.setdefault(archive, []).append(timed["run"])
clear()

tool_start = statistics.median(tool_starts)
print(f"\nmachine: {processor()}; load average {load_before} before the rounds,"
      f" {load_average()} after")
print(f"\nMB/s of decoded output, median of {runs} runs, under Wine, into {os.path.dirname(out)}:"
      f" the program from the click on Extract to the walk's end; lzhsfx.exe extract by the"
      f" wall clock, and net of its start (lzhsfx.exe --version: {tool_start:.1f} ms)\n")
for i, stub in enumerate(stubs):
    print(f"program {i}: {stub}")
print(f"\n{'archive':<12}{'MB':>7}" + "".join(f"{f'program {i}':>11}" for i in range(count))
      + f"{'lzhsfx':>9}{'net':>9}" + "".join(f"{f'{i}/tool':>10}" for i in range(count)))
for archive in archives:
    size = decoded_bytes(archive)
    rate = lambda ms: size / (ms / 1000) / 1e6
    programs_rates = [rate(statistics.median(walks[(i, archive)])) for i in range(count)]
    tool_ms = statistics.median(tool_runs[archive])
    tool_rate = rate(tool_ms)
    net = rate(tool_ms - tool_start) if tool_ms > tool_start else float("nan")
    print(f"{name(archive):<12}{size / 1e6:>7.1f}" + "".join(f"{p:>11.1f}" for p in programs_rates)
          + f"{tool_rate:>9.1f}{net:>9.1f}" + "".join(f"{p / tool_rate:>9.2f}x" for p in programs_rates))
print(f"\nThe program's start, to its dialog showing: median {statistics.median(starts):.1f} ms"
      f" over {len(starts)} starts")
PYTHON
