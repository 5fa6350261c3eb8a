#!/usr/bin/env bash
# Builds the library and the thread-using test programs with ThreadSanitizer in
# their own folder and runs the tests listed in scripts/tsan_tests.txt (one
# ctest name pattern per line) inside the private network namespace of
# scripts/test.sh. The first race report ends the test and fails the run.
#   VXQ_TSAN_BUILD  build folder (default build-tsan)
#   VXQ_CTEST_ARGS  extra ctest arguments
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_TSAN_BUILD:-build-tsan}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd .. && pwd)} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja "${launcher[@]}" -DVXQ_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the unit test programs: tools, examples, benchmarks and the end-to-end
# tests run no library thread that the unit tests do not.
cmake --build "$build_dir" --target test_kit test_log test_net test_lognet test_core test_media test_protocol test_ops test_mgmt
pattern=$(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' scripts/tsan_tests.txt | paste -sd'|')
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=0:second_deadlock_stack=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
jobs=$(nproc 2>/dev/null || echo 2)
# shellcheck disable=SC2086
exec unshare -rn sh -c "ip link set lo up && ip route add default dev lo && \
  ctest --test-dir '$build_dir' --output-on-failure --timeout 600 --no-tests=error -j $jobs -R '$pattern' ${VXQ_CTEST_ARGS:-}"
