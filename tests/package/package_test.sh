#!/usr/bin/env bash
# The Debian package as a user gets it: made by scripts/package (or the .deb
# given as the argument), its fields and files inspected, unpacked into a
# scratch root, and the program run from there with nothing from the build.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ "$#" -ge 1 ]; then
  deb="$1"
else
  deb="$("$root/scripts/package" | tail -n 1)" || { echo "FAIL: scripts/package"; echo "0 passed, 1 failed"; exit 1; }
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
pass() { passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect NAME COMMAND...: the command succeeds
  local name="$1"; shift
  if "$@" >"$work/out" 2>"$work/err"; then pass; else fail "$name"; cat "$work/out" "$work/err"; fi
}

app_id=io.github.lanternwright.Lanternwright
version=$(sed -n 's/^project(Lanternwright VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg --print-architecture)
[ -n "$version" ] && pass || fail "no version in CMakeLists.txt"
[ "$(basename "$deb")" = "lanternwright_${version}_${arch}.deb" ] && pass || fail "package file is named $(basename "$deb")"

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = lanternwright ] && pass || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] && pass || fail "Version is '$(field Version)', the project's is $version"
[ "$(field Architecture)" = "$arch" ] && pass || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] && pass || fail "no Maintainer"
[ "$(field Description | wc -l)" -ge 2 ] && pass || fail "Description has no extended text"
if field Description | awk 'length > 80 { bad = 1 } END { exit bad }'; then pass; else fail "Description has lines over 80 columns"; fi
depends=$(field Depends)
echo "Depends: $depends"
[ -n "$depends" ] && pass || fail "Depends is empty"

# Files in their places.
dpkg-deb --contents "$deb" | awk '{ print $6 }' >"$work/contents"
for f in ./usr/bin/lanternwright ./usr/bin/lanternwright-cli ./usr/lib/lanternwright/libzipeng.so \
         "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
         ./usr/share/icons/hicolor/scalable/apps/lanternwright.svg ./usr/share/man/man1/lanternwright.1.gz \
         ./usr/share/man/man1/lanternwright-cli.1.gz; do
  grep -qxF "$f" "$work/contents" && pass || fail "$f is not in the package"
done

# Unpacked as dpkg would, but into a scratch root: the program is not in
# /usr/bin, so it must find its engine relative to itself.
dest="$work/root"
expect "dpkg -x" dpkg -x "$deb" "$dest"
bin="$dest/usr/bin/lanternwright"
cli="$dest/usr/bin/lanternwright-cli"
unset LD_LIBRARY_PATH DISPLAY WAYLAND_DISPLAY

# Every library the program and the engine link comes from a package that
# Depends names.
tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' >"$work/depends"
for elf in "$bin" "$cli" "$dest/usr/lib/lanternwright/libzipeng.so"; do
  for lib in $(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }'); do
    # ldd shows "name => path", and the dynamic loader by its path alone.
    path=$(ldd "$elf" | awk -v l="$lib" '$1 == l { print $3 } $1 ~ ("/" l "$") { print $1 }' | head -n 1)
    owner=$({ dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null; } | head -n 1 | cut -d: -f1)
    if [ -n "$owner" ] && grep -qxF "$owner" "$work/depends"; then pass
    else fail "$(basename "$elf") links $lib ($path, package '${owner}') that Depends does not name"; fi
  done
done

# Metadata: the AppStream file, the desktop entry and the links between them.
expect "appstreamcli validate" appstreamcli validate --no-net "$dest/usr/share/metainfo/$app_id.metainfo.xml"
cat "$work/out"
expect "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$dest"
expect "desktop-file-validate" desktop-file-validate "$dest/usr/share/applications/$app_id.desktop"
metainfo="$root/data/$app_id.metainfo.xml"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] && pass || fail "newest AppStream release is '$newest', the project's version is $version"
# The screenshot the metadata points at is a file in this repository, with
# the size the metadata gives.
shot=$(sed -n 's|.*<image[^>]*>https://[^<]*/main/\([^<]*\)</image>.*|\1|p' "$metainfo")
size=$(sed -n 's|.*<image[^>]*width="\([0-9]*\)" height="\([0-9]*\)".*|\1 x \2|p' "$metainfo")
if [ -n "$shot" ] && [ -f "$root/$shot" ] && file "$root/$shot" | grep -qF "PNG image data, $size,"; then pass
else fail "screenshot '$shot' is not a PNG of $size in the repository"; fi

