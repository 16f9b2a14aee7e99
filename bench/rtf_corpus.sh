#!/usr/bin/env bash
# Measures the RTF reader on a corpus of real documents: every document
# through `lanternwright --convert DOC -`, with no display, then the
# corpus's own comparison against its reference texts.
#   bench/rtf_corpus.sh [CORPUS_DIR]   (default: ../shared/rtf-corpus)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-$root/../shared/rtf-corpus}"
bin="$root/build/bin/lanternwright"
[ -x "$bin" ] || { echo "build the program first (scripts/run or cmake --build build)"; exit 1; }
out="$root/bench/out/rtf-corpus"
rm -rf "$out"
mkdir -p "$out"
failed=0
start=$(date +%s.%N)
for doc in "$corpus"/corpus/*; do
  name="$(basename "$doc")"
  env -u DISPLAY -u WAYLAND_DISPLAY "$bin" --convert "$doc" - >"$out/${name%.*}.txt" 2>>"$out/errors.log" || failed=$((failed + 1))
done
end=$(date +%s.%N)
echo "converted $(ls "$corpus"/corpus | wc -l) documents in $(awk "BEGIN { printf \"%.1f\", $end - $start }") s, $failed failed"
python3 "$corpus/compare.py" "$out" "$corpus/reference" --loose | tail -15
