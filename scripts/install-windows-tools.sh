#!/usr/bin/env bash
# Installs the 32-bit Windows cross compiler and Wine on Debian, non-interactively, when missing.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
# wine64 alone runs no 32-bit program (it prints nothing and exits 0), so wine32 is required.
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || need+=(wine wine32:i386)
[ ${#need[@]} -eq 0 ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
