#!/usr/bin/env bash
# Builds the project and runs every test inside a private network namespace, so
# that no test traffic (including the management broadcasts) leaves this machine.
#   VXQ_BUILD_DIR   build folder (default: build)
#   VXQ_CMAKE_ARGS  extra CMake arguments (for example -DVXQ_SANITIZE=ON)
#   VXQ_CTEST_ARGS  extra ctest arguments (for example -R Queue)
#   VXQ_HIDE_TOOLS  programs the tests must not find (for example "tshark ffprobe"),
#                   to run them as on a machine without those optional tools
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_BUILD_DIR:-build}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Worktrees of one repository share compiled objects through relative paths.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja "${launcher[@]}" ${VXQ_CMAKE_ARGS:-}
cmake --build "$build_dir"
jobs=$(nproc 2>/dev/null || echo 2)
if [ -n "${VXQ_HIDE_TOOLS:-}" ]; then
  # The tests get a PATH of one folder holding a link to every program of
  # PATH (the first of each name) except the hidden ones.
  bare="$(cd "$build_dir" && pwd)/path-without-hidden-tools"
  rm -rf "$bare"
  mkdir -p "$bare"
  IFS=: read -ra path_dirs <<<"$PATH"
  for dir in "${path_dirs[@]}"; do
    for prog in "$dir"/*; do
      name=${prog##*/}
      [ -f "$prog" ] && [ -x "$prog" ] && [ ! -e "$bare/$name" ] || continue
      case " $VXQ_HIDE_TOOLS " in *" $name "*) continue ;; esac
      ln -s "$prog" "$bare/$name"
    done
  done
  echo "test.sh: the tests run without: $VXQ_HIDE_TOOLS"
  export PATH=$bare
fi
exec unshare -rn sh -c "ip link set lo up && ip route add default dev lo && \
  ctest --test-dir '$build_dir' --output-on-failure --timeout 600 -j $jobs ${VXQ_CTEST_ARGS:-}"
