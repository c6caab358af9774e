#!/usr/bin/env bash
# Extraction throughput of lzhsfx against the peers lhasa and 7zz on -lh1-,
# -lh4- to -lh7- archives of text, executables and random bytes, on an
# archive of many small members, and on other archivers' methods (the
# shared corpus's members repeated, "rare.METHOD").
#
#   bench/run.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR is a Release build (default: build/native-release); nothing is
# built here. The corpus is generated once under bench/work/ (32 MiB of
# text from the machine's documentation, 32 MiB of executables and
# libraries, 10 MiB of random bytes, and 20,000 files of 1 to 20 KiB cut
# from the text and the executables), packed by the jLHA library through
# tests/support/LzhPack.java. Each tool runs RUNS times (default 5) on each
# archive, `test` and `extract` (into a tmpfs), the tools taking turns so
# that a busy machine slows them alike. Two tables follow: the median MB/s
# (10^6 bytes of decoded output per second, process start included) by the
# wall clock and by the CPU time the process used, each with our ratio to
# the best peer and the goal for it; "-" marks a method a tool does not
# decode (7zz has no -lh1-). A third table gives the machine's limits: what
# decoding into memory (without the CRC), the CRC alone and writing alone
# reach on each archive by CPU time (bench/decode_throughput --stages), and
# the share of the slowest of them that `test` (decode and CRC) and `extract`
# (all three) reach by CPU time. Before that third table comes the steal
# time: the share of the machine's CPU time that the host of a virtual
# machine gave its other guests during the rounds. Until BUILD_DIR/lzhsfx
# exists, decode_throughput stands in for it.
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
# Many small members: 20,000 files of 1 to 20 KiB, three in four cut from
# the text, one in four from the executables.
if [[ ! -s "$work/small.list" ]]; then
  rm -rf "$work/small"
  mkdir -p "$work/small"
  python3 - "$work" <<'SMALL'
import os, random, sys
work = sys.argv[1]
random.seed(20261209)
sources = [open(os.path.join(work, k + ".src"), "rb").read() for k in ("text", "binary")]
names = []
for i in range(20000):
    data = sources[0] if i % 4 else sources[1]
    size = random.randint(1024, 20 * 1024)
    at = random.randrange(len(data) - size)
    name = f"f{i:05d}.{'txt' if i % 4 else 'bin'}"
    with open(os.path.join(work, "small", name), "wb") as f:
        f.write(data[at:at + size])
    names.append(name)
open(os.path.join(work, "small.list"), "w").write("\n".join(names) + "\n")
SMALL
fi
archives=()
for kind in text binary random; do
  for method in lh4 lh5 lh6 lh7 lh1; do
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
archive="$work/small.lh5.lzh"
if [[ ! -s "$archive" || "$archive" -ot "$work/small.list" ]]; then
  echo "packing the small members as -lh5- ..." >&2
  (cd "$work/small" && java -Xmx2g -cp "$jar" "$packer" -lh5- 1 "$archive.tmp" @../small.list)
  mv "$archive.tmp" "$archive"
fi
archives+=("$archive")
# Other archivers' methods, which no peer here packs: the long members of
# the shared corpus repeated to about 32 MiB (their decoded size beside
# each, in NAME.size). Left out where the corpus is absent.
corpus="$root/../shared/corpus"
if [[ -d "$corpus" ]]; then
  python3 - "$corpus" "$work" <<'RARE'
import os, struct, sys
corpus, work = sys.argv[1:]
sources = {"lz5": "dos-3/long.lzs", "lzs": "generated/lzs/long.lzs", "pm2": "msx-1/long.pma",
           "pm1": "generated/pm1/pm1.pma", "lhx": "windows-2/lhx_long.lzh",
           "lh3": "windows-2/lh3.lzh", "lh2": "windows-2/lh2.lzh"}
for method, source in sources.items():
    out = os.path.join(work, f"rare.{method}.lzh")
    data = open(os.path.join(corpus, source), "rb").read()
    # The members alone: up to the end marker, and their decoded bytes.
    at, decoded = 0, 0
    while at < len(data) and data[at] != 0:
        level = data[at + 20]
        header = struct.unpack_from("<H", data, at)[0] if level == 2 else data[at] + 2
        packed, original = struct.unpack_from("<II", data, at + 7)
        at += header + packed
        decoded += original
    members = data[:at]
    copies = max(1, (32 << 20) // max(decoded, 1))
    if not os.path.exists(out) or os.path.getsize(out) != len(members) * copies + 1:
        with open(out, "wb") as f:
            f.write(members * copies + b"\0")
    open(out[:-4] + ".size", "w").write(str(decoded * copies))
RARE
  for method in lz5 lzs pm2 pm1 lhx lh3 lh2; do archives+=("$work/rare.$method.lzh"); done
fi

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

stages_tool="$build/bench/decode_throughput"
[[ -x "$stages_tool" ]] || stages_tool="$build/decode_throughput"

# Every tool runs on every archive in turn, round after round, so that a
# busy machine slows them alike; the output directory is emptied before
# each run, untimed. The stages are measured after the rounds.
python3 - "$runs" "$out" "$work" "$ours_name" "$stages_tool" "${archives[@]}" <<PYTHON
import os, shutil, statistics, subprocess, sys, time

runs, out, work, ours, stages_tool = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
archives = sys.argv[6:]
tools = [
    ("ours t", "$ours_t"), ("ours x", "$ours_x"),
    ("lhasa t", "lhasa tq {a}"), ("lhasa x", "lhasa xfqw={o} {a}"),
    ("7zz t", "7zz t {a}"), ("7zz x", "7zz x {a} -o{o} -y"),
]

def kind_method(a):
    kind, method = os.path.basename(a).split(".")[:2]
    return kind, method

def decoded_bytes(a):
    kind, _ = kind_method(a)
    if kind == "rare":
        return int(open(a[:-4] + ".size").read())
    if kind == "small":
        names = open(os.path.join(work, "small.list")).read().split()
        return sum(os.path.getsize(os.path.join(work, "small", n)) for n in names)
    return os.path.getsize(os.path.join(work, kind + ".src"))

# The goals, as our ratio to the best peer: extraction by kind (and -lh1-
# against lhasa), test on text -lh5-.
def goal(a, mode):
    kind, method = kind_method(a)
    if kind == "rare":
        return 2.0
    if mode == "t":
        return 3.0 if (kind, method) == ("text", "lh5") else None
    if kind == "small":
        return 2.0
    if method == "lh1":
        return 3.0 if kind in ("text", "binary") else None
    return {"text": 2.5, "binary": 2.0, "random": 1.5}[kind]

def clear():
    for entry in os.listdir(out):
        path = os.path.join(out, entry)
        if os.path.isdir(path):
            shutil.rmtree(path, ignore_errors=True)
        else:
            os.unlink(path)

# Time the host gave other guests while this one wanted to run (the steal
# field of /proc/stat), in ticks, to judge a run's noise by.
def steal_and_total():
    try:
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:9]]
    except (OSError, ValueError):
        return None
    return fields[7], sum(fields)