# The manual page: no groff warnings, and every option --help shows.
zcat "$dest/usr/share/man/man1/lanternwright.1.gz" >"$work/page.1"
groff -man -Tutf8 -ww -z "$work/page.1" 2>"$work/err"
[ ! -s "$work/err" ] && pass || { fail "groff warns about the manual page"; cat "$work/err"; }
groff -man -Tascii "$work/page.1" 2>/dev/null | col -b >"$work/page.txt"
grep -qF "Lanternwright $version" "$work/page.txt" && pass || fail "manual page does not carry version $version"
[ "$(readlink "$dest/usr/share/man/man1/lanternwright-cli.1.gz")" = lanternwright.1.gz ] && pass \
  || fail "lanternwright-cli.1.gz does not lead to the manual page"
grep -qF "lanternwright-cli" "$work/page.txt" && pass || fail "manual page does not name lanternwright-cli"
{ "$bin" --help; "$cli" --help; } >"$work/help" 2>&1
for opt in $(grep -oE -- '--[a-z]+' "$work/help" | sort -u); do
  grep -qF -- "$opt" "$work/page.txt" && pass || fail "manual page does not document $opt"
done

# The installed program, run with nothing from the build.
expect "--version" "$bin" --version
[ "$(cat "$work/out")" = "lanternwright $version" ] && pass || fail "--version printed '$(cat "$work/out")'"
cp -r "$root/sample/ShadowsOfTheBell" "$work/fm"
LD_DEBUG=files "$bin" --pack "$work/fm/bell.lst" --output "$work/bell.zip" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" -eq 0 ] && pass || { fail "--pack exit $rc"; grep -v '^ *[0-9]*:' "$work/err"; }
loaded=$(sed -n 's/.*file=\([^ ]*libzipeng\.so\) \[0\]; *dynamically loaded.*/\1/p' "$work/err" | head -n 1)
[ -n "$loaded" ] && [ "$(readlink -f "$loaded")" = "$(readlink -f "$dest/usr/lib/lanternwright/libzipeng.so")" ] && pass \
  || fail "--pack did not load the installed engine but '$loaded'"
expect "unzip -t" unzip -t "$work/bell.zip"
unzip -Z1 "$work/bell.zip" | sort >"$work/entries"
tr -d '\r' <"$work/fm/bell.lst" | grep -v '^\[' | grep -v '^$' | tr '\\' '/' | sort >"$work/listed"
comm -23 "$work/listed" "$work/entries" >"$work/missing"
[ -s "$work/listed" ] && [ ! -s "$work/missing" ] && pass || fail "archive lacks listed files: $(cat "$work/missing")"
# The console program, which links no Qt, finds the same engine.
[ -z "$(objdump -p "$cli" | awk '$1 == "NEEDED" && $2 ~ /^libQt/')" ] && pass || fail "lanternwright-cli links Qt"
expect "lanternwright-cli --version" "$cli" --version
[ "$(cat "$work/out")" = "lanternwright-cli $version" ] && pass || fail "lanternwright-cli --version printed '$(cat "$work/out")'"
expect "lanternwright-cli --check" "$cli" --check "$work/fm/bell.lst"
expect "lanternwright-cli --pack" "$cli" --pack "$work/fm/bell.lst" --output "$work/bell-cli.zip"
expect "unzip -t of lanternwright-cli's archive" unzip -t "$work/bell-cli.zip"
# Without its engine the program says so in one line and fails.
mv "$dest/usr/lib/lanternwright/libzipeng.so" "$work/"
"$bin" --pack "$work/fm/bell.lst" --output "$work/none.zip" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" -eq 1 ] && grep -qF libzipeng.so "$work/err" && [ "$(wc -l <"$work/err")" -eq 1 ] && pass \
  || { fail "--pack without the engine: exit $rc"; cat "$work/err"; }
mv "$work/libzipeng.so" "$dest/usr/lib/lanternwright/"

# The window opens on a real X server: the package brings a platform plugin.
if xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
     "$1" "$2" 2>"$3" & pid=$!
     sleep 3
     kill -0 "$pid" || exit 1
     kill "$pid"; wait "$pid"; exit 0' _ "$bin" "$work/fm/bell.lst" "$work/gui-err"; then pass
else fail "the window did not stay open under Xvfb"; cat "$work/gui-err"; fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
