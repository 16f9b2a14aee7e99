# Sourced by the scripts that build for 64-bit Windows (test-windows,
# package-windows) and the test that runs the Windows release under Wine:
# the MinGW-w64 cross toolchain, the Debian packages it needs, libzip,
# libdeflate and GoogleTest built for Windows once per build folder, the
# project configured for Windows, and a throw-away Wine prefix.
#
# libzip and libdeflate are not packaged for MinGW in Debian: their Debian
# source packages are fetched through a private apt source list (the
# system's own is left as it is) and built with the cross compiler.
# GoogleTest is built from Debian's googletest sources.
#
# Expects $root (the repository) to be set; sets $triple, $jobs and
# $toolchain.

triple=x86_64-w64-mingw32
jobs=2
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

# win_packages [PACKAGE...]: installs what cross-building needs, and the
# packages named, asking apt only for those that are missing.
win_packages() {
  local packages=(cmake make pkg-config python3 xz-utils ca-certificates
                  g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest "$@")
  local missing=() p sudo_cmd=""
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# win_deps BUILD: libdeflate, libzip and GoogleTest for Windows in
# BUILD/deps/prefix (their sources stay in BUILD/deps/src), built once.
win_deps() {
  local deps="$1/deps"
  local prefix="$deps/prefix"
  mkdir -p "$deps"
  [ -f "$prefix/.complete" ] && return 0
  echo "== Building libdeflate, libzip and GoogleTest for Windows"
  rm -rf "$prefix" "$deps/src" "$deps/apt"
  mkdir -p "$deps/apt/parts" "$deps/apt/lists/partial" "$deps/apt/cache/archives/partial" "$deps/src"
  # The same Debian archives the system installs from, as source lists.
  python3 - "$deps/apt/parts" <<'PY'
import glob, os, re, sys
out = sys.argv[1]
stanzas = []
for f in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for block in re.split(r"\n\s*\n", open(f).read()):
        if "debian-archive-keyring" in block and re.search(r"^Types:.*\bdeb\b", block, re.M):
            stanzas.append(re.sub(r"^Types:.*$", "Types: deb-src", block.strip(), flags=re.M))
lines = []
for f in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    if os.path.exists(f):
        for line in open(f):
            if re.match(r"\s*deb\s", line) and "/debian" in line:
                lines.append(re.sub(r"^\s*deb\s", "deb-src ", line.rstrip()))
if stanzas:
    open(os.path.join(out, "debian-src.sources"), "w").write("\n\n".join(stanzas) + "\n")
if lines:
    open(os.path.join(out, "debian-src.list"), "w").write("\n".join(lines) + "\n")
if not stanzas and not lines:
    sys.exit("no Debian archive found in the system's apt sources")
PY
  local apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$deps/apt/parts"
                  -o "Dir::State::Lists=$deps/apt/lists" -o "Dir::Cache=$deps/apt/cache")
  # As root, apt would hand the download to its _apt user, who may not
  # write into this folder.
  [ "$(id -u)" -eq 0 ] && apt_opts+=(-o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" -qq update
  (cd "$deps/src" && apt-get "${apt_opts[@]}" -qq source --download-only libzip libdeflate >/dev/null)
  (cd "$deps/src" && for t in libdeflate_*.orig.tar.* libzip_*.orig.tar.*; do tar xf "$t"; done)

  # libdeflate: its own Makefile knows MinGW (and names the static
  # library libdeflatestatic.lib there); only that library is needed.
  local src_deflate src_zip version
  src_deflate=$(echo "$deps"/src/libdeflate-*/)
  make -s -C "$src_deflate" -j$jobs CC=$triple-gcc-posix AR=$triple-ar libdeflatestatic.lib
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$src_deflate/libdeflate.h" "$prefix/include/"
  cp "$src_deflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  version=$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[^"]*"\([^"]*\)".*/\1/p' "$src_deflate/libdeflate.h")
  cat > "$prefix/lib/pkgconfig/libdeflate.pc" <<PC
prefix=$prefix
Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip
Version: $version
Libs: -L\${prefix}/lib -ldeflate
Cflags: -I\${prefix}/include
PC

  # libzip: zlib only, the system's own crypto (bcrypt) for encryption.
  src_zip=$(echo "$deps"/src/libzip-*/)
  cmake -S "$src_zip" -B "$deps/libzip-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=ON -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >"$deps/libzip.log" 2>&1
  # Its own warnings are not ours; the log keeps them.
  cmake --build "$deps/libzip-build" -j$jobs >>"$deps/libzip.log" 2>&1 || { cat "$deps/libzip.log"; return 1; }
  cmake --install "$deps/libzip-build" >/dev/null

  # GoogleTest from Debian's sources.
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/gtest-build" -j$jobs >/dev/null
  cmake --install "$deps/gtest-build" >/dev/null
  touch "$prefix/.complete"
}

# win_configure BUILD TREE BUILD-TYPE [CMAKE-ARGUMENT...]: the project
# configured for Windows in TREE, without the windows (Qt), against the
# libraries win_deps built in BUILD.
win_configure() {
  local prefix="$1/deps/prefix" tree="$2" type="$3"
  shift 3
  # pkg-config answers for the Windows libraries only, with what static
  # linking needs (libzip's zlib and bcrypt).
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
  export PKG_CONFIG_PATH=""
  cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE="$type" \
    -DLW_BUILD_GUI=OFF -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DPKG_CONFIG_ARGN=--static "$@" >/dev/null
}

# win_wine_prefix: a fresh Wine prefix; sets $wine (the 64-bit loader) and
# $WINEPREFIX. The caller's exit trap calls win_wine_cleanup. No display is
# needed: the programs are console ones.
win_wine_prefix() {
  # Debian installs the 64-bit loader outside PATH when the wine wrapper
  # package is not there.
  wine=$(command -v wine64 || true)
  [ -n "$wine" ] || wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || { echo "wine64 not found" >&2; return 1; }
  WINEPREFIX="$(mktemp -d)"
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export DISPLAY=""
  # Wine turns Unix text (arguments, the registry values the scripts add)
  # into Windows text through the locale's character set; UTF-8 keeps
  # every name intact.
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  # Making the prefix prints noise about missing 32-bit parts; it is not ours.
  "$wine" wineboot --init >/dev/null 2>&1 || true
}

# win_wine_cleanup: ends the prefix's Wine processes and removes it.
win_wine_cleanup() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  local wineserver
  wineserver=$(command -v wineserver || true)
  [ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver64
  [ -x "$wineserver" ] && "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

# win_path UNIX-PATH: the path as a Windows program under Wine names it
# (the Z: drive is the Unix root).
win_path() {
  printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"
}
