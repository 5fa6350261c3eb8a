#!/usr/bin/env bash
# Captures known UMSP and NPD traffic on lo (this test runs inside the private
# network namespace of scripts/test.sh, where the namespace's root may
# capture), decodes it with the Lua dissector and checks every decoded field
# against what the traffic program reports it sent and received. The login
# request goes out in three TCP segments, so reassembly is checked too.
#   dissector.sh <source dir> <traffic program> <work dir>
# Exit 77 (skipped) when tshark is not installed.
set -euo pipefail
src=$1
traffic=$2
work=$3
lua="$src/tools/wireshark/umsp.lua"
command -v tshark >/dev/null 2>&1 || { echo "tshark not installed: skipped"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
pcap="$work/umsp.pcapng"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The service listens on a port below the ephemeral range, so that the other
# tests that run meanwhile (on system-chosen ports) stay out of the capture.
port=$((20000 + RANDOM % 8000))
# tshark writes the capture and prints a line per packet; a probe datagram to
# the discard port that shows up there proves that the capture runs, and one
# to port 29919 after the traffic proves that everything before it was taken.
tshark -i lo -l -P -w "$pcap" -f "tcp port $port or udp port 28460 or udp port 9 or udp port 29919" \
  >"$work/live.txt" 2>"$work/capture.err" &
cap_pid=$!
stop_capture() { kill -INT "$cap_pid" 2>/dev/null || true; wait "$cap_pid" 2>/dev/null || true; }
trap stop_capture EXIT
# wait_for <pattern> <port to probe>: at most 30 s.
wait_for() {
  for _ in $(seq 300); do
    grep -qE "$1" "$work/live.txt" 2>/dev/null && return 0
    kill -0 "$cap_pid" 2>/dev/null || { cat "$work/capture.err"; fail "the capture stopped"; }
    echo probe >/dev/udp/127.0.0.1/"$2" 2>/dev/null || true
    sleep 0.1
  done
  cat "$work/capture.err"
  fail "the capture did not show a probe to port $2 within 30 s"
}
wait_for " (→|->) 9 " 9
"$traffic" "$port" >"$work/sent.txt" 2>"$work/traffic.err" || { cat "$work/sent.txt"; fail "traffic program"; }
wait_for " (→|->) 29919 " 29919
stop_capture
trap - EXIT
sent() { sed -n "s/^$1=//p" "$work/sent.txt" | head -n 1; }

tshark -r "$pcap" -X lua_script:"$lua" -Y umsp -T fields -E separator='|' \
  -e umsp.func_name -e umsp.type -e umsp.result -e umsp.result_text -e umsp.trans -e umsp.size \
  -e umsp.user -e umsp.digest -e umsp.token -e umsp.login_id -e tcp.segment.count -e umsp.dev_id \
  -e umsp.video.codec -e umsp.video.frame_type -e umsp.video.width -e umsp.video.height \
  -e umsp.video.frame_rate -e umsp.video.bit_rate -e umsp.frame.timestamp -e umsp.frame.len \
  -e umsp.ch -e umsp.alarm_event -e umsp.alarm_param -e umsp.alarm_msg -e umsp.alarm_time \
  >"$work/umsp.txt" 2>"$work/tshark.err" || { cat "$work/tshark.err"; fail "tshark"; }
tshark -r "$pcap" -X lua_script:"$lua" -Y npd -T fields -E separator='|' \
  -e npd.func_name -e npd.answer -e npd.req -e npd.searcher -e npd.dev_id -e npd.video_ch_num \
  >"$work/npd.txt" 2>>"$work/tshark.err" || { cat "$work/tshark.err"; fail "tshark (npd)"; }

# expect <description> <awk condition on the decoded line>
expect() {
  awk -F'|' "$2 { found = 1 } END { exit !found }" "$3" || { cat "$3"; fail "$1"; }
}
u="$work/umsp.txt"
expect "token answer with the token sent" \
  "\$1 == \"P1_VER_CONSULT_GET_TOKEN\" && \$2 == 1 && \$5 == 101 && \$9 == \"$(sent token)\"" "$u"
expect "login request reassembled from 3 segments with user and digest" \
  "\$1 == \"P1_LOGIN\" && \$2 == 0 && \$5 == 102 && \$6 == 548 && \$7 == \"admin\" && \$8 == \"$(sent digest)\" && \$11 == 3" "$u"
expect "login answer with result 0 and the login id" \
  "\$1 == \"P1_LOGIN\" && \$2 == 1 && \$3 == 0 && \$4 == \"Success\" && \$10 == $(sent login_id) && \$12 == \"DISSECT1\"" "$u"
expect "wrong password answered with 4" \
  "\$1 == \"P1_LOGIN\" && \$2 == 1 && \$3 == 4 && \$4 == \"Password error\"" "$u"
expect "frame message built by the service" \
  "\$1 == \"PE_VIDEO_FRAME\" && \$13 == 4 && \$14 == 1 && \$15 == 640 && \$16 == 480 && \$17 == 25 && \$19 == 777000 && \$20 == 200" "$u"
expect "alarm notice from the host" \
  "\$1 == \"P5_ALARM_NOTICE\" && \$2 == 0 && \$21 == 2 && \$22 == 7 && \$23 == 99 && \$24 == \"door open\" && \$25 ~ /^20[0-9][0-9]-/" "$u"
n="$work/npd.txt"
expect "NPD search request" "\$1 == \"SEARCH_DEV_REQ\" && \$2 == 0 && \$3 == $(sent npd_req) && \$4 == \"0x00001234\"" "$n"
# Services of tests running meanwhile share UDP 28460, and any one of them may
# take the search: the answer's device texts are not checked.
expect "NPD search answer" "\$1 == \"SEARCH_DEV_RSP\" && \$2 == 1 && \$3 == $(sent npd_req) && \$4 == \"0x00001234\"" "$n"
echo "dissector: $(wc -l <"$u") UMSP and $(wc -l <"$n") NPD messages decoded as sent"
