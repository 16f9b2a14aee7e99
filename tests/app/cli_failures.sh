#!/usr/bin/env bash
# --pack and --convert when their write fails: a folder that refuses
# changes, a full disk, a file size limit, a directory in the file's place,
# the folder gone.
# Each must exit non-zero with a one-line reason that names the file, keep
# the earlier file as it was and leave no temporary file behind.
# Then what --pack and --check must never do to an author's files.
set -u
bin="$1"
mission="$(cd "$(dirname "$0")/../../sample/ShadowsOfTheBell" && pwd)/miss1.mis"
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
cleanup() { chattr -i "$work/out" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
passes=0
failures=0
skips=0
ok() { passes=$((passes + 1)); }
bad() { echo "FAIL: $*"; failures=$((failures + 1)); }

layout() {  # a fresh FM and an output folder holding an earlier file $1
  rm -rf "$work/fm" "$work/out"
  mkdir -p "$work/fm/strings" "$work/out"
  printf 'x' >"$work/fm/thief2.exe"
  # A mission (the sample's) with bytes after its chunk directory that do
  # not compress below the limit.
  { cat "$mission"; head -c 20000 /dev/urandom; } >"$work/fm/miss1.mis"
  printf 'miss_1:"end"\r\n' >"$work/fm/strings/missflag.str"
  printf 'miss1.mis\r\nstrings\\missflag.str\r\n' >"$work/fm/bell.lst"
  head -c 20000 /dev/urandom | base64 >"$work/notes.txt"
  # An earlier archive is a zip archive (an empty one), else a file of text.
  case "$1" in
    *.zip) printf 'PK\005\006\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' >"$work/earlier" ;;
    *) printf 'earlier' >"$work/earlier" ;;
  esac
  cp "$work/earlier" "$work/out/$1"
}

# run_failing CASE TARGET-NAME NAME-IN-MESSAGE COMMAND...: arranges CASE for
# writes of out/TARGET-NAME, runs the command and checks what is left.
run_failing() {
  local case="$1" target="$2" named="$3"
  shift 3
  local rc
  case "$case" in
    read-only)
      if ! chattr +i "$work/out" 2>/dev/null; then
        echo "skip: $* ($case): chattr +i is not possible here"; skips=$((skips + 1)); return
      fi
      "$@" >"$work/stdout" 2>"$work/err"; rc=$?
      chattr -i "$work/out" ;;
    disk-full)
      # An ignored SIGXFSZ stays ignored across exec: writes past the limit fail with EFBIG.
      (trap '' XFSZ; ulimit -f 8; exec "$@") >"$work/stdout" 2>"$work/err"; rc=$? ;;
    size-limit)
      # A file size limit as a shell sets it: SIGXFSZ at its default would
      # end the program at the first write past the limit.
      (ulimit -f 8; exec "$@") >"$work/stdout" 2>"$work/err"; rc=$? ;;
    directory)
      rm -f "$work/out/$target"; mkdir "$work/out/$target"
      "$@" >"$work/stdout" 2>"$work/err"; rc=$? ;;
    removed)
      rm -rf "$work/out"
      "$@" >"$work/stdout" 2>"$work/err"; rc=$? ;;
  esac
  local what="$case: $*"
  [ "$rc" -ne 0 ] && ok || bad "$what: exit 0"
  [ "$rc" -lt 128 ] && ok || bad "$what: ended by signal $((rc - 128))"
  grep -qF -- "$named" "$work/err" && ok || bad "$what: reason does not name $named: $(cat "$work/err")"
  [ "$(wc -l <"$work/err")" -eq 1 ] && ok || bad "$what: reason is not one line: $(cat "$work/err")"
  # The engine did its work; what failed is the author's to mend.
  ! grep -qF "fatal Dll error" "$work/err" && ok || bad "$what: an ordinary failure told as the engine's: $(cat "$work/err")"
  case "$case" in
    read-only|disk-full|size-limit)
      cmp -s "$work/out/$target" "$work/earlier" && ok || bad "$what: the earlier file changed"
      [ "$(ls -A "$work/out")" = "$target" ] && ok || bad "$what: left behind: $(ls -A "$work/out")" ;;
    directory)
      [ -d "$work/out/$target" ] && [ "$(ls -A "$work/out")" = "$target" ] && ok || bad "$what: left behind: $(ls -A "$work/out")" ;;
    removed)
      [ ! -e "$work/out" ] && ok || bad "$what: the folder was made again" ;;
  esac
}

