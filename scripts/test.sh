#!/usr/bin/env bash
# Builds the project and runs every test inside a private network namespace, so
# that no test traffic (including the management broadcasts) leaves this machine.
#   VXQ_BUILD_DIR   build folder (default: build)
#   VXQ_CMAKE_ARGS  extra CMake arguments (for example -DVXQ_SANITIZE=ON)
#   VXQ_CTEST_ARGS  extra ctest arguments (for example -R Queue)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja ${VXQ_CMAKE_ARGS:-}
cmake --build "$build_dir"
jobs=$(nproc 2>/dev/null || echo 2)
exec unshare -rn sh -c "ip link set lo up && ip route add default dev lo && \
  ctest --test-dir '$build_dir' --output-on-failure --timeout 600 -j $jobs ${VXQ_CTEST_ARGS:-}"
