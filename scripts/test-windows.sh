#!/usr/bin/env bash
# Runs the end-to-end suite against the 32-bit Windows programs under Wine.
# Usage: test-windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(realpath "$1")
windows_build=$(realpath "$2")

# A kernel without 32-bit compatibility mode (some virtual machines) starts no 32-bit program at
# all, Wine's loader included: then the programs are built but cannot be run here.
if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "test-windows: this machine's kernel runs no 32-bit programs; the 32-bit Windows programs were built, not run" >&2
  exit 0
fi

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/kestrovan-wine.XXXXXX)
export WINEDEBUG=-all
# A crash must not start winedbg, whose register dump would land in standard output.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p # one server for the whole run: about 40 ms a program instead of 0.4 s
# The first program of a fresh server starts Wine's helper processes, which inherit its output:
# run one with its output discarded so that no captured pipe is held open afterwards.
wine "$windows_build/kestrovan.exe" >/dev/null 2>&1 || true

# Wine alone without its 32-bit part runs nothing and says nothing: make sure output arrives.
probe=$(scripts/wine-program.sh "$windows_build/kestrovan.exe" || true)
if [[ "$probe" != *"Error 1001: Parameter for Profile-Name is missing !"* ]]; then
  echo "the Windows sensor printed nothing under Wine: is wine32 installed?" >&2
  exit 1
fi

# The program installed four ways, each in a folder of its own as on a probe:
#   standin     with the switch file that selects the bundled stand-in
#   dll         with the stand-in built as librfc32.dll, bound at run time like SAP's DLL
#   none        without any library
#   incomplete  with a librfc32.dll that lacks RfcLastError
programs="$WINEPREFIX/programs"
install_program() { # folder, extra files...
  local folder="$programs/$1"
  shift
  mkdir -p "$folder"
  cp "$windows_build/kestrovan.exe" "$windows_build/kestrovan-profile.exe" "$folder/"
  for extra in "$@"; do cp "$extra" "$folder/"; done
  for program in kestrovan kestrovan-profile; do
    printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$PWD/scripts/wine-program.sh" "$folder/$program.exe" >"$folder/$program"
    chmod +x "$folder/$program"
  done
}
touch "$WINEPREFIX/Kestrovan.RfcStandin"
install_program standin "$WINEPREFIX/Kestrovan.RfcStandin"
install_program dll "$windows_build/rfc-standin/librfc32.dll"
install_program none
install_program incomplete "$windows_build/testing/rfc-incomplete/librfc32.dll"
export KESTROVAN_TEST_SENSOR_WITHOUT_LIBRARY="$programs/none/kestrovan"
export KESTROVAN_TEST_SENSOR_INCOMPLETE_LIBRARY="$programs/incomplete/kestrovan"

# Only the end-to-end tests run programs; one at a time, since the drive mapping is shared.
for installation in standin dll; do
  echo "=== end-to-end suite against the Windows programs ($installation) ==="
  KESTROVAN_TEST_SENSOR="$programs/$installation/kestrovan" \
  KESTROVAN_TEST_PROFILE_WRITER="$programs/$installation/kestrovan-profile" \
    ctest --test-dir "$linux_build" --output-on-failure -j 1 -R 'EndToEnd\.'
done
