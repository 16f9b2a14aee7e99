#!/usr/bin/env bash
# Packs an FM-like corpus of more than 200 MB with our packer, Info-ZIP
# "zip -9 -r" and 7-Zip "7z a -tzip -mx=9" in one run and prints wall time,
# archive size and peak memory for each, with ratios against zip -9. Then
# packs the corpus plus a 1 GB file with our packer alone to show that its
# memory stays bounded (skip with --no-big). Everything lands in bench/out/.
#
# With --many it measures a large FM's many small files instead: 20,000
# files of 256 bytes in 40 folders, packed by our packer from a list spelled
# as on disk and from one where every third name differs in case, against
# zip -9; then opens both lists as the main window does (bench/openlist_bench).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
out="$here/out"
corpus="$out/fm"
big=1
many=0
for arg in "$@"; do
  case "$arg" in
    --no-big) big=0 ;;
    --many) many=1 ;;
    --regen) rm -rf "$corpus" "$out/big" "$out/many" ;;
    *) echo "usage: $0 [--no-big] [--many] [--regen]" >&2; exit 2 ;;
  esac
done

# The build's own packages first (Qt, libzip, ...), then what only the
# benchmark uses.
bash "$root/scripts/deps"
need=(espeak-ng zip unzip p7zip-full time bc imagemagick python3)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Our packer: the program's own --pack when it has one (LW_BENCH_DRIVER=1
# forces the driver), else the driver bench/zippack. A small script runs it,
# so that /usr/bin/time measures it like the others.
mkdir -p "$out"
lock=/tmp/lw-build.lock
flock "$lock" cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release \
  -DLW_BUILD_TESTS=OFF -DLW_BUILD_BENCH=ON >/dev/null
flock "$lock" cmake --build "$root/build-bench" -j2 --target zippack zipeng lanternwright openlist_bench >/dev/null
use_driver() {
  printf '#!/bin/sh\nexec "%s" "$1" "$2"\n' "$root/build-bench/bin/zippack" > "$out/pack.sh"
  packer="bench/zippack"
}
if [ -z "${LW_BENCH_DRIVER:-}" ]; then
  # --force: the corpora are no playable FMs (the many-files one has no
  # mission), and the check's errors would stop the run; it still runs.
  printf '#!/bin/sh\nexec "%s" --pack "$1" --output "$2" --force\n' "$root/build-bench/bin/lanternwright" > "$out/pack.sh"
  packer="lanternwright --pack"
else
  use_driver
fi
chmod +x "$out/pack.sh"

