#!/usr/bin/env bash
# Installs the library into a staging prefix inside the build tree, checks what
# landed there, and builds and runs two consumers against it: one in C through
# the CMake package, one in C++ through pkg-config.
#   install_consume.sh <build dir> <source dir> <C compiler> <C++ compiler> [extra flags]
# The extra flags (for example the sanitizer options of the build) go to both
# consumers, so that they load the library the way it was built.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
cc=$3
cxx=$4
extra=${5:-}
work="$build/integration/install"
stage="$work/stage"
rm -rf "$work"
mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$stage" >"$work/install.log"

# What a firmware engineer expects to find.
[ -f "$stage/include/vxq_dps.h" ] || fail "public header vxq_dps.h not installed"
[ -f "$stage/include/vxq_digest.h" ] || fail "public header vxq_digest.h not installed"
libdir=$(dirname "$(find "$stage" -name 'libvxqdps.so.2.4.2.5' | head -n 1)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "libvxqdps.so.2.4.2.5 not installed"
[ -L "$libdir/libvxqdps.so.2" ] || fail "libvxqdps.so.2 link missing"
[ -L "$libdir/libvxqdps.so" ] || fail "libvxqdps.so link missing"
[ -f "$libdir/libvxqdps.a" ] || fail "static archive libvxqdps.a missing"
[ -f "$libdir/cmake/vxqdps/vxqdpsConfig.cmake" ] || fail "CMake package missing"
[ -f "$libdir/pkgconfig/vxqdps.pc" ] || fail "vxqdps.pc missing"
soname=$(objdump -p "$libdir/libvxqdps.so.2.4.2.5" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libvxqdps.so.2" ] || fail "SONAME is '$soname', expected libvxqdps.so.2"
if find "$stage" -name '*.h' ! -name 'vxq_*.h' | grep -q .; then
  fail "headers other than the public vxq_*.h were installed"
fi

# Consumer 1: C, CMake package.
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S "$src/tests/integration/consumer_c" -B "$work/consumer_c" "${gen[@]}" \
  -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$extra" -DCMAKE_EXE_LINKER_FLAGS="$extra" >"$work/consumer_c.log" 2>&1 ||
  { cat "$work/consumer_c.log"; fail "C consumer does not configure"; }
cmake --build "$work/consumer_c" >>"$work/consumer_c.log" 2>&1 ||
  { cat "$work/consumer_c.log"; fail "C consumer does not build"; }
"$work/consumer_c/consumer_c" || fail "C consumer run"

# Consumer 2: C++, pkg-config.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion vxqdps)" = "2.4.2.5" ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror $extra -o "$work/consumer_cxx" \
  "$src/tests/integration/consumer_cxx.cpp" $(pkg-config --cflags --libs vxqdps) \
  -Wl,-rpath,"$(pkg-config --variable=libdir vxqdps)" || fail "C++ consumer does not build"
"$work/consumer_cxx" || fail "C++ consumer run"
echo "install and consume: OK"
