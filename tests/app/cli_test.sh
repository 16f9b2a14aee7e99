#!/usr/bin/env bash
# The command-line modes of a real program (the window program or the
# console program), with no display at all.
set -u
bin="$1"
fixtures="$2"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
check() {  # check NAME EXPECTED-EXIT COMMAND...
  local name="$1" want="$2"
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL: $name: exit $got, expected $want"; cat "$work/err"; failures=$((failures + 1))
  else
    passes=$((passes + 1))
  fi
}
expect_text() {  # expect_text NAME FILE TEXT
  if grep -qF -- "$3" "$2"; then passes=$((passes + 1)); else echo "FAIL: $1: no \"$3\" in $2"; failures=$((failures + 1)); fi
}

check help 0 "$bin" --help
expect_text help "$work/out" "--pack LISTFILE"
check version 0 "$bin" --version
expect_text version "$work/out" "$(basename "$bin") "
check unknown-option 2 "$bin" --frobnicate
check convert-missing-argument 2 "$bin" --convert only-one

# --convert: RTF to text on standard output, to .txt, and to RTF.
check convert-to-stdout 0 "$bin" --convert "$fixtures/rtf/wordpad_cp1252.rtf" -
expect_text convert-to-stdout "$work/out" "The Lantern Keeper"
check convert-to-txt 0 "$bin" --convert "$fixtures/rtf/wordpad_cp1252.rtf" "$work/info.TXT"
[ "$(head -c 5 "$work/info.TXT")" != "{\\rtf" ] && passes=$((passes + 1)) || { echo "FAIL: .TXT got RTF"; failures=$((failures + 1)); }
check convert-to-rtf 0 "$bin" --convert "$work/info.TXT" "$work/back.rtf"
[ "$(head -c 5 "$work/back.rtf")" = "{\\rtf" ] && passes=$((passes + 1)) || { echo "FAIL: .rtf got no RTF"; failures=$((failures + 1)); }
check convert-missing-input 1 "$bin" --convert "$work/nothing.rtf" -
expect_text convert-missing-input "$work/err" "nothing.rtf"
[ "$(wc -l <"$work/err")" -eq 1 ] && passes=$((passes + 1)) || { echo "FAIL: reason is not one line"; failures=$((failures + 1)); }
check convert-unwritable 1 "$bin" --convert "$work/info.TXT" "$work/no/such/dir/out.rtf"
# Onto itself, by any name: the author's file would be replaced by less.
cp "$work/back.rtf" "$work/kept.rtf"
ln -s back.rtf "$work/link.rtf"
for onto in back.rtf link.rtf; do
  check "convert-onto-itself $onto" 1 "$bin" --convert "$work/back.rtf" "$work/$onto"
  cmp -s "$work/back.rtf" "$work/kept.rtf" && [ -L "$work/link.rtf" ] && passes=$((passes + 1)) ||
    { echo "FAIL: --convert wrote over its input"; failures=$((failures + 1)); }
done

# --pack: a small FM packed to its default name and to --output.
mkdir -p "$work/fm/strings/english"
printf 'x' >"$work/fm/thief2.exe"
sample="$(cd "$(dirname "$0")/../../sample" && pwd)"
cp "$sample/ShadowsOfTheBell/miss1.mis" "$work/fm/miss1.mis"
printf 'title_0:"Bell"\r\nshort_0:"bell"\r\n' >"$work/fm/strings/english/titles.str"
printf 'miss1.mis\r\nstrings\\english\\titles.str\r\n' >"$work/fm/bell.lst"
check pack 0 "$bin" --pack "$work/fm/bell.lst"
[ -f "$work/fm/bell.zip" ] && passes=$((passes + 1)) || { echo "FAIL: no bell.zip"; failures=$((failures + 1)); }
check pack-output 0 "$bin" --pack "$work/fm/bell.lst" --output "$work/out.zip"
[ -f "$work/out.zip" ] && passes=$((passes + 1)) || { echo "FAIL: no out.zip"; failures=$((failures + 1)); }
printf 'miss1.mis\r\nmiss9.mis\r\n' >"$work/fm/broken.lst"
check pack-missing-file 1 "$bin" --pack "$work/fm/broken.lst"
expect_text pack-missing-file "$work/err" "error: miss9.mis: Listed, but not found"
check pack-output-without-pack 2 "$bin" --output "$work/x.zip"

