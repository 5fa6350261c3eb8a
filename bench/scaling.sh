#!/usr/bin/env bash
# Scaling of live view fan-out: the fan-out benchmark over 1, 2, 4, 8, 16, 32
# and 64 viewers (the most live viewers the service admits), on 1, 4 and 16
# channels with the viewers spread across them (viewer
# v watches channel 1 + v % channels; points with fewer viewers than channels
# are left out). Each point is its own process, the service first, then the
# baseline, both in the same run. For every point: CPU per byte, p50, p99 and
# the memory beyond the frame data. Prints the markdown tables, fits the
# memory per viewer and draws the curves with gnuplot (SVG) when it is
# installed (apt-get install gnuplot-nox), else says why it skips them.
#   bash bench/scaling.sh [--redraw] [seconds per sender (default 3)] [load: realistic|saturating (default realistic)]
# --redraw makes the tables and figures again from the data file of an earlier run.
# Environment: VXQ_BUILD_DIR (default build), VXQ_BENCH_OUT (default docs/img)
# for the figures and the data file scaling-<load>.tsv, VXQ_BENCH_FORMAT svg
# (default) or png.
set -euo pipefail
cd "$(dirname "$0")/.."
redraw=0
if [ "${1:-}" = "--redraw" ]; then
  redraw=1
  shift
fi
seconds=${1:-3}
load=${2:-realistic}
build_dir=${VXQ_BUILD_DIR:-build}
out=${VXQ_BENCH_OUT:-docs/img}
format=${VXQ_BENCH_FORMAT:-svg}
case "$format" in
  svg) terminal='svg size 760,440 dynamic background rgb "white" font "sans,12"' ;;
  png) terminal='pngcairo size 760,440 background rgb "white" font "sans,10"' ;;
  *) echo "scaling.sh: VXQ_BENCH_FORMAT is svg or png" >&2; exit 2 ;;
esac
case "$load" in realistic | saturating) ;; *) echo "scaling.sh: load is realistic or saturating" >&2; exit 2 ;; esac
mkdir -p "$out"
tsv="$out/scaling-$load.tsv"
if [ "$redraw" = 1 ]; then
  [ -s "$tsv" ] || { echo "scaling.sh: no data file $tsv to redraw from" >&2; exit 1; }
else
cmake --build "$build_dir" --target fanout >/dev/null
rm -f "$tsv"
echo "scaling.sh: $load load, $seconds s per sender; $(nproc) cores; load at the start:$(uptime | sed 's/.*load average://')"
for channels in 1 4 16; do
  for viewers in 1 2 4 8 16 32 64; do
    [ "$viewers" -ge "$channels" ] || continue
    # Each run is bounded: two senders of $seconds s, the viewers' opening and the drain.
    timeout $((4 * seconds + 60)) unshare -rn sh -c 'ip link set lo up && ip route add default dev lo && exec "$@"' sh \
      "$build_dir/bench/fanout" --load "$load" --viewers "$viewers" --channels "$channels" --seconds "$seconds" \
      --tsv "$tsv" >/dev/null 2>&1 || { echo "scaling.sh: point $viewers viewers on $channels channels failed" >&2; exit 1; }
    echo "  $viewers viewers on $channels channels done" >&2
  done
done
echo "scaling.sh: load at the end:$(uptime | sed 's/.*load average://')"
fi

# The tables: per channel count, service beside baseline (columns of the data file, see fanout --tsv).
awk -F'\t' '
  /^#/ { next }
  { key = $2 SUBSEP $3
    if ($5 == "baseline") { bcpu[key] = $7; bp50[key] = $8; bp99[key] = $9 }
    else { scpu[key] = $7; sp50[key] = $8; sp99[key] = $9; rssv[key] = $14; heapv[key] = $17; beyond[key] = $13;
           idle[key] = $12; seen[key] = 1; ch[$2] = 1 } }
  END {
    n = split("1 4 16", chs, " ")
    for (i = 1; i <= n; i++) {
      c = chs[i]; if (!(c in ch)) continue
      printf "\n**%d channel%s**\n\n", c, (c == 1 ? "" : "s")
      print "| viewers | CPU s/GB service | baseline | ratio | p50 ms service | baseline | p99 ms service | baseline | memory beyond frame data MiB | growth per viewer KiB | heap per viewer KiB |"
      print "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
      split("1 2 4 8 16 32 64", vs, " ")
      for (j = 1; j <= 7; j++) {
        k = c SUBSEP vs[j]; if (!(k in seen)) continue
        printf "| %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f | %.1f | %.1f |\n", vs[j], scpu[k], bcpu[k],
          (bcpu[k] > 0 ? scpu[k] / bcpu[k] : 0), sp50[k], bp50[k], sp99[k], bp99[k], beyond[k] / 1024, rssv[k], heapv[k]
      }
      # Least-squares slope of the memory beyond the frame data over the viewers: what one more viewer costs.
      sx = sy = sxx = sxy = sh = sxh = m = 0
      for (j = 1; j <= 7; j++) {
        k = c SUBSEP vs[j]; if (!(k in seen)) continue
        x = vs[j]; y = beyond[k] - idle[k]; h = heapv[k] * x
        m++; sx += x; sy += y; sxx += x * x; sxy += x * y; sh += h; sxh += x * h
      }
      if (m >= 2 && m * sxx - sx * sx > 0)
        printf "\nMemory per viewer beyond the frame data (slope over the points): %.1f KiB resident, %.1f KiB heap in use.\n",
          (m * sxy - sx * sy) / (m * sxx - sx * sx), (m * sxh - sx * sh) / (m * sxx - sx * sx)
    }
  }' "$tsv"

