#!/usr/bin/env bash
# Resident memory of dps-sim for the target platform (armhf) under qemu-arm,
# idle and with one live viewer (the native dps-client watching channel 0),
# next to the memory of two trivial armhf programs under the same emulator, so
# that qemu's own share can be told apart:
#   static   a static C program that only waits: qemu itself (translator, code
#            cache, guest stack) with next to no guest program;
#   dynamic  a dynamic C++ program that only waits: qemu, the loader and the
#            C and C++ runtime libraries dps-sim also maps.
# dps-sim minus "dynamic" is what the service and the simulator add.
# Needs build-arm (scripts/cross-test.sh arm) and the native build (build, for
# dps-client). Runs in a private network namespace like the tests.
#   VXQ_MEM_SECONDS  how long the viewer watches before the sample (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
arm_dir=${VXQ_ARM_BUILD_DIR:-build-arm}
native_dir=${VXQ_BUILD_DIR:-build}
sim=$arm_dir/tools/sim/dps-sim
client=$native_dir/tools/client/dps-client
emu=(qemu-arm -L /usr/arm-linux-gnueabihf)

if [ "${1:-}" != --inside ]; then
  [ -x "$sim" ] || { echo "arm-mem: $sim missing: run scripts/cross-test.sh arm" >&2; exit 1; }
  [ -x "$client" ] || cmake --build "$native_dir" --target dps-client
  work=$arm_dir/mem
  mkdir -p "$work"
  printf '#include <unistd.h>\nint main(void) { pause(); return 0; }\n' >"$work/idle.c"
  printf '#include <unistd.h>\n#include <string>\n#include <iostream>\n'`
    `'int main() { std::string s("idle"); std::cout << s.size() << std::endl; pause(); }\n' >"$work/idle.cpp"
  arm-linux-gnueabihf-gcc -O2 -static -o "$work/idle-static" "$work/idle.c"
  arm-linux-gnueabihf-g++ -O2 -o "$work/idle-dynamic" "$work/idle.cpp"
  cp tools/sim/sim.ini "$work/sim.ini"
  ln -sfn "$PWD/tools/sim/media" "$work/media"
  exec unshare -rn bash "$0" --inside "$work"
fi

work=$2
ip link set lo up
ip route add default dev lo

# VmRSS and VmHWM of a process, in KiB.
rss() { awk '/^VmRSS/ {r=$2} /^VmHWM/ {h=$2} END {printf "%s KiB (peak %s KiB)", r, h}' "/proc/$1/status"; }

for prog in idle-static idle-dynamic; do
  "${emu[@]}" "$work/$prog" >/dev/null &
  pid=$!
  up=0
  for _ in $(seq 50); do
    if grep -q '^VmRSS' "/proc/$pid/status" 2>/dev/null && [ "$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")" -gt 0 ]; then
      up=1
      break
    fi
    sleep 0.1
  done
  [ "$up" = 1 ] || { echo "arm-mem: $prog showed no resident memory within 5 s" >&2; exit 1; }
  sleep 1
  echo "qemu-arm, $prog: $(rss $pid)"
  kill $pid
  wait $pid 2>/dev/null || true
done

(cd "$work" && exec "${emu[@]}" "$PWD/../tools/sim/dps-sim" --config sim.ini --port 7000 >sim.out 2>&1) &
sim_pid=$!
up=0
for _ in $(seq 300); do
  if "$client" --user admin --password admin info >/dev/null 2>&1; then
    up=1
    break
  fi
  sleep 0.2
done
[ "$up" = 1 ] || {
  echo "arm-mem: dps-sim under qemu-arm did not answer a login within 60 s: $(tail -1 "$work/sim.out")" >&2
  kill "$sim_pid" 2>/dev/null
  exit 1
}
qemu_pid=$sim_pid # the subshell became qemu-arm (exec)
echo "qemu-arm, dps-sim idle: $(rss "$qemu_pid")"
seconds=${VXQ_MEM_SECONDS:-10}
"$client" --user admin --password admin live --ch 0 --seconds $((seconds + 5)) --out "$work/live.h264" >"$work/live.out" 2>&1 &
client_pid=$!
sleep "$seconds"
echo "qemu-arm, dps-sim with one viewer after ${seconds} s: $(rss "$qemu_pid")"
wait $client_pid || echo "arm-mem: the viewer failed: $(tail -1 "$work/live.out")" >&2
echo "viewer received $(stat -c %s "$work/live.h264") bytes of video"
kill "$qemu_pid" 2>/dev/null || true
wait 2>/dev/null || true
