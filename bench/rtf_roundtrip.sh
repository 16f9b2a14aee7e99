#!/usr/bin/env bash
# Measures what a save keeps, on the shared corpus of real documents: every
# document through `lanternwright --convert DOC OUT.rtf` (load, then save as
# the editor saves), timed one by one, then all of them read back by
# LibreOffice in one batch and compared with the corpus's reference texts.
# Also the plain-text measure (`--convert DOC -`, list labels ignored).
#   bench/rtf_roundtrip.sh [CORPUS_DIR]   (default: ../shared/rtf-corpus)
# LW_BIN names the program (default: build/bin/lanternwright).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-$root/../shared/rtf-corpus}"
bin="${LW_BIN:-$root/build/bin/lanternwright}"
[ -x "$bin" ] || { echo "build the program first (scripts/run or cmake --build build), or set LW_BIN"; exit 1; }
command -v soffice >/dev/null || { echo "LibreOffice (soffice) is needed: apt-get install libreoffice-writer-nogui"; exit 1; }
out="$root/bench/out/rtf-roundtrip"
rm -rf "$out"
mkdir -p "$out/rtf" "$out/lo" "$out/plain"
failed=0 slow=0 total=0
slowest=0 slowest_name=""
for doc in "$corpus"/corpus/*; do
  name="$(basename "$doc")"
  base="${name%.*}"
  total=$((total + 1))
  t0=$(date +%s.%N)
  # Ten seconds is a hang; the goal is under one.
  if ! env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$bin" --convert "$doc" "$out/rtf/$base.rtf" 2>>"$out/errors.log"; then
    failed=$((failed + 1)); echo "failed: $name" >>"$out/errors.log"
  fi
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$bin" --convert "$doc" - >"$out/plain/$base.txt" 2>>"$out/errors.log" || true
  t1=$(date +%s.%N)
  took=$(awk "BEGIN { print ($t1 - $t0) / 2 }")
  if awk "BEGIN { exit !($took > 1.0) }"; then slow=$((slow + 1)); echo "slow: $name $took s" >>"$out/errors.log"; fi
  if awk "BEGIN { exit !($took > $slowest) }"; then slowest=$took; slowest_name=$name; fi
done
echo "converted $total documents: $failed failed, $slow over one second; slowest $slowest_name ($(awk "BEGIN { printf \"%.2f\", $slowest }") s)"
# One LibreOffice start for every file: it takes seconds to start.
HOME="$out" soffice --headless --convert-to txt:Text --outdir "$out/lo" "$out"/rtf/*.rtf >/dev/null 2>>"$out/errors.log" || true
echo
echo "== round trip: our RTF read by LibreOffice, against the reference (strict) =="
python3 "$corpus/compare.py" "$out/lo" "$corpus/reference" --tsv "$out/roundtrip.tsv" | tail -15
echo
echo "== plain text: --convert DOC -, against the reference (--loose) =="
python3 "$corpus/compare.py" "$out/plain" "$corpus/reference" --loose | tail -15