# --check: the sample checks clean; a fault is one line, or one JSON object.
check check-sample 0 "$bin" --check "$sample/ShadowsOfTheBell/bell.lst"
[ ! -s "$work/out" ] && passes=$((passes + 1)) || { echo "FAIL: the sample has findings:"; cat "$work/out"; failures=$((failures + 1)); }
expect_text check-sample "$work/err" "bell.lst: the check found nothing"
printf 'odd' >"$work/fm/what?.txt"
printf 'miss1.mis\r\nwhat?.txt\r\n' >"$work/fm/odd.lst"
check check-error 1 "$bin" --check "$work/fm/odd.lst"
expect_text check-error "$work/out" "error: what?.txt: Windows cannot unpack this name"
check check-json 1 "$bin" --check "$work/fm/odd.lst" --json
expect_text check-json "$work/out" '{"severity":"error","file":"what?.txt","entry":1,"message":"Windows cannot unpack'
python3 -c 'import json,sys; [json.loads(l) for l in open(sys.argv[1])]' "$work/out" && passes=$((passes + 1)) || { echo "FAIL: --json lines are not JSON"; failures=$((failures + 1)); }
check check-unreadable-list 2 "$bin" --check "$work/fm/nothing.lst"
check check-missing-file 1 "$bin" --check "$work/fm/broken.lst"
expect_text check-missing-file "$work/out" "error: miss9.mis: Listed, but not found"
expect_text check-missing-file "$work/err" "the check found 1 error, "
# Listed things that are no files: each a finding of its own, at once.
mkdir -p "$work/fm/obj/sub"
mkfifo "$work/fm/obj/pipe"
ln -s /dev/null "$work/fm/obj/null.bin"
mkdir -p "$work/fm/strings/german"
mkfifo "$work/fm/strings/german/titles.str"  # read as none, never waited on
printf 'miss1.mis\r\nobj\\sub\r\nobj\\pipe\r\nobj\\null.bin\r\nmiss8.mis\r\nstrings\\german\\titles.str\r\n' >"$work/fm/nofiles.lst"
check check-no-files 1 timeout 60 "$bin" --check "$work/fm/nofiles.lst"
expect_text check-no-files "$work/out" "error: obj\sub: Is a folder, not a file"
expect_text check-no-files "$work/out" "error: obj\pipe: Is not a regular file"
expect_text check-no-files "$work/out" "error: obj\null.bin: Is not a regular file"
expect_text check-no-files "$work/out" "error: miss8.mis: Listed, but not found"
expect_text check-no-files "$work/out" "error: strings\german\titles.str: Is not a regular file"
# What is no list file: refused in one line, and a pipe is not waited on.
mkfifo "$work/list.fifo"
check fifo-list 2 timeout 60 "$bin" --check "$work/list.fifo"
expect_text fifo-list "$work/err" "not a regular file"
head -c 65536 "$bin" >"$work/program.lst"  # a program's first bytes
check binary-list 2 "$bin" --check "$work/program.lst"
expect_text binary-list "$work/err" "is not a list file"
[ "$(wc -l <"$work/err")" -eq 1 ] && passes=$((passes + 1)) || { echo "FAIL: binary list: $(wc -l <"$work/err") lines"; failures=$((failures + 1)); }
# What a mode does not use is a usage error, not passed over.
check extra-argument 2 "$bin" --check "$work/fm/odd.lst" "$work/fm/bell.lst"
check json-with-pack 2 "$bin" --pack "$work/fm/bell.lst" --json
check output-with-check 2 "$bin" --check "$work/fm/bell.lst" --output "$work/x.zip"
check two-modes 2 "$bin" --check "$work/fm/bell.lst" --pack "$work/fm/bell.lst"
[ ! -e "$work/x.zip" ] && passes=$((passes + 1)) || { echo "FAIL: a usage error packed"; failures=$((failures + 1)); }
check json-without-check 2 "$bin" --json
# The findings cannot be written: the check did not happen.
if [ -w /dev/full ]; then
  "$bin" --check "$work/fm/odd.lst" >/dev/full 2>"$work/err"; rc=$?
  [ "$rc" -eq 2 ] && grep -qF "could not be written" "$work/err" && passes=$((passes + 1)) || { echo "FAIL: --check to a full disk: exit $rc"; failures=$((failures + 1)); }
