#!/usr/bin/env bash
# The Windows package as an administrator takes it: unpacked into a Wine prefix, the install
# guide's commands run as written (64-bit programs) against two simulated SAP systems, and what
# the guide says they show.
# Usage: test-package.sh WINDOWS_ZIP LINUX_BUILD_DIR WIN64_BUILD_DIR
#   LINUX_BUILD_DIR holds sapsim; WIN64_BUILD_DIR the 64-bit NetWeaver stand-in, which stands
#   in for SAP's SDK (it is a test tool, not part of the package).
set -euo pipefail
cd "$(dirname "$0")/../.."
zip_file=$(realpath "$1")
linux_build=$(realpath "$2")
win64_build=$(realpath "$3")
version=$(sed -n 's/^project(Kestrovan VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)

failures=0
fail() {
  echo "test-package: FAILED: $*" >&2
  failures=$((failures + 1))
}
expect_in() { # what, text, expected piece
  [[ "$2" == *"$3"* ]] || fail "$1: expected \"$3\" in: $2"
}

scratch=$(mktemp -d /tmp/kestrovan-package.XXXXXX)
export WINEPREFIX=$scratch/wine WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINELOADER=$wine
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The package: exactly what the guide lists, every checksum right, no test tool in it.
expected_entries="INSTALL.txt
SAP Tessaloy.Gbl
SHA256SUMS
kestrovan-where.cmd
x64/kestrovan-profile.exe
x64/kestrovan.exe
x86/kestrovan-profile.exe
x86/kestrovan.exe"
entries=$(unzip -Z1 "$zip_file")
[ "$entries" = "$expected_entries" ] || fail "the package holds: $entries"

"$wine" wineboot -i >/dev/null 2>&1 || true
wineserver -w
wineserver -p
# The first program of a fresh server starts Wine's helpers, which inherit its output.
"$wine" cmd /c exit >/dev/null 2>&1 || true

drive_c=$WINEPREFIX/drive_c
sensors="$drive_c/Program Files (x86)/PRTG Network Monitor/Custom Sensors/EXEXML"
mkdir -p "$sensors" "$drive_c/nwrfcsdk/lib" "$drive_c/kestrovan-test"
unzip -q "$zip_file" -d "$drive_c/kestrovan-$version"
(cd "$drive_c/kestrovan-$version" && sed 's/\r$//' SHA256SUMS | sha256sum --quiet -c -) ||
  fail "SHA256SUMS does not match the files"
cp "$win64_build/nwrfc-standin/sapnwrfc.dll" "$drive_c/nwrfcsdk/lib/"
x86_64-w64-mingw32-gcc -O2 -Wall -Werror -o "$drive_c/kestrovan-test/show_file.exe" tests/package/show_file.c -lversion

# Two simulated systems on loopback addresses; the guide's host names stand for them.
address() { echo "127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))"; }
start_sim() { # system-file address:port
  local out=$scratch/sim-${#sims[@]}.out
  "$linux_build/sapsim" --listen "$2" "$1" >"$out" 2>&1 &
  sims+=($!)
  for _ in $(seq 1 100); do
    grep -q '^listening ' "$out" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "test-package: sapsim did not start: $(cat "$out")" >&2
  exit 1
}
prd=$(address)
qas=$(address)
start_sim demo/prd.system "$prd:3300"
start_sim demo/qas.system "$qas:3301"

prd_console=
# Runs one command line at the probe's command prompt, in the folder the guide's cd left.
cwd='C:\'
run() { # command line, standard input file; sets out, err, code
  printf '@echo off\r\ncd /d %s\r\n%s\r\n' "$cwd" "$1" >"$drive_c/kestrovan-test/step.cmd"
  set +e
  "$wine" cmd /c 'C:\kestrovan-test\step.cmd' <"$2" >"$scratch/out" 2>"$scratch/err"
  code=$?
  set -e
  out=$(sed 's/\r$//' "$scratch/out")
  err=$(sed 's/\r$//' "$scratch/err")
}
printf 'Demo-Pass1\n' >"$scratch/prd.password"
printf 'Demo-Pass2\n' >"$scratch/qas.password"

commands=$(sed 's/\r$//' "$drive_c/kestrovan-$version/INSTALL.txt" | sed -n 's/^    > //p')
[ "$(wc -l <<<"$commands")" -ge 12 ] || fail "the guide holds only these commands: $commands"
while IFS= read -r command; do
  input=/dev/null
  case "$command" in
    *"write PRD.P00"*) input=$scratch/prd.password ;;
    *"write QAS.P00"*) input=$scratch/qas.password ;;
  esac
  line=${command//sapprd01/$prd}
  line=${line//sapqas01/$qas}
  echo "> $line"
  run "$line" "$input"
  [ "$code" -eq 0 ] || fail "exit code $code of: $command: $out $err"
  case "$command" in
    "cd /d "*) cwd=${command#cd /d } ;;
    *"check PRD.P00") expect_in "$command" "$out" "PRD.P00: no one else can read it" ;;
    *"kestrovan.exe\" PRD #")
      expect_in "$command" "$out" "PRD.P00, $prd, PRD, 00, 100 State=Processing"
      expect_in "$command" "$out" "<Text>(PRD) Indices: Not_Defined=3, Missing_Indices=1.234</Text>"
      [ -z "$err" ] || fail "$command wrote to standard error: $err"
      prd_console=$out
      ;;
    *"kestrovan.exe\" GLOBAL PROD #")
      expect_in "$command" "$out" "<Text>(***) Missing_Idices: NoSystems=2, Processed=2, Failed=0</Text>"
      ;;
  esac