for case in read-only disk-full size-limit directory removed; do
  layout fm.zip
  run_failing "$case" fm.zip fm.zip "$bin" --pack "$work/fm/bell.lst" --output "$work/out/fm.zip"
  layout info.rtf
  run_failing "$case" info.rtf info.rtf "$bin" --convert "$work/notes.txt" "$work/out/info.rtf"
done

# The FM folder itself gone: the list cannot be read, and nothing is made.
layout fm.zip
rm -rf "$work/fm"
"$bin" --pack "$work/fm/bell.lst" --output "$work/out/fm.zip" >"$work/stdout" 2>"$work/err"
[ $? -ne 0 ] && grep -qF "bell.lst" "$work/err" && ok || bad "pack of a removed FM: $(cat "$work/err")"
[ ! -e "$work/fm" ] && cmp -s "$work/out/fm.zip" "$work/earlier" && ok || bad "pack of a removed FM left files"

sums() { (cd "$1" && find . -type f ! -name '*.zip' -print0 | sort -z | xargs -0 md5sum); }
# expect WHAT RC-WANTED NAME-IN-ERR COMMAND...: runs it, checks its exit code
# (0, or "fail" for any other), its one-line reason and that the FM's files
# are as they were.
expect() {
  local what="$1" want="$2" named="$3"
  shift 3
  local before rc
  before=$(sums "$work/fm")
  "$@" >"$work/stdout" 2>"$work/err"; rc=$?
  if [ "$want" = fail ]; then
    [ "$rc" -ne 0 ] && [ "$rc" -lt 128 ] && ok || bad "$what: exit $rc"
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF -- "$named" "$work/err" && ok || bad "$what: $(cat "$work/err")"
  else
    [ "$rc" -eq "$want" ] && ok || bad "$what: exit $rc: $(cat "$work/err")"
  fi
  [ "$(sums "$work/fm")" = "$before" ] && ok || bad "$what: the FM's files changed"
}

# The archive never takes the place of a file of the FM: a listed one, the
# list, a string file still to be made, fm.ini still to be made (loaders
# read it), or any file that is no archive.
layout fm.zip
printf 'Title: Bell\r\nAuthor: A\r\n' >"$work/fm/fminfo.txt"
printf 'fminfo.txt\r\n' >>"$work/fm/bell.lst"
for target in miss1.mis fminfo.txt bell.lst ../notes.txt fm.ini; do
  expect "--output $target" fail "$(basename "$target")" "$bin" --pack "$work/fm/bell.lst" --output "$work/fm/$target"
done
rm "$work/fm/strings/missflag.str"
expect "--output of a string file to be made" fail missflag.str \
  "$bin" --pack "$work/fm/bell.lst" --output "$work/fm/strings/missflag.str"
[ ! -e "$work/fm/strings/missflag.str" ] && ok || bad "the string file was made for an archive refused"

