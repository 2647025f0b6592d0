#!/usr/bin/env bash
# Runs the end-to-end suite against the Windows programs under Wine: the 32-bit program with each
# RFC library it can bind, and the 64-bit program with the NetWeaver library.
# Usage: test-windows.sh LINUX_BUILD_DIR WIN32_BUILD_DIR [WIN64_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(realpath "$1")
windows_build=$(realpath "$2")
windows64_build=${3:+$(realpath "$3")}

# A kernel without 32-bit compatibility mode (some virtual machines) starts no 32-bit program at
# all, Wine's loader included: then the 32-bit programs are built but cannot be run here; the
# 64-bit program still is.
kernel_runs_32bit=yes
if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  kernel_runs_32bit=no
fi
# Where wine32 could not be installed (its packages must match the machine's own versions, which
# a mirror in mid-sync may not offer), the 32-bit programs cannot be run either.
wine32_installed=yes
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  wine32_installed=no
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

# Debian's `wine` starts the 32-bit loader, which hands 64-bit programs on to wine64; where the
# 32-bit loader cannot start, 64-bit programs go to wine64 directly.
wine64_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
wine32_runs=$kernel_runs_32bit
[ "$wine32_installed" = no ] && wine32_runs=no
if [ "$wine32_runs" = yes ]; then
  wine wineboot -i >/dev/null 2>&1
else
  WINELOADER=$wine64_loader "$wine64_loader" wineboot -i >/dev/null 2>&1 || true
fi
wineserver -w
wineserver -p # one server for the whole run: about 40 ms a program instead of 0.4 s

programs="$WINEPREFIX/programs"
install_program() { # folder, build, extra files...
  local folder="$programs/$1" build=$2 loader=wine
  shift 2
  [ "$build" = "$windows64_build" ] && loader=$wine64_loader
  mkdir -p "$folder"
  cp "$build/kestrovan.exe" "$build/kestrovan-profile.exe" "$folder/"
  # An extra file is a path, copied as it is named, or name=path (name=: an empty file).
  for extra in "$@"; do
    if [[ "$extra" == *=* ]]; then
      if [ -n "${extra#*=}" ]; then cp "${extra#*=}" "$folder/${extra%%=*}"; else : >"$folder/${extra%%=*}"; fi
    else
      cp "$extra" "$folder/"
    fi
  done
  for program in kestrovan kestrovan-profile; do
    printf '#!/bin/sh\nKESTROVAN_WINE="%s" exec "%s" "%s" "$@"\n' "$loader" \
      "$PWD/scripts/wine-program.sh" "$folder/$program.exe" >"$folder/$program"
    chmod +x "$folder/$program"
  done
}

# The NetWeaver stand-in with a unicode layer of our own beside it that names ICU 50 files, with
# those files missing, empty, of the other bitness, or all there (our own library under their
# names); and an empty file as the library itself. For a program of one bitness (its build, the
# other build, a suffix for the folders).
install_icu_programs() {
  local build=$1 other=$2 suffix=$3
  local nw="$build/nwrfc-standin/sapnwrfc.dll" ucum="$build/testing/sapucum/libsapucum.dll"
  local icu="$build/testing/icu/icu_standin.dll" wrong="$other/testing/icu/icu_standin.dll"
  install_program "icu_missing$suffix" "$build" "$nw" "$ucum"
  install_program "icu_complete$suffix" "$build" "$nw" "$ucum" "icuuc50.dll=$icu" \
    "icuin50.dll=$icu" "icudt50.dll=$icu"
  install_program "icu_empty$suffix" "$build" "$nw" "$ucum" "icuuc50.dll=$icu" \
    "icuin50.dll=$icu" "icudt50.dll="
  install_program "icu_other_bits$suffix" "$build" "$nw" "$ucum" "icuuc50.dll=$icu" \
    "icuin50.dll=$icu" "icudt50.dll=$wrong"
  install_program "not_a_library$suffix" "$build" "sapnwrfc.dll="
  export KESTROVAN_TEST_SENSOR_ICU_MISSING="$programs/icu_missing$suffix/kestrovan"
  export KESTROVAN_TEST_SENSOR_ICU_COMPLETE="$programs/icu_complete$suffix/kestrovan"
  export KESTROVAN_TEST_SENSOR_ICU_EMPTY="$programs/icu_empty$suffix/kestrovan"
  export KESTROVAN_TEST_SENSOR_ICU_OTHER_BITS="$programs/icu_other_bits$suffix/kestrovan"
  export KESTROVAN_TEST_SENSOR_NOT_A_LIBRARY="$programs/not_a_library$suffix/kestrovan"
}
unset_icu_programs() {
  unset KESTROVAN_TEST_SENSOR_ICU_MISSING KESTROVAN_TEST_SENSOR_ICU_COMPLETE \
    KESTROVAN_TEST_SENSOR_ICU_EMPTY KESTROVAN_TEST_SENSOR_ICU_OTHER_BITS \
    KESTROVAN_TEST_SENSOR_NOT_A_LIBRARY
}

