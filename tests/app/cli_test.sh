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

# --pack: a small FM packed to its default name and to --output.
mkdir -p "$work/fm/strings/english"
printf 'x' >"$work/fm/thief2.exe"
printf 'mission' >"$work/fm/miss1.mis"
printf 'title_0:"Bell"\r\nshort_0:"bell"\r\n' >"$work/fm/strings/english/titles.str"
printf 'miss1.mis\r\nstrings\\english\\titles.str\r\n' >"$work/fm/bell.lst"
check pack 0 "$bin" --pack "$work/fm/bell.lst"
[ -f "$work/fm/bell.zip" ] && passes=$((passes + 1)) || { echo "FAIL: no bell.zip"; failures=$((failures + 1)); }
check pack-output 0 "$bin" --pack "$work/fm/bell.lst" --output "$work/out.zip"
[ -f "$work/out.zip" ] && passes=$((passes + 1)) || { echo "FAIL: no out.zip"; failures=$((failures + 1)); }
printf 'miss1.mis\r\nmiss9.mis\r\n' >"$work/fm/broken.lst"
check pack-missing-file 1 "$bin" --pack "$work/fm/broken.lst"
expect_text pack-missing-file "$work/err" "is missing in $work/fm: miss9.mis"
check pack-output-without-pack 2 "$bin" --output "$work/x.zip"

# --check: the sample checks clean; a fault is one line, or one JSON object.
sample="$(cd "$(dirname "$0")/../../sample" && pwd)"
check check-sample 0 "$bin" --check "$sample/ShadowsOfTheBell/bell.lst"
[ ! -s "$work/out" ] && passes=$((passes + 1)) || { echo "FAIL: the sample has findings:"; cat "$work/out"; failures=$((failures + 1)); }
printf 'odd' >"$work/fm/what?.txt"
printf 'miss1.mis\r\nwhat?.txt\r\n' >"$work/fm/odd.lst"
check check-error 1 "$bin" --check "$work/fm/odd.lst"
expect_text check-error "$work/out" "error: what?.txt: Windows cannot unpack this name"
check check-json 1 "$bin" --check "$work/fm/odd.lst" --json
expect_text check-json "$work/out" '{"severity":"error","file":"what?.txt","entry":1,"message":"Windows cannot unpack'
python3 -c 'import json,sys; [json.loads(l) for l in open(sys.argv[1])]' "$work/out" && passes=$((passes + 1)) || { echo "FAIL: --json lines are not JSON"; failures=$((failures + 1)); }
check check-unreadable-list 2 "$bin" --check "$work/fm/nothing.lst"
check check-missing-file 2 "$bin" --check "$work/fm/broken.lst"
expect_text check-missing-file "$work/err" ": miss9.mis"
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
# --pack checks first: errors stop it unless --force.
check pack-refuses-errors 1 "$bin" --pack "$work/fm/odd.lst" --output "$work/odd.zip"
expect_text pack-refuses-errors "$work/err" "--force packs anyway"
[ ! -e "$work/odd.zip" ] && passes=$((passes + 1)) || { echo "FAIL: --pack made a package despite errors"; failures=$((failures + 1)); }
printf 'miss1.mis\r\nmiss1.mis\r\n' >"$work/fm/twice.lst"
check pack-warnings-do-not-stop 0 "$bin" --pack "$work/fm/twice.lst" --output "$work/twice.zip"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
