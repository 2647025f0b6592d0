#!/usr/bin/env bash
# make release: the Windows and Linux packages of the checked-out commit in dist/, the same bytes
# wherever and whenever the commit is built.
# Usage: make-release.sh   (JOBS and CMAKE_FLAGS as for the Makefile's other targets)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
read -r -a cmake_flags <<<"${CMAKE_FLAGS:-}"

version=$(sed -n 's/^project(Kestrovan VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "make-release: no version in CMakeLists.txt" >&2; exit 1; }
# Every file of the packages carries the commit's time, so that no build's clock shows in them.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || { echo "make-release: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
export SOURCE_DATE_EPOCH=$epoch
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "make-release: the checkout has changes; the packages are not those of its commit" >&2
fi

build() { # folder, toolchain file or "", then cmake arguments
  local folder=$1 toolchain=()
  # A toolchain is taken only by a folder's first configuration.
  [ -n "$2" ] && [ ! -f "$folder/CMakeCache.txt" ] && toolchain=("-DCMAKE_TOOLCHAIN_FILE=$2")
  shift 2
  cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release -DKESTROVAN_TESTS=OFF "${toolchain[@]}" "$@" \
    "${cmake_flags[@]}" >/dev/null
  cmake --build "$folder" -j "$jobs" --target kestrovan kestrovan-profile
}
build build-release-win32 cmake/mingw-i686.cmake
build build-release-win64 cmake/mingw-x86_64.cmake
# The Linux programs as the test suites build them (-O2; GCC 12 warns wrongly of overlapping
# copies at -O3), without their symbols.
build build-release-linux "" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s

dist=$PWD/dist
stage=$dist/stage
rm -rf "$stage"
windows=$stage/kestrovan-$version-windows
linux=$stage/kestrovan-$version-linux-x86_64
mkdir -p "$windows/x86" "$windows/x64" "$linux"
for program in kestrovan kestrovan-profile; do
  cp build-release-win32/$program.exe "$windows/x86/"
  cp build-release-win64/$program.exe "$windows/x64/"
  cp build-release-linux/$program "$linux/"
done
# Notepad on an older probe shows a text file as one line without CR LF.
crlf() { sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$1" >"$2"; }
crlf docs/INSTALL.txt "$windows/INSTALL.txt"
crlf docs/SAP-Tessaloy.Gbl.sample "$windows/SAP Tessaloy.Gbl"
crlf docs/kestrovan-where.cmd "$windows/kestrovan-where.cmd"

# Modes and times as the commit has them, whatever the umask and the clock of this build.
fix_files() { # folder
  find "$1" -type d -exec chmod 755 {} +
  find "$1" -type f -exec chmod 644 {} +
  find "$1" -type f \( -name 'kestrovan' -o -name 'kestrovan-profile' -o -name '*.exe' \) \
    -exec chmod 755 {} +
}
checksums() { # folder: SHA256SUMS over every other file, in name order
  (cd "$1" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
    tr '\n' '\0' | xargs -0 sha256sum >SHA256SUMS)
}
for folder in "$windows" "$linux"; do
  checksums "$folder"
  fix_files "$folder"
  find "$folder" -exec touch -h -d "@$epoch" {} +
done

mkdir -p "$dist"
zip_file=$dist/kestrovan-$version-windows.zip
tar_file=$dist/kestrovan-$version-linux-x86_64.tar.gz
rm -f "$zip_file" "$tar_file" "$dist/SHA256SUMS"
# Zip keeps local times: in UTC they are the commit's everywhere. No directory entries and no
# extra fields (owners, further times); entries in name order.
(cd "$windows" && find . -type f | sed 's|^\./||' | LC_ALL=C sort |
  TZ=UTC zip -q -X -D "$zip_file" -@)
tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner --format=gnu \
  -C "$stage" -cf - "kestrovan-$version-linux-x86_64" | gzip -9 -n >"$tar_file"
(cd "$dist" && sha256sum "$(basename "$zip_file")" "$(basename "$tar_file")" >SHA256SUMS)
rm -rf "$stage"
echo "make-release: $(cd "$dist" && cat SHA256SUMS)"