# The first program of a fresh server starts Wine's helper processes, which inherit its output:
# run one with its output discarded so that no captured pipe is held open afterwards.
# (Not through wine-program.sh: the helpers would inherit its drive lock as well.)
if [ "$wine32_runs" = yes ]; then
  wine "$windows_build/kestrovan.exe" >/dev/null 2>&1 || true
elif [ -n "$windows64_build" ]; then
  WINELOADER=$wine64_loader "$wine64_loader" "$windows64_build/kestrovan.exe" >/dev/null 2>&1 || true
fi

# Wine without its 32-bit part runs nothing and says nothing: make sure output arrives.
expect_output() { # program.exe loader
  local probe
  probe=$(KESTROVAN_WINE=$2 scripts/wine-program.sh "$1" || true)
  [[ "$probe" == *"Error 1001: Parameter for Profile-Name is missing !"* ]]
}

suite() { # name, then VARIABLE=value settings for the run
  local name=$1
  shift
  echo "=== end-to-end suite against the Windows programs ($name) ==="
  # The cases as such; the nwrfc.* entries run the Linux program through the NetWeaver stand-in.
  env "$@" ctest --test-dir "$linux_build" --output-on-failure -j 1 -R '^[A-Za-z]+EndToEnd\.'
}

touch "$WINEPREFIX/Kestrovan.RfcStandin" "$WINEPREFIX/Kestrovan.NwRfc"
if [ "$wine32_runs" = yes ] && expect_output "$windows_build/kestrovan.exe" wine; then
  # The 32-bit program installed as on a probe, each way in a folder of its own:
  #   standin     with the switch file that selects the bundled stand-in
  #   dll         with the classic stand-in built as librfc32.dll, bound at run time like SAP's
  #   nwrfc       with only the NetWeaver stand-in, sapnwrfc.dll, bound through the binding
  #   both        with both DLLs: the classic one is used
  #   both_nwrfc  with both DLLs and Kestrovan.NwRfc: the NetWeaver one is used
  #   none        without any library
  #   none_nwrfc  without any library, with Kestrovan.NwRfc
  #   incomplete  with a librfc32.dll that lacks RfcLastError
  #   nw_incomplete  with only a sapnwrfc.dll that lacks RfcInvoke
  classic_dll=$windows_build/rfc-standin/librfc32.dll
  nw_dll=$windows_build/nwrfc-standin/sapnwrfc.dll
  install_program standin "$windows_build" "$WINEPREFIX/Kestrovan.RfcStandin"
  install_program dll "$windows_build" "$classic_dll"
  install_program nwrfc "$windows_build" "$nw_dll"
  install_program both "$windows_build" "$classic_dll" "$nw_dll"
  install_program both_nwrfc "$windows_build" "$classic_dll" "$nw_dll" "$WINEPREFIX/Kestrovan.NwRfc"
  install_program none "$windows_build"
  install_program none_nwrfc "$windows_build" "$WINEPREFIX/Kestrovan.NwRfc"
  install_program incomplete "$windows_build" "$windows_build/testing/rfc-incomplete/librfc32.dll"
  install_program nw_incomplete "$windows_build" "$windows_build/testing/nwrfc-incomplete/sapnwrfc.dll"
  export KESTROVAN_TEST_SENSOR_WITHOUT_LIBRARY="$programs/none/kestrovan"
  export KESTROVAN_TEST_SENSOR_INCOMPLETE_LIBRARY="$programs/incomplete/kestrovan"
  export KESTROVAN_TEST_SENSOR_NWRFC_CHOSEN_WITHOUT_LIBRARY="$programs/none_nwrfc/kestrovan"

  for installation in standin dll; do
    suite "32-bit, $installation" KESTROVAN_TEST_SENSOR="$programs/$installation/kestrovan" \
      KESTROVAN_TEST_PROFILE_WRITER="$programs/$installation/kestrovan-profile"
  done
  [ -n "$windows64_build" ] && install_icu_programs "$windows_build" "$windows64_build" ""
  suite "32-bit, NetWeaver library" KESTROVAN_TEST_SENSOR="$programs/nwrfc/kestrovan" \
    KESTROVAN_TEST_PROFILE_WRITER="$programs/nwrfc/kestrovan-profile" \
    KESTROVAN_TEST_RFC_BINDING=nwrfc KESTROVAN_TEST_NWRFC_FILE=sapnwrfc.dll \
    KESTROVAN_TEST_SENSOR_INCOMPLETE_NWRFC="$programs/nw_incomplete/kestrovan" \
    KESTROVAN_TEST_SENSOR_BOTH_LIBRARIES="$programs/both/kestrovan" \
    KESTROVAN_TEST_SENSOR_BOTH_LIBRARIES_NWRFC="$programs/both_nwrfc/kestrovan"
  unset KESTROVAN_TEST_SENSOR_WITHOUT_LIBRARY KESTROVAN_TEST_SENSOR_INCOMPLETE_LIBRARY \
    KESTROVAN_TEST_SENSOR_NWRFC_CHOSEN_WITHOUT_LIBRARY
  unset_icu_programs
