#!/usr/bin/env bash
# make demo: two simulated SAP systems on loopback, their profiles, and the sensor run as PRTG runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}

scratch=$(mktemp -d /tmp/kestrovan-demo.XXXXXX)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# A random 127.x.y.z address keeps the demo clear of anything else listening on 3300.
address() { echo "127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))"; }

start_sim() { # name system-file address:port
  local out="$scratch/$1.sim"
  "$BUILD/sapsim" --listen "$3" "$2" >"$out" 2>"$scratch/$1.log" &
  sims+=($!)
  for _ in $(seq 1 100); do
    grep -q '^listening ' "$out" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "sapsim for $1 did not start:" >&2
  cat "$scratch/$1.log" >&2
  exit 1
}

show() { # prints a command, runs it, shows its exit code
  printf '\n$ %s\n' "$*"
  set +e
  "$@"
  local rc=$?
  set -e
  printf '[exit code %d]\n' "$rc"
}

prd=$(address)
qas=$(address)
start_sim PRD demo/prd.system "$prd:3300"
start_sim QAS demo/qas.system "$qas:3301"
echo "Simulated systems: PRD on $prd:3300 (system number 00), QAS on $qas:3301 (system number 01)"

# The probe's sensor folder, below a drive root that stands for C:.
export KESTROVAN_DRIVE_ROOT="$scratch/drives"
sensors="$KESTROVAN_DRIVE_ROOT/C/Program Files (x86)/PRTG Network Monitor/Custom Sensors/EXEXML"
mkdir -p "$sensors" "$scratch/probe"
printf 'C:\\Program Files (x86)\\\n' >"$KESTROVAN_DRIVE_ROOT/C/PRTG_Path.Txt"

write_profile() { # file destination client host sysnr password
  printf '%s\n' "$6" | "$BUILD/kestrovan-profile" write "$sensors/$1" --extcompany "Demo Company" \
    --destination "$2" --client "$3" --user monitor --language E --mode R/3 --hostname "$4" \
    --sysnr "$5" --gwhost "$4" --gwservice "sapgw$5" >/dev/null
}
write_profile PRD.P00 PRD 100 "$prd" 00 Demo-Pass1
write_profile QAS.P00 QAS 200 "$qas" 01 Demo-Pass2
cat >"$sensors/SAP Tessaloy.Gbl" <<'LISTING'
# Global server listing: the systems of the global sensor DEMO, by their profiles.
# GSNG: DEMO      : PRD.P00#QAS.P00#
# GSNX: DEMO      : Item=Missing_Idices,Sensor="SAP Kestrovan",Alias
LISTING

echo "Profiles and listing written with kestrovan-profile into: C:\\Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\EXEXML\\"
echo "PRD.P00 as stored (the password line is scrambled):"
sed 's/^/    /' "$sensors/PRD.P00"

cd "$scratch/probe" # the probe's working directory is not the sensor folder
kestrovan="$OLDPWD/$BUILD/kestrovan"
echo
echo "=== The sensor as PRTG starts it (parameters: PRD) ==="
show "$kestrovan" PRD
echo
echo "=== The same in console mode (parameters: QAS #) ==="
show "$kestrovan" QAS '#'
echo
echo "=== A global listing run over both systems (parameters: GLOBAL DEMO) ==="
show "$kestrovan" GLOBAL DEMO
echo
echo "=== A profile that does not exist ==="
show "$kestrovan" DEV
