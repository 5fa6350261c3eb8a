#!/usr/bin/env bash
# A soak of dps-gateway: a simulator, the gateway in front of it, and N
# players (ffmpeg and ffprobe) that join and leave channel 0 at random for S
# seconds: recordings over TCP and over UDP of 1 to 5 s, probes, and players
# killed without a word after 1 to 4 s. Afterwards the gateway must hold no
# device view and no client pipeline, the simulator no media client, a new
# player must play, the gateway's resident size must be back within the
# margin of what it was after a warm-up of the same mix, and SIGTERM must end
# it with 0.
# Prints its figures; exit 0 when every check holds, 1 when one fails, 77
# when ffmpeg or the gateway is missing. Run it inside a private network
# namespace (scripts/test.sh's ctest does), for example:
#   unshare -rn sh -c 'ip link set lo up && bash tools/gateway/soak.sh --build build --seconds 60'
#   soak.sh --build DIR [--seconds S (60)] [--warmup S (10)] [--players N (16)] [--margin-kb K (8192)]
#           [--seed N] [--work-dir DIR]
set -uo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=build seconds=60 warmup=10 players=16 margin_kb=8192 seed=$$ work=
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2 ;; --seconds) seconds=$2 ;; --warmup) warmup=$2 ;; --players) players=$2 ;;
    --margin-kb) margin_kb=$2 ;; --seed) seed=$2 ;; --work-dir) work=$2 ;;
    *) echo "soak.sh: unknown option $1"; exit 2 ;;
  esac
  shift 2
done
gateway=$build/tools/gateway/dps-gateway
sim=$build/tools/sim/dps-sim
for tool in ffmpeg ffprobe timeout; do
  command -v "$tool" > /dev/null || { echo "soak.sh: skipped: $tool is not installed"; exit 77; }
done
[ -x "$gateway" ] || { echo "soak.sh: skipped: $gateway was not built (no GStreamer RTSP server library)"; exit 77; }
[ -n "$work" ] || work=$(mktemp -d)
rm -rf "$work" && mkdir -p "$work" || exit 2
RANDOM=$seed

free_port() { # the first free port from a random one in 28000..31999: below the
  # system's ephemeral range and above the dissector test's ports
  local p=$((28000 + RANDOM % 4000))
  while (exec 3<> "/dev/tcp/127.0.0.1/$p") 2> /dev/null; do p=$((p + 1)); done
  echo "$p"
}
sim_port=$(free_port)
rtsp_port=$(free_port)
[ "$rtsp_port" != "$sim_port" ] || rtsp_port=$((sim_port + 1))
url=rtsp://127.0.0.1:$rtsp_port/sim/ch0
cat > "$work/sim.ini" << EOF
[service]
port = $sim_port
log_dir =
[user0]
name = admin
password = admin
global_rights = 0xFF
[channel0]
stream0_source = $src/tools/sim/media/clip.h264
audio = 1
[records]
dir = records
seed_from_clip = 0
EOF
pids=()
cleanup() { for p in "${pids[@]}"; do kill -KILL "$p" 2> /dev/null; done; }
trap cleanup EXIT
"$sim" --config "$work/sim.ini" > "$work/sim.txt" 2>&1 &
sim_pid=$!
"$gateway" --device "127.0.0.1:$sim_port" --user admin --password admin --name sim --bind 127.0.0.1 \
  --listen "$rtsp_port" > "$work/gateway.txt" 2>&1 &
gw_pid=$!
pids=("$sim_pid" "$gw_pid")
fail() { echo "soak.sh: FAIL: $*"; tail -n 20 "$work/gateway.txt"; exit 1; }
# Waits up to $1 s for a fresh status line of pid $2 (output $3) to hold $4.
status_shows() {
  local i
  for ((i = 0; i < $1 * 4; i++)); do
    kill -USR1 "$2" 2> /dev/null || return 1
    sleep 0.25
    grep "status:" "$3" | tail -n 1 | grep -q -- "$4" && return 0
  done
  return 1
}
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$gw_pid/status"; }
threads() { awk '/^Threads/ { print $2 }' "/proc/$gw_pid/status"; }
for ((i = 0; i < 40; i++)); do grep -qs "listening on RTSP port" "$work/gateway.txt" && break; sleep 0.25; done
grep -qs "listening on RTSP port" "$work/gateway.txt" || fail "the gateway did not start"

