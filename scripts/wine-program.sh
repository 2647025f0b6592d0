#!/usr/bin/env bash
# Runs a Windows program under Wine as the end-to-end suite expects a program to behave:
# drives C: and D: are the test's drive root ($KESTROVAN_DRIVE_ROOT/C, /D), the working
# directory stays the test's (below C:), and CR LF line ends come back as LF.
# Usage: wine-program.sh PROGRAM.exe [ARGUMENTS...]   (WINEPREFIX set by the caller; the Wine
# loader is $KESTROVAN_WINE, `wine` by default, the 64-bit loader for 64-bit programs)
set -u
program=$1
shift

# One drive mapping per prefix at a time: runs of the suite against Wine are serialised here.
exec 9>"$WINEPREFIX/.drive-lock"
flock 9

if [ -n "${KESTROVAN_DRIVE_ROOT:-}" ]; then
  for drive in C D; do
    mkdir -p "$KESTROVAN_DRIVE_ROOT/$drive"
    ln -sfn "$KESTROVAN_DRIVE_ROOT/$drive" "$WINEPREFIX/dosdevices/${drive,,}:"
  done
  # Wine itself lives on C:; its own folders are lent to the test's C: drive.
  for folder in windows users ProgramData; do
    [ -e "$KESTROVAN_DRIVE_ROOT/C/$folder" ] || ln -s "$WINEPREFIX/drive_c/$folder" "$KESTROVAN_DRIVE_ROOT/C/$folder"
  done
else
  ln -sfn ../drive_c "$WINEPREFIX/dosdevices/c:"
  rm -f "$WINEPREFIX/dosdevices/d:"
fi

out=$(mktemp)
err=$(mktemp)
loader=${KESTROVAN_WINE:-wine}
[ "$loader" = wine ] || export WINELOADER="$loader"
"$loader" "$program" "$@" >"$out" 2>"$err"
code=$?
sed 's/\r$//' "$out"
sed 's/\r$//' "$err" >&2
rm -f "$out" "$err"
exit "$code"
