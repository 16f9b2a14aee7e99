#!/usr/bin/env bash
# The Windows release archive as an author gets it: made by
# scripts/package-windows (or the .zip given as the argument), its contents
# inspected, unpacked into a fresh folder named outside ASCII, and its
# program run under Wine in a throw-away prefix on copies of the sample FM,
# from another folder, with every path outside ASCII too.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/windows-common.sh"
if [ "$#" -ge 1 ]; then
  zip="$(realpath "$1")"
else
  zip="$("$root/scripts/package-windows" | tail -n 1)" || { echo "FAIL: scripts/package-windows"; echo "0 passed, 1 failed"; exit 1; }
fi
work=$(mktemp -d)
cleanup() { win_wine_cleanup; rm -rf "$work"; }
trap cleanup EXIT
failures=0
passes=0
pass() { passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
show() { echo "-- stdout:"; cat "$work/out"; echo "-- stderr:"; cat "$work/err"; }

version=$(sed -n 's/^project(Lanternwright VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="lanternwright-$version-win64"
[ "$(basename "$zip")" = "$name.zip" ] && pass || fail "the archive is named $(basename "$zip"), not $name.zip"
echo "$zip: $(stat -c %s "$zip") bytes"
unzip -l "$zip" | sed -n '4,$p' | head -n -2

# --- What the archive holds ---------------------------------------------------
# The program, its engine, README.txt and the licences in one folder, and
# besides them only DLLs that one of the files imports.
dir="$work/Programme Fässer 夜"
unzip -q "$zip" -d "$dir" && pass || fail "unzip $zip"
app="$dir/$name"
exe="$app/lanternwright-cli.exe"
for f in lanternwright-cli.exe zipeng.dll README.txt licences/gcc-runtime.txt licences/GPL-3.txt \
         licences/mingw-w64-runtime.txt licences/zlib.txt licences/libzip.txt licences/libdeflate.txt; do
  [ -s "$app/$f" ] && pass || fail "$f is not in the archive"
done
imports=$(for f in "$app"/*.exe "$app"/*.dll; do x86_64-w64-mingw32-objdump -p "$f" | awk '/DLL Name:/ { print tolower($3) }'; done)
unzip -Z1 "$zip" | while read -r entry; do
  case "$entry" in
    "$name/"|"$name/lanternwright-cli.exe"|"$name/zipeng.dll"|"$name/README.txt"|"$name/licences/"|"$name/licences/"*.txt) ;;
    "$name/"*.dll) grep -qxF "$(basename "$entry" | tr '[:upper:]' '[:lower:]')" <<<"$imports" || echo "$entry" ;;
    *) echo "$entry" ;;
  esac
done >"$work/extra"
[ ! -s "$work/extra" ] && pass || fail "the archive holds what nothing needs: $(tr '\n' ' ' <"$work/extra")"
# README.txt tells the author to keep each DLL beside the program.
for dll in "$app"/*.dll; do
  grep -qF "$(basename "$dll")" "$app/README.txt" && pass || fail "README.txt does not name $(basename "$dll")"
done
[ "$(unzip -Z1 "$zip" | grep -c -v "^$name/")" -eq 0 ] && pass || fail "entries outside the folder $name/"

# --- Under Wine ---------------------------------------------------------------
win_wine_prefix
# run ARGUMENT...: the program, started from a folder that is not its own
# (so it must find its engine beside itself), its output in out and err.
run() { (cd "$work" && "$wine" "$exe" "$@") >"$work/out" 2>"$work/err"; }
# status NAME EXPECTED-EXIT ARGUMENT...
status() {
  local what="$1" want="$2"; shift 2
  run "$@"; local rc=$?
  if [ "$rc" -eq "$want" ]; then pass; else fail "$what: exit $rc, expected $want"; show; fi
}

status "--version" 0 --version
[ "$(cat "$work/out")" = "lanternwright-cli $version" ] && pass || fail "--version printed '$(cat "$work/out")'"
status "--help" 0 --help
for opt in $(grep -oE -- '--[a-z]+' "$work/out" | sort -u); do
  grep -qF -- "$opt" "$app/README.txt" && pass || fail "README.txt does not name $opt"
done
status "no arguments" 2

# The sample checks clean; two entries stored under one name are an error,
# whose names reach a file or a pipe as UTF-8 whatever Wine's code page.
sample="$root/sample/ShadowsOfTheBell"
fm="$work/FM Glöckner 夜/bell"
mkdir -p "$(dirname "$fm")" && cp -r "$sample" "$fm"
status "--check sample" 0 --check "$(win_path "$fm/bell.lst")"
[ ! -s "$work/out" ] && pass || { fail "--check of the sample printed findings"; show; }
spoiled="$work/FM verdorben Ж/bell"
mkdir -p "$(dirname "$spoiled")" && cp -r "$sample" "$spoiled"
for d in "$spoiled" "$(dirname "$spoiled")"; do mkdir -p "$d/Glocken 夜" && printf '%s' "$d" >"$d/Glocken 夜/läuten.wav"; done
printf '..\\Glocken 夜\\läuten.wav\r\nGlocken 夜\\läuten.wav\r\n' >>"$spoiled/bell.lst"
status "--check spoiled" 1 --check "$(win_path "$spoiled/bell.lst")"
finding='error: Glocken 夜\läuten.wav: '
grep -qF "$finding" "$work/out" && pass || { fail "--check did not print '$finding...'"; show; }
iconv -f UTF-8 -t UTF-8 "$work/out" >/dev/null && pass || fail "--check's findings are not UTF-8"
! grep -q $'\r' "$work/out" && pass || fail "--check's findings end their lines with CR LF"
# In a console the finding reaches the screen as the same characters. Wine
# shows its console on the terminal with escape sequences, cursor moves for
# spaces and lines wrapped at 80 columns: compared without them.
if command -v script >/dev/null; then
  (cd "$work" && script -qec "$(printf '%q ' "$wine" "$exe" --check "$(win_path "$spoiled/bell.lst")")" /dev/null) \
    </dev/null 2>&1 | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d ' \r\n' >"$work/tty"
  grep -qF "${finding// /}" "$work/tty" && pass || { fail "the console did not show '$finding'"; cat "$work/tty"; }
fi

# --pack: an archive that three unzippers accept, holding exactly the listed
# files with the sample's bytes.
mkdir -p "$work/Pakete Ω"
archive="$work/Pakete Ω/bell.zip"
status "--pack" 0 --pack "$(win_path "$fm/bell.lst")" --output "$(win_path "$archive")"
grep -qF "bell.zip: " "$work/out" && pass || { fail "--pack did not say what it made"; show; }
unzip -tq "$archive" >"$work/t" 2>&1 && pass || { fail "unzip -t"; cat "$work/t"; }
7z t "$archive" >"$work/t" 2>&1 && pass || { fail "7z t"; cat "$work/t"; }
# (Compared with the files packed: --pack writes the string files first.)
python3 - "$archive" "$fm" "$fm/bell.lst" >"$work/t" 2>&1 <<'PY' && pass || { fail "the archive's entries"; cat "$work/t"; }
import os, sys, zipfile
archive, fm, lst = sys.argv[1:]
listed = [l.strip().replace("\\", "/") for l in open(lst, encoding="cp1252") if l.strip()]
with zipfile.ZipFile(archive) as z:
    bad = z.testzip()
    if bad: sys.exit(f"{bad}: CRC or header wrong")
    names = z.namelist()
    if sorted(names) != sorted(listed): sys.exit(f"entries {sorted(names)}, listed {sorted(listed)}")
    for n in names:
        if z.read(n) != open(os.path.join(fm, n), "rb").read(): sys.exit(f"{n}: bytes differ from the file's")
PY

# --convert to "-": the text in UTF-8 with LF line ends, from the sample's
# info file and from one in Windows-1252.
expect_text() {  # expect_text FILE ENCODING: what --convert prints for FILE
  python3 -c 'import sys; t = open(sys.argv[1], "rb").read().decode(sys.argv[2]).replace("\r\n", "\n"); sys.stdout.buffer.write((t if t.endswith("\n") else t + "\n").encode())' "$1" "$2"
}
status "--convert -" 0 --convert "$(win_path "$fm/fminfo.txt")" -
expect_text "$fm/fminfo.txt" ascii | cmp -s - "$work/out" && pass || { fail "--convert printed other text"; expect_text "$fm/fminfo.txt" ascii | diff - "$work/out" | head; }
printf 'Title: Der Glöckner\r\nAuthor: Zoë Brontë\r\n' | iconv -f UTF-8 -t CP1252 >"$fm/glöckner.txt"
status "--convert Windows-1252" 0 --convert "$(win_path "$fm/glöckner.txt")" -
expect_text "$fm/glöckner.txt" cp1252 | cmp -s - "$work/out" && pass || { fail "--convert of Windows-1252"; show; }

# Without its engine the program says so in one line, fails and leaves no
# archive; a zipeng.dll in the folder it works in is not taken instead.
mv "$app/zipeng.dll" "$work/"
status "--pack without zipeng.dll" 1 --pack "$(win_path "$fm/bell.lst")" --output "$(win_path "$work/Pakete Ω/none.zip")"
grep -qF "zipeng.dll" "$work/err" && [ "$(wc -l <"$work/err")" -eq 1 ] && pass || { fail "no one-line reason that names zipeng.dll"; show; }
cat "$work/err"
[ "$(ls "$work/Pakete Ω")" = bell.zip ] && pass || fail "--pack without its engine left $(ls "$work/Pakete Ω")"
mv "$work/zipeng.dll" "$app/"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