fi
# Two entries stored under one name.
mkdir -p "$work/shared" "$work/fm/shared"
printf 'a' >"$work/shared/x.wav"; printf 'b' >"$work/fm/shared/x.wav"
printf 'miss1.mis\r\n..\\shared\\x.wav\r\nshared\\x.wav\r\n' >"$work/fm/same.lst"
check check-same-stored-name 1 "$bin" --check "$work/fm/same.lst"
expect_text check-same-stored-name "$work/out" "error: shared\x.wav: Is stored under the same name as"
# --pack checks first: one error stops it unless --force.
printf 'not RTF' >"$work/fm/fminfo.rtf"
printf 'miss1.mis\r\nfminfo.rtf\r\n' >"$work/fm/rtf.lst"
check pack-refuses-an-error 1 "$bin" --pack "$work/fm/rtf.lst" --output "$work/rtf.zip"
expect_text pack-refuses-an-error "$work/err" "error: fminfo.rtf: Does not start with"
expect_text pack-refuses-an-error "$work/err" "the check found 1 error; --force packs anyway"
[ ! -e "$work/rtf.zip" ] && passes=$((passes + 1)) || { echo "FAIL: --pack made a package despite an error"; failures=$((failures + 1)); }
check pack-force 0 "$bin" --pack "$work/fm/rtf.lst" --output "$work/rtf.zip" --force
# A name Windows cannot unpack: --force cannot help, so it is not offered.
check pack-refuses-unpackable 1 "$bin" --pack "$work/fm/odd.lst" --output "$work/odd.zip" --force
expect_text pack-refuses-unpackable "$work/err" "cannot be packed as listed, even with --force"
! grep -qF -- "--force packs anyway" "$work/err" && passes=$((passes + 1)) || { echo "FAIL: --force offered where it cannot help"; failures=$((failures + 1)); }
[ ! -e "$work/odd.zip" ] && passes=$((passes + 1)) || { echo "FAIL: --pack made a package despite errors"; failures=$((failures + 1)); }
printf 'miss1.mis\r\nmiss1.mis\r\n' >"$work/fm/twice.lst"
check pack-warnings-do-not-stop 0 "$bin" --pack "$work/fm/twice.lst" --output "$work/twice.zip"

# An FM as authors keep it, without the game's program: the missions tell
# the game. What they use must be listed; --game and --game-dir say the rest.
cp -r "$sample/ShadowsOfTheBell" "$work/kept"
rm "$work/kept/thief2.exe"
check check-kept-tree 0 "$bin" --check "$work/kept/bell.lst"
check pack-kept-tree 0 "$bin" --pack "$work/kept/bell.lst" --output "$work/kept.zip"
grep -v 'stone.pcx' "$work/kept/bell.lst" >"$work/kept/short.lst"
check check-used-file-off-the-list 1 "$bin" --check "$work/kept/short.lst" --game thief2
expect_text check-used-file-off-the-list "$work/out" 'error: fam\bell\stone.pcx: miss1.mis uses fam\bell\stone.pcx, which the list lacks'
mkdir -p "$work/game/RES"
printf 'x' >"$work/game/cam.cfg"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").writestr("other/x.pcx", "")' "$work/game/RES/fam.crf"
rm "$work/kept/fam/bell/stone.pcx"
check check-game-dir 1 "$bin" --check "$work/kept/short.lst" --game-dir "$work/game"
expect_text check-game-dir "$work/out" 'error: fam\bell\stone: miss1.mis uses fam\bell\stone, which is in neither the FM nor the game'
check game-dir-missing 2 "$bin" --check "$work/kept/bell.lst" --game-dir "$work/nowhere"
expect_text game-dir-missing "$work/err" "nowhere"
check game-unknown 2 "$bin" --check "$work/kept/bell.lst" --game thief3
check game-without-check 2 "$bin" --convert "$work/info.TXT" - --game t2x
check help-names-game 0 "$bin" --help
expect_text help-names-game "$work/out" "--game-dir DIR"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