# measure NAME ZIP COMMAND...: runs the command under /usr/bin/time -v.
declare -A wall size mem
measure() {
  local name="$1" zipfile="$2"
  shift 2
  rm -f "$zipfile"
  # The wall time to the millisecond (time -v rounds to 10 ms, a twentieth
  # of a small run); the same way for every packer.
  local t0 t1
  t0=$EPOCHREALTIME
  if ! /usr/bin/time -v -o "$out/$name.time" "$@" >"$out/$name.log" 2>&1; then
    echo "$name failed:" >&2
    tail -5 "$out/$name.log" >&2
    return 1
  fi
  t1=$EPOCHREALTIME
  wall[$name]=$(echo "$t1 - $t0" | bc -l)
  mem[$name]=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$out/$name.time")
  size[$name]=$(stat -c %s "$zipfile")
  # CPU time and share tell a busy machine apart from a slow packer.
  local cpu share
  cpu=$(awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$out/$name.time")
  share=$(awk -F': ' '/Percent of CPU/ {print $2}' "$out/$name.time")
  printf '%-10s wall %8.3f s   archive %12d bytes   peak memory %7.1f MB   cpu %7.2f s (%s)\n' \
    "$name" "${wall[$name]}" "${size[$name]}" "$(echo "${mem[$name]} / 1024" | bc -l)" "$cpu" "$share"
}

if [ "$many" = 1 ]; then
  fm="$out/many"
  if [ ! -f "$fm/.complete" ]; then
    echo "Making 20,000 small files in $fm ..."
    rm -rf "$fm"
    python3 "$here/make_corpus.py" "$fm" --many 20000
    touch "$fm/.complete"
  fi
  tr -d '\r' < "$fm/many.lst" | sed 's|\\|/|g' > "$out/many_files.txt"
  echo "Corpus: $(wc -l < "$out/many_files.txt") files of 256 bytes in 40 folders; $(nproc) cores"
  echo "Packer: $packer"
  sync
  # The measurements hold the build lock: no build of the shared machine
  # runs meanwhile.
  exec 9>"$lock"
  flock 9
  # Each measured three times, the best kept: the machine is shared.
  best() {
    local name="$1" b=""
    shift
    for i in 1 2 3; do
      measure "$name$i" "$@" >/dev/null
      if [ -z "$b" ] || [ "$(echo "${wall[$name$i]} < ${wall[$b]}" | bc -l)" = 1 ]; then b="$name$i"; fi
    done
    wall[$name]=${wall[$b]}; size[$name]=${size[$b]}; mem[$name]=${mem[$b]}
    printf '%-10s wall %8.3f s   archive %12d bytes   peak memory %7.1f MB\n' \
      "$name" "${wall[$name]}" "${size[$name]}" "$(echo "${mem[$name]} / 1024" | bc -l)"
  }
  best ours "$out/many_ours.zip" "$out/pack.sh" "$fm/many.lst" "$out/many_ours.zip"
  best ours_case "$out/many_case.zip" "$out/pack.sh" "$fm/many_case.lst" "$out/many_case.zip"
  best zip9 "$out/many_zip9.zip" bash -c "cd '$fm' && zip -9 -r -q '$out/many_zip9.zip' -@ < '$out/many_files.txt'"
  unzip -tq "$out/many_ours.zip" >/dev/null && echo "many_ours.zip: unzip -t passes"
  echo
  for v in ours ours_case; do
    printf '%-9s / zip -9:  wall %.3f (target <= 0.5)   size %.4f   peak %.1f MB (target < 300)\n' "$v" \
      "$(echo "${wall[$v]} / ${wall[zip9]}" | bc -l)" "$(echo "${size[$v]} / ${size[zip9]}" | bc -l)" \
      "$(echo "${mem[$v]} / 1024" | bc -l)"
  done
  echo
  "$root/build-bench/bin/openlist_bench" "$fm/many.lst" "$fm/many_case.lst" 2>/dev/null
  exit 0
fi

mkdir -p "$out"
if [ ! -f "$corpus/.complete" ]; then
  echo "Making the corpus in $corpus ..."
  rm -rf "$corpus"
  mkdir -p "$corpus/snd/english" "$corpus/fam/stone" "$corpus/fam/wood" "$corpus/obj/txt16" "$corpus/intrface"
  python3 "$here/make_corpus.py" "$corpus"
  # Speech: espeak-ng reads generated lines in a few voices.
  i=0
  for voice in en en-us en-gb-x-rp fr de; do
    for n in $(seq 1 18); do
      i=$((i + 1))
      words=$(python3 "$here/make_corpus.py" --words "$i")
      espeak-ng -v "$voice" -s $((140 + n * 3)) -w "$corpus/snd/english/line$(printf %03d $i).wav" "$words" 2>/dev/null
    done
  done
  # Textures: palettized PCX as the game uses, and PNG.
  convert -seed 11 -size 4096x3072 plasma:fractal -colors 256 -type Palette \
    -crop 256x256 +repage "$corpus/fam/stone/tex%03d.pcx"
  convert -seed 12 -size 4096x2048 plasma:fractal -blur 0x1 -colors 256 -type Palette \
    -crop 512x512 +repage "$corpus/fam/wood/plank%02d.pcx"
  convert -seed 13 -size 4096x2048 plasma:fractal -crop 256x256 +repage "$corpus/obj/txt16/skin%03d.png"
  convert -seed 14 -size 640x480 gradient:navy-black -font DejaVu-Sans -pointsize 40 -fill white \
    -annotate +40+240 "Lanternwright" "$corpus/intrface/main.pcx" 2>/dev/null || true
  touch "$corpus/.complete"
fi

# The FM lives in a Thief 2 directory, so that the program can tell the game.
[ -f "$corpus/thief2.exe" ] || : > "$corpus/thief2.exe"
# One list for every packer: ours reads backslashes relative to the list's
# directory; zip and 7z read the same names with slashes.
list="$corpus/fmfiles.lst"
(cd "$corpus" && find . -type f ! -name 'fmfiles*.lst' ! -name .complete | sed 's|^\./||' | sort) > "$out/files.txt"
sed 's|/|\\|g' "$out/files.txt" > "$list"
files=$(wc -l < "$list")
bytes=$(cd "$corpus" && tr '\n' '\0' < "$out/files.txt" | xargs -0 stat -c %s | awk '{s+=$1} END {print s}')
echo "Corpus: $files files, $((bytes / 1048576)) MB; $(nproc) cores"

sync
exec 9>"$lock"
flock 9
echo "Packer: $packer"
if ! measure ours "$out/ours.zip" "$out/pack.sh" "$list" "$out/ours.zip"; then
  [ "$packer" = "bench/zippack" ] && exit 1
  echo "falling back to the driver" >&2
  use_driver
  measure ours "$out/ours.zip" "$out/pack.sh" "$list" "$out/ours.zip"
fi
measure zip9 "$out/zip9.zip" bash -c "cd '$corpus' && zip -9 -r -q '$out/zip9.zip' -@ < '$out/files.txt'"
measure 7z "$out/7z.zip" bash -c "cd '$corpus' && 7z a -tzip -mx=9 -bd '$out/7z.zip' @'$out/files.txt'"

unzip -tq "$out/ours.zip" >/dev/null && echo "ours.zip: unzip -t passes"
echo
printf 'ours / zip -9:  wall %.3f (target <= 0.25)   size %.4f (target <= 1)   peak %.1f MB (target < 300)\n' \
  "$(echo "${wall[ours]} / ${wall[zip9]}" | bc -l)" "$(echo "${size[ours]} / ${size[zip9]}" | bc -l)" \
  "$(echo "${mem[ours]} / 1024" | bc -l)"
printf 'ours / 7z:      wall %.3f   size %.4f\n' \
  "$(echo "${wall[ours]} / ${wall[7z]}" | bc -l)" "$(echo "${size[ours]} / ${size[7z]}" | bc -l)"

if [ "$big" = 1 ]; then
  mkdir -p "$corpus/movies"
  [ -f "$out/big/intro.avi" ] || { mkdir -p "$out/big"; python3 "$here/make_corpus.py" "$corpus" --big "$out/big/intro.avi"; }
  ln -sf "$out/big/intro.avi" "$corpus/movies/intro.avi"
  biglist="$corpus/fmfiles_big.lst"
  { cat "$list"; echo 'movies\intro.avi'; } > "$biglist"
  echo
  echo "With a 1 GB file in the list:"
  measure ours_big "$out/ours_big.zip" "$out/pack.sh" "$biglist" "$out/ours_big.zip"
  unzip -tq "$out/ours_big.zip" >/dev/null && echo "ours_big.zip: unzip -t passes"
  rm -f "$corpus/movies/intro.avi" "$biglist"
  rmdir "$corpus/movies" 2>/dev/null || true
fi
