#!/usr/bin/env bash
# The benchmark corpus under bench/work/, made once, the same files as the
# decode benchmark's: 32 MiB of text from the machine's documentation,
# 32 MiB of executables and libraries, 10 MiB of random bytes.
#
#   source bench/corpus.sh   # then: make_corpus DIR
make_corpus() {
  local work="$1" mib=$((1 << 20))
  mkdir -p "$work"
  take() {  # take BYTES OUT FILE... : the first BYTES of the files, concatenated
    local bytes="$1" out="$2"
    shift 2
    xargs -0 cat -- 2>/dev/null < <(printf '%s\0' "$@") | head -c "$bytes" > "$out.tmp" || true
    mv "$out.tmp" "$out"
  }
  local files
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
}
