#!/usr/bin/env bash
# Which tool extracts which method: every archive of the shared corpus is
# extracted by lzhsfx and by each peer installed (lhasa, jlha, 7zz,
# bsdtar), and each member the manifest verified is compared with its
# SHA-256. Prints a Markdown table, one row per method: members
# bit-exact / verified members of that method, for each tool.
#
#   bench/compatibility.sh [LZHSFX]
#
# LZHSFX defaults to build/native-release/lzhsfx, else build/native/lzhsfx.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
corpus="$root/../shared/corpus"
ours="${1:-}"
for candidate in "$ours" "$root/build/native-release/lzhsfx" "$root/build/native/lzhsfx"; do
  if [[ -n "$candidate" && -x "$candidate" ]]; then
    ours="$candidate"
    break
  fi
done
[[ -x "$ours" ]] || { echo "no lzhsfx: build one first" >&2; exit 1; }
ours="$(readlink -f "$ours")"
[[ -d "$corpus" ]] || { echo "no corpus at $corpus" >&2; exit 1; }

python3 - "$corpus" "$ours" <<'PYTHON'
import collections, hashlib, os, shutil, subprocess, sys, tempfile

corpus, ours = sys.argv[1:]
tools = [
    ("lzhsfx", [ours, "extract", "{a}", "-C", "{o}", "--overwrite", "-q"]),
    ("lhasa", ["lhasa", "xfqw={o}", "{a}"]),
    ("jlha", ["jlha", "xw={o}", "{a}"]),
    ("7-Zip", ["7zz", "x", "{a}", "-o{o}", "-y"]),
    ("libarchive", ["bsdtar", "-xf", "{a}", "-C", "{o}"]),
]
tools = [(name, argv) for name, argv in tools if shutil.which(argv[0])]
rows = [line.split("\t") for line in open(os.path.join(corpus, "MANIFEST.tsv")).read().splitlines()[1:]]
by_archive = collections.defaultdict(list)
for row in rows:
    by_archive[row[0]].append(row)

def hashes(directory):
    # By content alone: tools differ in the case and escaping of names.
    found = {}
    for top, _, files in os.walk(directory):
        for f in files:
            path = os.path.join(top, f)
            if os.path.islink(path):
                continue
            digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
            found[digest] = found.get(digest, 0) + 1
    return found

verified = collections.Counter()
exact = collections.Counter()
for archive, members in sorted(by_archive.items()):
    for name, argv in tools:
        with tempfile.TemporaryDirectory() as out:
            command = [part.format(a=os.path.join(corpus, archive), o=out) for part in argv]
            try:
                subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               stdin=subprocess.DEVNULL, timeout=120, cwd=out)
            except subprocess.TimeoutExpired:
                pass
            got = hashes(out)
            for row in members:
                method, sha, ok = row[2], row[6], row[7] == "yes"
                if not ok or method == "-lhd-":
                    continue
                if name == tools[0][0]:
                    verified[method] += 1
                if got.get(sha, 0) > 0:
                    got[sha] -= 1
                    exact[(method, name)] += 1

names = [name for name, _ in tools]
print("| method | verified members | " + " | ".join(names) + " |")
print("|---|---|" + "---|" * len(names))
for method in sorted(verified):
    cells = [f"{exact[(method, n)]}" for n in names]
    print(f"| `{method}` | {verified[method]} | " + " | ".join(cells) + " |")
PYTHON
