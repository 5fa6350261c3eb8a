#!/usr/bin/env bash
# Deterministic cost of live view fan-out: the realistic stream fed to N viewers
# of one sub-channel, one frame at a time (the next frame goes in once every
# viewer has the previous one), under callgrind. Only the service's own work is
# counted: the control thread and the two input calls of the feeder.
#   bash bench/callgrind.sh [frames (default 300)] [viewers (default 64)]
# Prints instructions per frame per viewer. Uses the build folder `build`
# (VXQ_BUILD_DIR overrides); runs inside a private network namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-300}
viewers=${2:-64}
build_dir=${VXQ_BUILD_DIR:-build}
cmake --build "$build_dir" --target fanout >/dev/null
out=$(mktemp -d)
unshare -rn sh -c "ip link set lo up && ip route add default dev lo && \
  valgrind --tool=callgrind --collect-atstart=no \
    --toggle-collect='VXQ_F_DPS_MC_ThreadWork' \
    --toggle-collect='VXQ_F_DPS_InputVideoStreamEx' --toggle-collect='VXQ_F_DPS_InputAudioStreamEx' \
    --callgrind-out-file='$out/cg.%p' \
    '$build_dir/bench/fanout' --callgrind --frames $frames --viewers $viewers" >"$out/log" 2>"$out/err" || {
  cat "$out/err" >&2; exit 1; }
pid=$(sed -n 's/^callgrind run: pid \([0-9]*\),.*/\1/p' "$out/log")
cat "$out/log"
total=$(sed -n 's/^totals: \([0-9]*\).*/\1/p' "$out/cg.$pid")
echo "instructions counted: $total"
awk -v t="$total" -v f="$frames" -v v="$viewers" \
  'BEGIN { printf "instructions per frame per viewer: %.0f\n", t / f / v }'
echo "profile: $out/cg.$pid (callgrind_annotate it for the per-function split)"