wall = {}
cpu = {}
stolen_before = steal_and_total()
for r in range(runs):
    for a in archives:
        for name, command in tools:
            clear()
            argv = command.format(a=a, o=out).split()
            start = time.perf_counter()
            child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            elapsed = time.perf_counter() - start
            ok = os.waitstatus_to_exitcode(status) == 0
            wall.setdefault((a, name), []).append(elapsed if ok else None)
            cpu.setdefault((a, name), []).append(usage.ru_utime + usage.ru_stime if ok else None)
stolen_after = steal_and_total()
clear()

stages = {}
if os.access(stages_tool, os.X_OK):
    lines = subprocess.run([stages_tool, "--stages", out, "-r", str(runs)] + archives,
                           capture_output=True, text=True).stdout.splitlines()
    for line in lines:
        path, _, decode, _, crc, _, write = line.split()
        stages[path] = (float(decode), float(crc), float(write))

def rate(a, name, table):
    times = table[(a, name)]
    if None in times:
        return None
    return decoded_bytes(a) / statistics.median(times) / 1e6

def label(a):
    return os.path.basename(a)[:-4]

for title, table in (("wall clock", wall), ("CPU time (user + system)", cpu)):
    print(f"\nMB/s of decoded output by {title}, median of {runs} runs"
          f" (ours: {ours}; extraction into {out.rsplit('/', 1)[0]})\n")
    names = [name for name, _ in tools]
    print(f"{'archive':<16}" + "".join(f"{n:>9}" for n in names)
          + f"{'t vs best':>11}{'goal':>6}{'x vs best':>11}{'goal':>6}")
    for a in archives:
        rates = {n: rate(a, n, table) for n in names}
        cells = "".join(f"{rates[n]:>9.1f}" if rates[n] else f"{'-':>9}" for n in names)
        ratios = ""
        for mode in "tx":
            peers = [rates[f"{p} {mode}"] for p in ("lhasa", "7zz") if rates[f"{p} {mode}"]]
            mine = rates[f"ours {mode}"]
            ratio = mine / max(peers) if peers and mine else None
            ratios += f"{ratio:>10.2f}x" if ratio else f"{'-':>11}"
            g = goal(a, mode)
            ratios += f"{'':>6}" if g is None else f"{g:>5.1f}{'+' if ratio and ratio >= g else '-'}"
        print(f"{label(a):<16}{cells}{ratios}")

if stolen_before and stolen_after and stolen_after[1] > stolen_before[1]:
    share = (stolen_after[0] - stolen_before[0]) / (stolen_after[1] - stolen_before[1])
    print(f"\nSteal time during the rounds: {100 * share:.1f}% of this machine's CPU time, in which"
          f" its cores waited while the host ran other guests")

if stages:
    print(f"\nThe machine's limits, MB/s by CPU time, median of {runs} runs: decode = our decoders"
          f" into memory without the CRC, crc = the CRC-16 alone, write = the bytes written alone"
          f" (a file per member, into {out.rsplit('/', 1)[0]}); and the share of the slowest stage"
          f" each command needs that ours reaches by CPU time: test of decode and crc, extract of"
          f" all three\n")
    print(f"{'archive':<16}{'decode':>9}{'crc':>9}{'write':>9}{'ours t':>9}{'share':>7}"
          f"{'ours x':>9}{'share':>7}")
    for a in archives:
        if a not in stages:
            continue
        decode, crc, write = stages[a]
        t, x = rate(a, "ours t", cpu), rate(a, "ours x", cpu)
        cells = f"{decode:>9.1f}{crc:>9.1f}{write:>9.1f}"
        cells += f"{t:>9.1f}{100 * t / min(decode, crc):>6.0f}%" if t else f"{'-':>16}"
        cells += f"{x:>9.1f}{100 * x / min(decode, crc, write):>6.0f}%" if x else f"{'-':>16}"
        print(f"{label(a):<16}{cells}")
PYTHON
