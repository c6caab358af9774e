#!/usr/bin/env bash
# Extraction throughput of lzhsfx against the peers lhasa and 7zz on -lh4-,
# -lh5- and -lh1- archives of text, executables and random bytes.
#
#   bench/run.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR is a Release build (default: build/native-release); nothing is
# built here. The corpus is generated once under bench/work/ (32 MiB of
# text from the machine's documentation, 32 MiB of executables and
# libraries, 10 MiB of random bytes), packed by the jLHA library through
# tests/support/LzhPack.java. Each tool runs RUNS times (default 5) on each
# archive, `test` and `extract` (into a tmpfs), the tools taking turns so
# that a busy machine slows them alike. Two tables follow: the median MB/s
# (10^6 bytes of decoded output per second, process start included) by the
# wall clock and by the CPU time the process used, each with our ratio to
# the best peer; "-" marks a method a tool does not decode (7zz has no
# -lh1-). Until BUILD_DIR/lzhsfx exists, decode_throughput stands in for it.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build/native-release}"
runs="${2:-5}"
work="$here/work"
jar=/usr/share/java/jlha.jar
packer="$root/tests/support/LzhPack.java"
mib=$((1 << 20))

build="$(cd "$build" && pwd)"
if [[ -x "$build/lzhsfx" ]]; then
  ours_name="lzhsfx"
elif [[ -x "$build/bench/decode_throughput" || -x "$build/decode_throughput" ]]; then
  tool="$build/bench/decode_throughput"
  [[ -x "$tool" ]] || tool="$build/decode_throughput"
  ours_name="decode_throughput"
else
  echo "neither $build/lzhsfx nor decode_throughput: build a Release tree first" >&2
  exit 1
fi
for cmd in java lhasa 7zz python3; do
  command -v "$cmd" >/dev/null || { echo "missing: $cmd" >&2; exit 1; }
done
[[ -r "$jar" ]] || { echo "missing: $jar (package jlha-utils)" >&2; exit 1; }
status=0
java -cp "$jar" "$packer" >/dev/null 2>&1 || status=$?
# Without arguments the packer prints its usage and exits with 2; anything
# else means java cannot run a source file (a JRE without the JDK).
((status == 2)) || { echo "java cannot run $packer: install default-jdk-headless" >&2; exit 1; }

# --- the corpus ---------------------------------------------------------
mkdir -p "$work"
take() {  # take BYTES OUT FILE... : the first BYTES of the files, concatenated
  local bytes="$1" out="$2"
  shift 2
  xargs -0 cat -- 2>/dev/null < <(printf '%s\0' "$@") | head -c "$bytes" > "$out.tmp" || true
  mv "$out.tmp" "$out"
}
if [[ ! -s "$work/text.src" ]]; then
  mapfile -d '' files < <(find /usr/share/doc /usr/share/common-licenses -type f \
    ! -name '*.gz' ! -name '*.png' ! -name '*.jpg' ! -name '*.gif' -print0 2>/dev/null | sort -z)
  take $((32 * mib)) "$work/text.src" "${files[@]}"
  if (($(stat -c %s "$work/text.src") < 32 * mib)); then  # top up from the compressed docs
    find /usr/share/doc -type f -name '*.gz' -print0 | sort -z | xargs -0 zcat -f 2>/dev/null \
      | head -c $((32 * mib - $(stat -c %s "$work/text.src"))) >> "$work/text.src" || true
  fi
fi
if [[ ! -s "$work/binary.src" ]]; then
  mapfile -d '' files < <(find /usr/bin /usr/lib -type f \( -perm -u+x -o -name '*.so*' \) \
    -size +8k -print0 2>/dev/null | sort -z)
  take $((32 * mib)) "$work/binary.src" "${files[@]}"
fi
if [[ ! -s "$work/random.src" ]]; then
  python3 -c "import random,sys; random.seed(20261208); sys.stdout.buffer.write(random.randbytes($((10 * mib))))" \
    > "$work/random.src"
fi
archives=()
for kind in text binary random; do
  for method in lh4 lh5 lh1; do
    archive="$work/$kind.$method.lzh"
    if [[ ! -s "$archive" || "$archive" -ot "$work/$kind.src" ]]; then
      echo "packing $kind as -$method- ..." >&2
      # The member is named after its kind so that every tool extracts one file.
      ln -sf "$kind.src" "$work/$kind"
      java -Xmx2g -cp "$jar" "$packer" "-$method-" 1 "$archive.tmp" "$work/$kind"
      mv "$archive.tmp" "$archive"
      rm -f "$work/$kind"
    fi
    archives+=("$archive")
  done
done

# --- the runs -----------------------------------------------------------
out="$(mktemp -d /dev/shm/lzh-bench-XXXXXX)"
trap 'rm -rf "$out"' EXIT

if [[ "$ours_name" == lzhsfx ]]; then
  ours_t="$build/lzhsfx test {a}"
  ours_x="$build/lzhsfx extract {a} -C {o} --overwrite"
else
  ours_t="$tool -r 1 {a}"
  ours_x="$tool -r 1 -C {o} {a}"
fi

# Every tool runs on every archive in turn, round after round, so that a
# busy machine slows them alike; the output directory is emptied before
# each run, untimed.
python3 - "$runs" "$out" "$work" "$ours_name" "${archives[@]}" <<PYTHON
import os, shutil, statistics, subprocess, sys, time

runs, out, work, ours = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
archives = sys.argv[5:]
tools = [
    ("ours t", "$ours_t"), ("ours x", "$ours_x"),
    ("lhasa t", "lhasa tq {a}"), ("lhasa x", "lhasa xfqw={o} {a}"),
    ("7zz t", "7zz t {a}"), ("7zz x", "7zz x {a} -o{o} -y"),
]
wall = {}
cpu = {}
for r in range(runs):
    for a in archives:
        for name, command in tools:
            for entry in os.listdir(out):
                shutil.rmtree(os.path.join(out, entry), ignore_errors=True)
            argv = command.format(a=a, o=out).split()
            start = time.perf_counter()
            child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            elapsed = time.perf_counter() - start
            ok = os.waitstatus_to_exitcode(status) == 0
            wall.setdefault((a, name), []).append(elapsed if ok else None)
            cpu.setdefault((a, name), []).append(usage.ru_utime + usage.ru_stime if ok else None)

def rate(a, name, table):
    times = table[(a, name)]
    if None in times:
        return None
    size = os.path.getsize(os.path.join(work, os.path.basename(a).split(".")[0] + ".src"))
    return size / statistics.median(times) / 1e6

for title, table in (("wall clock", wall), ("CPU time (user + system)", cpu)):
    print(f"\nMB/s of decoded output by {title}, median of {runs} runs"
          f" (ours: {ours}; extraction into {out.rsplit('/', 1)[0]})\n")
    names = [name for name, _ in tools]
    print(f"{'archive':<18}" + "".join(f"{n:>10}" for n in names) + f"{'t vs best':>11}{'x vs best':>11}")
    for a in archives:
        rates = {n: rate(a, n, table) for n in names}
        cells = "".join(f"{rates[n]:>10.1f}" if rates[n] else f"{'-':>10}" for n in names)
        ratios = ""
        for mode in "tx":
            peers = [rates[f"{p} {mode}"] for p in ("lhasa", "7zz") if rates[f"{p} {mode}"]]
            mine = rates[f"ours {mode}"]
            ratios += f"{mine / max(peers):>10.2f}x" if peers and mine else f"{'-':>11}"
        print(f"{os.path.basename(a)[:-4]:<18}{cells}{ratios}")
PYTHON
