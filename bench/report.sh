#!/usr/bin/env bash
# Every figure of the README's performance section from one run, printed as
# markdown in the section's order: the machine and its load, the deterministic
# cost (callgrind), the fan-out table, the input call, the stalled-viewer pairs,
# the scaling tables (figures into docs/img). Run it on a quiet machine; the
# load is printed at the start of every part and at the end.
#   bash bench/report.sh [seconds per sender (default 3)] [pairs (default 5)]
# Uses the build folder `build` (VXQ_BUILD_DIR overrides); every benchmark runs
# inside a private network namespace and is bounded in time.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3}
pairs=${2:-5}
build_dir=${VXQ_BUILD_DIR:-build}
cmake --build "$build_dir" --target fanout inputcall >/dev/null
load() { uptime | sed 's/.*load average: *//'; }
# The instance announces its version on the console at every start; the tables do not need it.
run() {
  timeout 1800 unshare -rn sh -c 'ip link set lo up && ip route add default dev lo && exec "$@"' sh "$@" |
    LC_ALL=C grep -av '^[0-9][0-9]:[0-9][0-9]:[0-9][0-9] .*\] *v[0-9]'
}

echo "## Performance figures"
echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(git describe --always --dirty), $(nproc) cores," \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1); load average at the start: $(load)"

echo
echo "### Deterministic cost (load $(load))"
echo
bash bench/callgrind.sh 300 64 | grep -a 'instructions per frame per viewer'

echo
echo "### Fan-out, $seconds s per sender (load $(load))"
run "$build_dir/bench/fanout" --seconds "$seconds" --markdown | sed -n '/^| case/,$p'

echo
echo "### Input call (load $(load))"
run "$build_dir/bench/inputcall" --seconds "$seconds" --markdown | sed -n '/^| call/,$p'

echo
echo "### Stalled viewer, $pairs pairs (load $(load))"
pairs_out=$(run "$build_dir/bench/fanout" --pairs "$pairs" --seconds "$seconds")
echo
echo '```'
printf '%s\n' "$pairs_out" | sed -n '1,/^$/p' | sed '/^$/d'
echo '```'
printf '%s\n' "$pairs_out" | sed -n '/^| others/,$p'
echo
echo "### Scaling (load $(load))"
bash bench/scaling.sh "$seconds" realistic

echo
echo "Load average at the end: $(load)"