if ! command -v gnuplot >/dev/null 2>&1; then
  echo
  echo "scaling.sh: no figures: gnuplot is not installed (apt-get install gnuplot-nox)"
  exit 0
fi
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
for channels in 1 4 16; do
  for sender in service baseline; do
    awk -F'\t' -v c="$channels" -v s="$sender" '!/^#/ && $2 == c && $5 == s' "$tsv" | sort -t$'\t' -k3,3n \
      >"$data/$sender-$channels.dat"
  done
done
# Columns: 3 viewers, 7 CPU s/GB, 8 p50, 9 p99, 12 resident idle, 13 beyond the frame data, 17 heap per viewer.
gnuplot <<EOF
set terminal $terminal
set logscale x 2
set xrange [0.8:80]
set xtics (1, 2, 4, 8, 16, 32, 64)
set xlabel "viewers"
set key outside right top
set grid
svc(c) = sprintf("$data/service-%d.dat", c)
base(c) = sprintf("$data/baseline-%d.dat", c)
# One colour per channel count; the service solid, the baseline dashed.
col(c) = c == 1 ? "#1f4e9c" : c == 4 ? "#2a9d3f" : "#c0392b"

set output "$out/scaling-$load-cpu.$format"
set title "Sending CPU per delivered byte ($load load)"
set ylabel "CPU seconds per GB"
set logscale y
plot for [c in "1 4 16"] svc(c+0) using 3:7 with linespoints lw 2 pt 7 lc rgb col(c+0) title sprintf("service, %s ch", c), \
     for [c in "1 4 16"] base(c+0) using 3:7 with linespoints lw 1 dt 2 pt 6 lc rgb col(c+0) title sprintf("baseline, %s ch", c)

set output "$out/scaling-$load-latency.$format"
set multiplot layout 1,2 title "Frame latency, feed to last byte read ($load load)"
set key inside left top font ",9"
set title "p50"
set ylabel "milliseconds"
plot for [c in "1 4 16"] svc(c+0) using 3:8 with linespoints lw 2 pt 7 lc rgb col(c+0) title sprintf("service, %s ch", c), \
     for [c in "1 4 16"] base(c+0) using 3:8 with linespoints lw 1 dt 2 pt 6 lc rgb col(c+0) title sprintf("baseline, %s ch", c)
set title "p99"
plot for [c in "1 4 16"] svc(c+0) using 3:9 with linespoints lw 2 pt 7 lc rgb col(c+0) notitle, \
     for [c in "1 4 16"] base(c+0) using 3:9 with linespoints lw 1 dt 2 pt 6 lc rgb col(c+0) notitle
unset multiplot
unset logscale y
set key outside right top font ""

set output "$out/scaling-$load-memory.$format"
set title "Service memory beyond the frame data, growth over idle ($load load)"
set ylabel "KiB"
plot for [c in "1 4 16"] svc(c+0) using 3:(\$13-\$12) with linespoints lw 2 pt 7 lc rgb col(c+0) title sprintf("resident, %s ch", c), \
     for [c in "1 4 16"] svc(c+0) using 3:(\$17*\$3) with linespoints lw 1 dt 2 pt 6 lc rgb col(c+0) title sprintf("heap in use, %s ch", c)
EOF
echo
echo "scaling.sh: figures $out/scaling-$load-{cpu,latency,memory}.$format; data $tsv"