done <<<"$commands"

# What the guide says besides its commands.
cwd='C:\Program Files (x86)\PRTG Network Monitor\Custom Sensors\EXEXML'
run 'kestrovan.exe PRD #' /dev/null
expect_in "started in the sensor folder" "$out" "Sorry, invalid Path-Usage..."
run 'C:\kestrovan-test\show_file.exe access PRD.P00' /dev/null
echo "PRD.P00 as Wine shows its access list: $out"
expect_in "the profile's access list" "$out" "(A;;FA;;;SY)"
for everyone in WD BU AU; do
  [[ "$out" != *";;;$everyone)"* ]] || fail "the profile's access list lets $everyone in: $out"
done
# A profile that everyone can read (Wine shows a Linux file's other bits as Everyone).
cp "$sensors/PRD.P00" "$sensors/OPEN.P00"
chmod 0644 "$sensors/OPEN.P00"
run 'kestrovan-profile.exe check PRD.P00 OPEN.P00' /dev/null
[ "$code" -eq 1 ] || fail "check of an open profile: exit code $code"
expect_in "check of an open profile" "$out" "PRD.P00: no one else can read it
OPEN.P00: others have access: Everyone; close it with: kestrovan-profile protect OPEN.P00"
# A further reader is one account; the groups of every user would open the profile again.
run 'kestrovan-profile.exe protect OPEN.P00 --grant-read Users' /dev/null
[ "$code" -eq 2 ] || fail "--grant-read Users: exit code $code"
expect_in "--grant-read Users" "$err" "Users stands for every user of the machine"
run 'kestrovan-profile.exe protect OPEN.P00' /dev/null
run 'kestrovan-profile.exe check OPEN.P00' /dev/null
[ "$code" -eq 0 ] || fail "check after protect: exit code $code: $out"
cwd='C:\'
run '"C:\Program Files (x86)\PRTG Network Monitor\Custom Sensors\EXEXML\kestrovan-where.cmd"' /dev/null
expect_in "kestrovan-where.cmd" "$out" "<text>C:\\</text>"
# The Windows programs carry the version the banner shows, as Properties -> Details shows it.
banner_version=$(sed -n '1s/^\* [0-9:]* SAP Kestrovan //p' <<<"$prd_console")
[ -n "$banner_version" ] || fail "no banner in: $prd_console"
for program in kestrovan kestrovan-profile; do
  for bits in x64 x86; do
    run "C:\\kestrovan-test\\show_file.exe version C:\\kestrovan-$version\\$bits\\$program.exe" /dev/null
    for field in "File version: ${version}.0.0" "FileVersion: ${version}.0.0" \
      "ProductName: Kestrovan" "ProductVersion: $banner_version" "OriginalFilename: $program.exe"; do
      grep -qxF "$field" <<<"$out" || fail "$bits\\$program.exe: no \"$field\" in: $out"
    done
  done
done

if [ "$failures" -ne 0 ]; then
  echo "test-package: $failures failures" >&2
  exit 1
fi
echo "test-package: the guide's commands hold for the 64-bit programs (the 32-bit ones run only where Wine runs 32-bit programs; this test does not run them)"
