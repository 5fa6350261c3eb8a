#!/usr/bin/env bash
# Builds dps-gateway and starts it; every argument goes to dps-gateway, for
# example (with scripts/sim.sh running in another terminal):
#   bash scripts/gateway.sh --device 127.0.0.1:7000 --user admin --password admin --name sim
# It is built only where pkg-config finds GStreamer's RTSP server library.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VXQ_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if ! cmake --build "$build_dir" --target dps-gateway; then
  echo "gateway.sh: dps-gateway was not built; it needs: apt-get install -y pkg-config libgstrtspserver-1.0-dev" \
    "gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad" >&2
  exit 2
fi
exec "$build_dir/tools/gateway/dps-gateway" "$@"
