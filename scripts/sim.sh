#!/usr/bin/env bash
# Builds the project and starts the device simulator with the sample configuration.
# The simulator writes user and network changes back into its configuration, so
# it runs on a copy in "$build_dir/sim/" (made once; delete it to start over from
# tools/sim/sim.ini). The copy's media/ links to the shipped clip, and its logs
# (sim-log/) and data (sim-data/) stay beside it, out of the source tree.
# Extra arguments go to dps-sim, for example: bash scripts/sim.sh --port 7100 --verbose
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --target dps-sim
run_dir="$build_dir/sim"
mkdir -p "$run_dir"
if [ ! -f "$run_dir/sim.ini" ]; then
  cp tools/sim/sim.ini "$run_dir/sim.ini"
fi
ln -sfn "$PWD/tools/sim/media" "$run_dir/media"
exec "$build_dir/tools/sim/dps-sim" --config "$run_dir/sim.ini" "$@"
