#!/usr/bin/env bash
# Two clones of the checked-out commit, in folders of different names, each make their release:
# the packages must be the same bytes and name neither folder. The packages are kept in OUT_DIR.
# Usage: test-reproducible.sh OUT_DIR   (JOBS and CMAKE_FLAGS as for make)
# With ccache the second clone compiles from the first one's cache (its folder is its base
# directory), so only the links and the archives are made twice; the search for the folders'
# names catches a path that would come through a cached object.
set -euo pipefail
cd "$(dirname "$0")/../.."
out_dir=$1
commit=$(git rev-parse HEAD)
version=$(sed -n 's/^project(Kestrovan VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "test-reproducible: uncommitted changes are not in the clones; this tests $commit" >&2
fi

scratch=$(mktemp -d "$PWD/build-reproducible.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
flags=${CMAKE_FLAGS:-}
if command -v ccache >/dev/null 2>&1; then
  flags="$flags -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  export CCACHE_BASEDIR=$scratch CCACHE_NOHASHDIR=1
fi

clones=(clone-one clone-number-two)
for clone in "${clones[@]}"; do
  git clone -q --shared --no-checkout "$PWD" "$scratch/$clone"
  git -C "$scratch/$clone" checkout -q --detach "$commit"
  start=$SECONDS
  make -C "$scratch/$clone" release CMAKE_FLAGS="$flags" JOBS="${JOBS:-2}" \
    >"$scratch/$clone.log" 2>&1 || { tail -40 "$scratch/$clone.log" >&2; exit 1; }
  echo "test-reproducible: make release in $clone took $((SECONDS - start)) s"
done

failures=0
packages=("kestrovan-$version-windows.zip" "kestrovan-$version-linux-x86_64.tar.gz" SHA256SUMS)
for package in "${packages[@]}"; do
  if ! cmp "$scratch/${clones[0]}/dist/$package" "$scratch/${clones[1]}/dist/$package"; then
    echo "test-reproducible: FAILED: the two clones made different $package" >&2
    failures=$((failures + 1))
  fi
done
# No program names the folder it was built in.
unpacked=$scratch/unpacked
mkdir -p "$unpacked"
unzip -q "$scratch/${clones[1]}/dist/${packages[0]}" -d "$unpacked"
tar -xzf "$scratch/${clones[1]}/dist/${packages[1]}" -C "$unpacked"
for folder in "$scratch" "${clones[@]}"; do
  if grep -rlaF "$folder" "$unpacked"; then
    echo "test-reproducible: FAILED: these files name the build folder $folder" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
mkdir -p "$out_dir"
cp "${packages[@]/#/$scratch/${clones[0]}/dist/}" "$out_dir/"
echo "test-reproducible: two clones of $commit made the same packages:"
cat "$out_dir/SHA256SUMS"
