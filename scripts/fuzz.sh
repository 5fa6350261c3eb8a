#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and
# runs each for a bounded time from its committed seed corpus.
#   VXQ_FUZZ_SECONDS  seconds per target (default 60)
#   VXQ_FUZZ_TARGETS  targets to run (default: all)
#   VXQ_FUZZ_BUILD    build folder (default build-fuzz)
# Prints one results line per target; a crash leaves its input in
# <build>/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${VXQ_FUZZ_SECONDS:-60}
build_dir=${VXQ_FUZZ_BUILD:-build-fuzz}
targets=${VXQ_FUZZ_TARGETS:-"tcp_stream mgmt_datagram orders ini byteorder text sim_host"}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja "${launcher[@]}" -DVXQ_FUZZ=ON -DVXQ_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build_dir" --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build_dir/artifacts"
status=0
for t in $targets; do
  work="$build_dir/corpus/$t"
  mkdir -p "$work"
  log="$build_dir/fuzz_$t.log"
  set +e
  "$build_dir/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build_dir/artifacts/${t}-" "$work" "fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -1)
  last=$(grep -aE '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  if [ "$rc" = 0 ]; then result=ok; else result="FINDING (exit $rc, see $log)"; status=1; fi
  printf 'fuzz_%-14s %4ss  executions %-10s coverage %-6s features %-6s corpus %-5s %s\n' \
    "$t" "$seconds" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$result"
done
exit $status