# The soak: every slot runs one player at a time until the time is up.
declare -a slot_pid slot_kind
started=0 failed=0 killed=0 peak_rss=0
kinds=(tcp udp probe tcp-killed udp-killed)
start_player() { # slot
  local kind=$((RANDOM % 5)) t=$((1 + RANDOM % 5)) k=$((1 + RANDOM % 4)) log=$work/player-$1.txt
  case $kind in
    0 | 1) timeout -s KILL 30 ffmpeg -nostdin -v error -rtsp_transport "${kinds[$kind]}" -i "$url" -t "$t" -f null - ;;
    2) timeout -s KILL 30 ffprobe -v error "$url" ;;
    *) timeout -s KILL "$k" ffmpeg -nostdin -v error -rtsp_transport "${kinds[$kind]%-killed}" -i "$url" -t 30 -f null - ;;
  esac > "$log" 2>&1 &
  slot_pid[$1]=$!
  slot_kind[$1]=$kind
  started=$((started + 1))
}
reap_player() { # slot: accounts for an ended player
  local status=0
  wait "${slot_pid[$1]}" || status=$?
  if [ "${slot_kind[$1]}" -ge 3 ]; then
    killed=$((killed + 1))
  elif [ "$status" != 0 ]; then
    failed=$((failed + 1))
    echo "soak.sh: a ${kinds[${slot_kind[$1]}]} player ended with status $status: $(head -c 300 "$work/player-$1.txt")"
  fi
  slot_pid[$1]=
}
# Runs the players for $1 seconds; returns once every one has ended (each
# runs under a time limit of at most 30 s).
run_players() {
  local end=$((SECONDS + $1)) s r
  for ((s = 0; s < players; s++)); do start_player "$s"; done
  while [ "$SECONDS" -lt "$end" ]; do
    for ((s = 0; s < players; s++)); do
      if ! kill -0 "${slot_pid[$s]}" 2> /dev/null; then
        reap_player "$s"
        start_player "$s"
      fi
    done
    r=$(rss_kb)
    [ "${r:-0}" -gt "$peak_rss" ] && peak_rss=$r
    sleep 0.2
  done
  for ((s = 0; s < players; s++)); do [ -n "${slot_pid[$s]}" ] && reap_player "$s"; done
}
peak_rss=0
# Warm-up: the same mix for a while, so the elements are loaded and the
# allocator has its working set; then every view closes and the resident
# size is taken. A leak grows with the players after it; the working set not.
timeout 20 ffprobe -v error "$url" > /dev/null 2>&1 || fail "the first player"
run_players "$warmup"
status_shows 15 "$gw_pid" "$work/gateway.txt" "open streams 0," || fail "the view did not close after the warm-up"
kill -USR1 "$gw_pid"
sleep 0.5
rss_before=$(rss_kb)
threads_before=$(threads)
run_players "$seconds"

status_shows 15 "$gw_pid" "$work/gateway.txt" "open streams 0, rtsp clients 0, client pipelines 0" ||
  fail "the gateway still holds a view or a client: $(grep status: "$work/gateway.txt" | tail -n 1)"
status_shows 10 "$sim_pid" "$work/sim.txt" "media clients 0," ||
  fail "the simulator still has a media client: $(grep status: "$work/sim.txt" | tail -n 1)"
kill -USR1 "$gw_pid"
sleep 0.5
rss_after=$(rss_kb)
threads_after=$(threads)
timeout 20 ffprobe -v error "$url" > /dev/null 2>&1 || fail "a new player after the soak"
echo "gateway soak: $warmup s warm-up and $seconds s, $players players, seed $seed: $started players started, $killed killed on purpose," \
  "$failed failed; gateway resident size $rss_before KiB after the warm-up, peak $peak_rss KiB," \
  "$rss_after KiB after the soak (margin $margin_kb KiB); threads $threads_before after the warm-up," \
  "$threads_after after the soak"
echo "gateway: $(grep "status:" "$work/gateway.txt" | tail -n 1)"
[ "$failed" = 0 ] || fail "$failed player(s) failed"
[ "$rss_after" -le $((rss_before + margin_kb)) ] || fail "resident size grew by $((rss_after - rss_before)) KiB"
kill -TERM "$gw_pid"
status=0
wait "$gw_pid" || status=$?
[ "$status" = 0 ] || fail "the gateway's exit status on SIGTERM was $status"
kill -TERM "$sim_pid"
wait "$sim_pid"
echo "gateway soak: every check held"
