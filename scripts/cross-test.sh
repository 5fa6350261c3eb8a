#!/usr/bin/env bash
# Cross-builds the library, the tests and the simulator for another platform and
# runs the whole suite under user-mode emulation (qemu), inside the same private
# network namespace as scripts/test.sh.
#   arm  32-bit ARM hard-float Linux, little-endian: the target platform
#   be   32-bit PowerPC Linux: a big-endian host
# Env: VXQ_BUILD_DIR (default build-arm / build-be), VXQ_CMAKE_ARGS,
#      VXQ_CTEST_ARGS (for example -R GoldenWire), VXQ_BUILD_TARGETS (build only
#      these targets, for example "test_protocol test_wire"), VXQ_TEST_TIME_SCALE (default
#      10: multiplies the deadlines of the tests' waits; emulation is slower).
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
  arm) triple=arm-linux-gnueabihf qemu=qemu-arm toolchain=cmake/toolchain-armhf.cmake ;;
  be) triple=powerpc-linux-gnu qemu=qemu-ppc toolchain=cmake/toolchain-be.cmake ;;
  *) echo "usage: $0 arm|be" >&2; exit 2 ;;
esac

# What the cross build needs; installed only when missing.
need=()
command -v "$triple-g++" >/dev/null 2>&1 || need+=("g++-$triple")
command -v "$qemu" >/dev/null 2>&1 || need+=(qemu-user)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v ninja >/dev/null 2>&1 || need+=(ninja-build)
command -v ip >/dev/null 2>&1 || need+=(iproute2)
command -v unshare >/dev/null 2>&1 || need+=(util-linux)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "cross-test: missing ${need[*]}; install them as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${need[@]}"
fi

build_dir=${VXQ_BUILD_DIR:-build-$1}
export VXQ_TEST_TIME_SCALE=${VXQ_TEST_TIME_SCALE:-10}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}" ${VXQ_CMAKE_ARGS:-}
# shellcheck disable=SC2086
cmake --build "$build_dir" ${VXQ_BUILD_TARGETS:+--target $VXQ_BUILD_TARGETS}
echo "cross-test $1: $("$triple-g++" -dumpmachine), tests run through $qemu -L /usr/$triple," \
  "VXQ_TEST_TIME_SCALE=$VXQ_TEST_TIME_SCALE"
jobs=$(nproc 2>/dev/null || echo 2)
echo "cross-test $1: checks that start programs of the build without the emulator (the soak run, the installed-library consumers, the dissector capture, the usage document) are skipped here with their reason; the native suite runs them"
exec unshare -rn sh -c "ip link set lo up && ip route add default dev lo && \
  ctest --test-dir '$build_dir' --output-on-failure --timeout 900 -j $jobs ${VXQ_CTEST_ARGS:-}"
