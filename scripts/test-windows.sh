#!/usr/bin/env bash
# Runs the end-to-end suite against the 32-bit Windows programs under Wine.
# Usage: test-windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(realpath "$1")
windows_build=$(realpath "$2")

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

wrapper_dir="$WINEPREFIX/wrappers"
mkdir -p "$wrapper_dir"
for program in kestrovan kestrovan-profile; do
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$PWD/scripts/wine-program.sh" "$windows_build/$program.exe" \
    >"$wrapper_dir/$program"
  chmod +x "$wrapper_dir/$program"
done
export KESTROVAN_TEST_SENSOR="$wrapper_dir/kestrovan"
export KESTROVAN_TEST_PROFILE_WRITER="$wrapper_dir/kestrovan-profile"

# Only the end-to-end tests run programs; one at a time, since the drive mapping is shared.
ctest --test-dir "$linux_build" --output-on-failure -j 1 -R 'EndToEnd\.'
