#!/usr/bin/env bash
# Builds the project and starts the device simulator with the sample configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir"
if [ -x "$build_dir/tools/sim/dps-sim" ]; then
  exec "$build_dir/tools/sim/dps-sim" --config tools/sim/sim.ini "$@"
fi
echo "dps-sim is not built yet: the library $build_dir/libvxqdps.so is ready."
