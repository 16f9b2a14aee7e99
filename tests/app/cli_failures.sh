#!/usr/bin/env bash
# --pack and --convert when their write fails: a folder that refuses
# changes, a full disk, a file size limit, a directory in the file's place,
# the folder gone.
# Each must exit non-zero with a one-line reason that names the file, keep
# the earlier file as it was and leave no temporary file behind.
set -u
bin="$1"
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
  head -c 20000 /dev/urandom >"$work/fm/miss1.mis"  # does not compress below the limit
  printf 'miss_1:"end"\r\n' >"$work/fm/strings/missflag.str"
  printf 'miss1.mis\r\nstrings\\missflag.str\r\n' >"$work/fm/bell.lst"
  head -c 20000 /dev/urandom | base64 >"$work/notes.txt"
  printf 'earlier' >"$work/out/$1"
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
  case "$case" in
    read-only|disk-full|size-limit)
      [ "$(cat "$work/out/$target")" = "earlier" ] && ok || bad "$what: the earlier file changed"
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
[ ! -e "$work/fm" ] && [ "$(cat "$work/out/fm.zip")" = "earlier" ] && ok || bad "pack of a removed FM left files"

echo "$passes passed, $failures failed, $skips skipped"
[ "$failures" -eq 0 ]
