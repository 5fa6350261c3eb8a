#!/usr/bin/env bash
# Stripped size of libvxqdps.so for the target platform (armhf), built once with
# -Os and once with -O2 (library only, no tests). Needs the armhf cross
# compiler (scripts/cross-test.sh arm installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
for opt in Os O2; do
  dir=build-arm-size-$opt
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
    -DVXQ_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="-$opt" -DCMAKE_CXX_FLAGS="-$opt" >/dev/null
  cmake --build "$dir" --target vxqdps >/dev/null
  lib=$(readlink -f "$dir/libvxqdps.so")
  arm-linux-gnueabihf-strip -o "$dir/libvxqdps.stripped.so" "$lib"
  echo "armhf -$opt: libvxqdps.so stripped $(stat -c %s "$dir/libvxqdps.stripped.so") bytes" \
    "(unstripped $(stat -c %s "$lib"))"
done