# A short name read from a titles file names no archive outside the FM.
layout fm.zip
mkdir -p "$work/fm/strings/english"
printf 'short_0:"../../escaped"\r\n' >"$work/fm/strings/english/titles.str"
printf 'strings\\english\\titles.str\r\n' >>"$work/fm/bell.lst"
"$bin" --pack "$work/fm/bell.lst" >"$work/stdout" 2>"$work/err" && ok || bad "default archive: $(cat "$work/err")"
[ -z "$(find "$work" -name '*escaped*' ! -path "$work/fm/*")" ] && [ -n "$(find "$work/fm" -name '*.zip')" ] && ok ||
  bad "default archive outside the FM: $(find "$work" -name '*escaped*')"

# A list line holding a NUL: --check names it, --pack packs nothing.
layout fm.zip
printf 'x' >"$work/fm/miss2.mis"
printf 'miss_1:""\r\nmiss_2:"end"\r\n' >"$work/fm/strings/missflag.str"
printf 'miss1.mis\r\nmiss\0002.mis\r\nstrings\\missflag.str\r\n' >"$work/fm/bell.lst"
expect "--check of a NUL line" 1 "" "$bin" --check "$work/fm/bell.lst"
grep -q "^error: .*Line 2 " "$work/stdout" && ok || bad "--check of a NUL line: $(cat "$work/stdout")"
expect "--pack of a NUL line" fail "line 2" "$bin" --pack "$work/fm/bell.lst" --force --output "$work/out/nul.zip"
[ ! -e "$work/out/nul.zip" ] && ok || bad "--pack of a NUL line made an archive"

# Nothing edited, nothing written: the sample packs from a folder that
# refuses changes and stays as it was.
layout fm.zip
rm -rf "$work/fm"
cp -r "$(dirname "$0")/../../sample/ShadowsOfTheBell" "$work/fm"
locked=""
for d in "$work/fm" "$work/fm/strings" "$work/fm/strings/english" "$work/fm/strings/german"; do
  chattr +i "$d" 2>/dev/null && locked="$d $locked"
done
expect "--pack of the sample" 0 "" "$bin" --pack "$work/fm/bell.lst" --output "$work/out/sample.zip"
for d in $locked; do chattr -i "$d"; done

# A path that climbs out in the middle is stored by one rule for the check
# and the engine: two files stored as x.bin are an error to both.
layout fm.zip
printf 'outside' >"$work/x.bin"
printf 'inside' >"$work/fm/x.bin"
printf 'obj\\..\\..\\x.bin\r\nx.bin\r\n' >>"$work/fm/bell.lst"
expect "--check of one stored name twice" 1 "" "$bin" --check "$work/fm/bell.lst"
grep -q '^warning: obj.*outside the FM directory' "$work/stdout" && grep -q '^error: x.bin: .*same name' "$work/stdout" &&
  ok || bad "--check of one stored name twice: $(cat "$work/stdout")"
# --force cannot pack it: the check names it (the packer's own refusal is
# PackagingTest's).
expect "--pack of one stored name twice" 1 "" "$bin" --pack "$work/fm/bell.lst" --force --output "$work/out/fm.zip"
grep -q '^error: x.bin: .*same name' "$work/err" && grep -q 'even with --force$' "$work/err" &&
  ok || bad "--pack of one stored name twice: $(cat "$work/err")"

# Temporary archives of a killed run: none where the system writes unnamed
# files, and those a run left (ours, for this archive) go at the next run.
layout fm.zip
{ cat "$mission"; head -c 60000000 /dev/urandom; } >"$work/fm/miss1.mis"
"$bin" --pack "$work/fm/bell.lst" --output "$work/out/fm.zip" >/dev/null 2>&1 &
pid=$!
writing=""
for _ in $(seq 200); do
  ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF -- "$work/out/" && { writing=1; break; }
  sleep 0.05
done
kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
if [ -n "$writing" ]; then
  [ "$(ls -A "$work/out")" = fm.zip ] && cmp -s "$work/out/fm.zip" "$work/earlier" && ok ||
    bad "a killed run left: $(ls -A "$work/out")"
else
  echo "skip: the run ended before it was seen writing"; skips=$((skips + 1))
fi
for f in .fm.zip.0123abcd.part .fm.zip.0123abcd.part.a1b2c3 .other.zip.0123abcd.part .fm.zip.notes; do
  printf 'stale' >"$work/out/$f"
done
"$bin" --pack "$work/fm/bell.lst" --output "$work/out/fm.zip" >/dev/null 2>"$work/err" && ok || bad "$(cat "$work/err")"
[ "$(ls -A "$work/out" | LC_ALL=C sort | tr '\n' ' ')" = ".fm.zip.notes .other.zip.0123abcd.part fm.zip " ] && ok ||
  bad "stale temporaries: $(ls -A "$work/out")"

echo "$passes passed, $failures failed, $skips skipped"
[ "$failures" -eq 0 ]
