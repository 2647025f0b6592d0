#!/usr/bin/env bash
# Installs what building and running the test suites needs on Debian, non-interactively, when
# missing; without the rights to install, says in one line what to install.
set -euo pipefail

# iproute2: the end-to-end cases that name addresses off loopback run in a network of their own.
needed=(g++ cmake make libgtest-dev libgmock-dev iproute2)
# With --fuzz: what the fuzz targets need instead.
[ "${1:-}" = --fuzz ] && needed=(clang libclang-rt-14-dev cmake make)
missing=()
for pkg in "${needed[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "Missing: ${missing[*]} (apt-get install ${missing[*]})" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails one index (and with it, for the other architecture, the
# packages that must match the installed ones): what was read may still serve the install, and
# otherwise the pair is tried again a little later.
for attempt in 1 2 3 4 5 6; do
  apt-get update -q || echo "apt-get update failed (attempt $attempt)" >&2
  if apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    exit 0
  fi
  [ "$attempt" -eq 6 ] && exit 1
  sleep 30
done