elif [ "$kernel_runs_32bit" = no ]; then
  echo "test-windows: this machine's kernel runs no 32-bit programs; the 32-bit Windows programs were built, not run" >&2
elif [ "$wine32_installed" = no ]; then
  echo "test-windows: wine32 is not installed here; the 32-bit Windows programs were built, not run" >&2
else
  echo "the 32-bit Windows sensor printed nothing under Wine: is wine32 installed?" >&2
  exit 1
fi

if [ -n "$windows64_build" ]; then
  if ! expect_output "$windows64_build/kestrovan.exe" "$wine64_loader"; then
    echo "the 64-bit Windows sensor printed nothing under Wine: is wine64 installed?" >&2
    exit 1
  fi
  # The 64-bit program binds only the NetWeaver library.
  install_program nwrfc64 "$windows64_build" "$windows64_build/nwrfc-standin/sapnwrfc.dll"
  install_program none64 "$windows64_build"
  install_program nw_incomplete64 "$windows64_build" \
    "$windows64_build/testing/nwrfc-incomplete/sapnwrfc.dll"
  install_icu_programs "$windows64_build" "$windows_build" 64
  suite "64-bit, NetWeaver library" KESTROVAN_TEST_SENSOR="$programs/nwrfc64/kestrovan" \
    KESTROVAN_TEST_PROFILE_WRITER="$programs/nwrfc64/kestrovan-profile" \
    KESTROVAN_TEST_RFC_BINDING=nwrfc KESTROVAN_TEST_NWRFC_FILE=sapnwrfc.dll \
    KESTROVAN_TEST_SENSOR_WITHOUT_NWRFC="$programs/none64/kestrovan" \
    KESTROVAN_TEST_SENSOR_INCOMPLETE_NWRFC="$programs/nw_incomplete64/kestrovan"
fi
