#!/usr/bin/env bash
# Installs the Windows cross compilers (32- and 64-bit), Wine (32- and 64-bit) and what the release
# and its tests need (zip, unzip, ccache) on Debian, non-interactively, when missing.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
# make release packs with zip; make test-release unpacks, and compiles its second clone from
# the first one's ccache.
for tool in zip unzip ccache; do
  command -v "$tool" >/dev/null 2>&1 || need+=("$tool")
done
# The 64-bit program needs wine64; wine64 alone runs no 32-bit program (it prints nothing and
# exits 0), so the 32-bit suite needs wine32 as well.
installed wine64 || need+=(wine wine64)
want32=()
installed wine32:i386 || want32=(wine wine32:i386)
[ ${#need[@]} -eq 0 ] && [ ${#want32[@]} -eq 0 ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index (and with it, for the other architecture, the
# packages that must match the installed ones): what was read may still serve the install, and
# otherwise the pair is tried again a little later.
install_with_retries() {
  local attempt
  for attempt in 1 2 3 4 5 6; do
    apt-get update -q || echo "apt-get update failed (attempt $attempt)" >&2
    apt-get install -y -q --no-install-recommends "$@" && return 0
    sleep 30
  done
  return 1
}
[ ${#need[@]} -eq 0 ] || install_with_retries "${need[@]}"
# Without wine32 the 32-bit programs are still built, and test-windows.sh says in one line that
# they were not run.
if [ ${#want32[@]} -ne 0 ] && ! install_with_retries "${want32[@]}"; then
  echo "install-windows-tools: wine32 could not be installed; the 32-bit Windows suite will not run" >&2
fi
