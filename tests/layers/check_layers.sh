#!/usr/bin/env bash
# Holds the library to its order of layers (layers.txt at the top of the
# source tree): no object of a folder refers to a symbol defined in a folder of
# a higher layer or a peer of its own layer, and no file of a folder includes
# a header of such a folder. There are no exceptions: a lower layer that must
# reach a higher one calls a hook the higher one registered. With --graph it
# prints the measured graph (folder edges, cycles of folders and of files) and
# judges nothing.
#
#   check_layers.sh --root DIR --objects LIST [--nm NM]
#                   [--probe MODULE OBJECT SOURCE [--expect-refusal]] [--graph]
#
# LIST names the library's object files, one per line. An object stands for
# the module "folder/name" of its source, read from its last two path parts
# (CMake puts core/conn.cpp's object at .../core/conn.cpp.o). A module is a
# source file with its header; the public headers are modules of include/ and
# belong to the folder their "header" line in layers.txt names. Symbols are
# read with nm: a call or data reference is an undefined symbol (U) of one
# object that another object defines (T, D, B, R, C, G, S; weak symbols are
# inline or template code of a header and are the include check's business).
# Includes are the '#include "..."' lines of the sources.
#
# --probe adds one more object and source under a module name of choice; with
# --expect-refusal the run passes only when the probe's upward call and its
# upward include are both refused, which proves the check still refuses.
#
# Exit status: 0 passed, 1 refused (or a probe not refused), 2 bad usage or
# unreadable input, 77 skipped because a needed tool is missing.
set -euo pipefail

root= objects= nm=nm graph=0 probe_mod= probe_obj= probe_src= expect=0
usage() {
  echo "usage: $0 --root DIR --objects LIST [--nm NM]" \
    "[--probe MODULE OBJECT SOURCE [--expect-refusal]] [--graph]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --root) root=${2:?}; shift 2 ;;
    --objects) objects=${2:?}; shift 2 ;;
    --nm) nm=${2:?}; shift 2 ;;
    --graph) graph=1; shift ;;
    --probe) [ $# -ge 4 ] || usage; probe_mod=$2 probe_obj=$3 probe_src=$4; shift 4 ;;
    --expect-refusal) expect=1; shift ;;
    *) usage ;;
  esac
done
[ -n "$root" ] && [ -n "$objects" ] || usage
[ "$expect" = 0 ] || [ -n "$probe_mod" ] || usage
layers=$root/layers.txt
for f in "$layers" "$objects" ${probe_src:+"$probe_src"}; do
  [ -r "$f" ] || { echo "check_layers: cannot read $f" >&2; exit 2; }
done
for tool in "$nm" awk sort; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "check_layers: skipped: $tool is not installed (binutils provides nm)"
    exit 77
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Symbols: "S module type symbol", one line per symbol of each object.
: >"$tmp/facts"
add_object() { # module object
  [ -r "$2" ] || { echo "check_layers: object $2 is missing (build the library first)" >&2; exit 2; }
  "$nm" -P "$2" >"$tmp/nm" || { echo "check_layers: $nm cannot read $2" >&2; exit 2; }
  awk -v mod="$1" 'NF >= 2 { print "S", mod, $2, $1 }' "$tmp/nm" >>"$tmp/facts"
}
nobjects=0
while IFS= read -r obj; do
  [ -n "$obj" ] || continue
  mod=${obj%.o}
  mod=${mod%.*}
  dir=${mod%/*}
  add_object "${dir##*/}/${mod##*/}" "$obj"
  nobjects=$((nobjects + 1))
done <"$objects"
[ "$nobjects" -gt 0 ] || { echo "check_layers: $objects names no object" >&2; exit 2; }
[ -z "$probe_mod" ] || add_object "$probe_mod" "$probe_obj"

# Sources: every .cpp and .h of the layers' folders, and the public headers.
# Includes: "I module file:line target-module text"; a target that is neither a
# library file nor a public header becomes "?name".
(
  cd "$root"
  for dir in include $(awk '$1 == "layer" { for (i = 2; i <= NF; i++) print $i }' layers.txt); do
    [ -d "$dir" ] || continue
    for f in "$dir"/*.cpp "$dir"/*.h; do
      [ -f "$f" ] && echo "$f"
    done
  done
) >"$tmp/sources"
extract_includes() { # module-or-empty file shown-as
  awk -v fixed="$1" -v shown="$3" -v list="$tmp/sources" '
    BEGIN { while ((getline f < list) > 0) have[f] = 1 }
    function module(path) { sub(/\.[^.\/]*$/, "", path); return path }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      target = $0
      sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
      dir = shown; sub(/\/[^\/]*$/, "", dir)
      if (target ~ /\//) to = (target in have) ? module(target) : "?" target
      else if (("include/" target) in have) to = module("include/" target)
      else if ((dir "/" target) in have) to = module(dir "/" target)
      else to = "?" target
      print "I", (fixed != "" ? fixed : module(shown)), shown ":" FNR, to, target
    }' "$2" >>"$tmp/facts"
}
while IFS= read -r f; do
  extract_includes "" "$root/$f" "$f"
done <"$tmp/sources"
[ -z "$probe_mod" ] || extract_includes "$probe_mod" "$probe_src" "$probe_mod.cpp"

set +e
awk -v layersFile="$layers" -v graph="$graph" \
  -v probe="$probe_mod" -v expect="$expect" '
function fail_input(text) { print "check_layers: " text > "/dev/stderr"; bad = 1; exit 2 }
# The folder a module belongs to: its first path part, or for a public header
# the folder of its "header" line.
function folder_of(m,   h) {
  if (m ~ /^include\//) {
    h = substr(m, 9) ".h"
    if (!(h in owner)) fail_input("layers.txt names no folder for the public header " h)
    return owner[h]
  }
  sub(/\/.*/, "", m)
  return m
}
# 1 when a module of folder a may not use one of folder b.
function upward(a, b) {
  if (a == b) return 0
  if (!(a in rank)) fail_input("folder " a " has no layer in layers.txt")
  if (!(b in rank)) fail_input("folder " b " has no layer in layers.txt")
  return rank[b] >= rank[a]
}
FILENAME == layersFile {
  sub(/#.*/, "")
  if (NF == 0) next
  if ($1 == "layer" && NF >= 2) {
    nlayers++
    for (i = 2; i <= NF; i++) {
      if ($i in rank) fail_input("layers.txt:" FNR ": folder " $i " named twice")
      rank[$i] = nlayers; layerText[nlayers] = layerText[nlayers] (i > 2 ? " " : "") $i
    }
  } else if ($1 == "header" && NF == 3) owner[$2] = $3
  else fail_input("layers.txt:" FNR ": neither \"layer FOLDER...\" nor \"header FILE FOLDER\": " $0)
  next
}
$1 == "S" {
  if ($3 == "U") { nrefs++; refMod[nrefs] = $2; refSym[nrefs] = $4 }
  else if ($3 ~ /^[TDBRCGS]$/) def[$4] = $2
  next
}
$1 == "I" { nincs++; incMod[nincs] = $2; incWhere[nincs] = $3; incTo[nincs] = $4; incText[nincs] = $5; next }
END {
  if (bad) exit 2
  if (nlayers == 0) fail_input("layers.txt declares no layer")
  # Edges between modules of different files, each with what makes it.
  for (i = 1; i <= nrefs; i++) {
    from = refMod[i]; sym = refSym[i]
    if (!(sym in def) || def[sym] == from) continue
    key = from " " def[sym]
    if (!(key in callWhy)) ncalls++
    callWhy[key] = callWhy[key] "\n    calls " sym
    edge[key] = 1
  }
  for (i = 1; i <= nincs; i++) {
    from = incMod[i]; to = incTo[i]
    if (to ~ /^\?/) {
      unknown[incWhere[i] " includes " substr(to, 2) ", which is neither a library file nor a public header"] = 1
      continue
    }
    if (to == from) continue
    key = from " " to
    incWhy[key] = incWhy[key] "\n    includes \"" incText[i] "\" (" incWhere[i] ")"
    edge[key] = 1
  }
  if (graph) { print_graph(); exit 0 }

  refused = 0
  for (key in edge) {
    split(key, p, " ")
    fa = folder_of(p[1]); fb = folder_of(p[2])
    if (!upward(fa, fb)) continue
    how = rank[fa] == rank[fb] ? "is a peer of" : "is below"
    report[++refused] = "refused: " p[1] " -> " p[2] " (" fa " " how " " fb ")" callWhy[key] incWhy[key]
    if (p[1] == probe) { if (key in callWhy) probeCall = 1; if (key in incWhy) probeInc = 1 }
  }
  for (u in unknown) report[++refused] = "refused: " u
  sort_strings(report, refused)
  for (i = 1; i <= refused; i++) print report[i]
  nedges = 0; for (key in edge) nedges++
  printf "check_layers: %d layers, %d module pairs in use, %d refused\n", nlayers, nedges, refused
  if (expect) {
    if (probeCall && probeInc) { print "check_layers: the probe " probe " was refused for its upward call and include, as it must be"; exit 0 }
    print "check_layers: the probe " probe " was NOT refused for its upward " (probeCall ? "include" : (probeInc ? "call" : "call and include"))
    exit 1
  }
  exit refused > 0 ? 1 : 0
}
function sort_strings(a, n,   i, j, t) {
  for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
}
# Cycles: modules (or folders) that reach each other, from the transitive
# closure of the edge set; prints each group of two or more.
function print_cycles(title, nodes, n, reach,   i, j, k, m, group, size, done, line) {
  for (k = 1; k <= n; k++) for (i = 1; i <= n; i++) if (reach[nodes[i], nodes[k]])
    for (j = 1; j <= n; j++) if (reach[nodes[k], nodes[j]]) reach[nodes[i], nodes[j]] = 1
  m = 0
  for (i = 1; i <= n; i++) {
    if (done[nodes[i]]) continue
    size = 1; line = nodes[i]; done[nodes[i]] = 1
    for (j = i + 1; j <= n; j++)
      if (reach[nodes[i], nodes[j]] && reach[nodes[j], nodes[i]]) { size++; line = line " " nodes[j]; done[nodes[j]] = 1 }
    if (size > 1) { m++; print "  " title " cycle of " size ": " line }
  }
  if (m == 0) print "  no " title " cycle"
}
function print_graph(   kind, key, p, fa, fb, fkey, n, nodes, seen, reach, i, fn, fnodes, fseen, freach, lines, nl) {
  for (kind = 1; kind <= 3; kind++) {
    delete nodes; delete seen; delete reach; delete fnodes; delete fseen; delete freach; delete fpairs; delete lines
    n = 0; fn = 0; nl = 0
    for (key in edge) {
      if (kind == 1 && !(key in callWhy)) continue
      if (kind == 2 && !(key in incWhy)) continue
      split(key, p, " ")
      fa = folder_of(p[1]); fb = folder_of(p[2])
      if (!seen[p[1]]++) nodes[++n] = p[1]
      if (!seen[p[2]]++) nodes[++n] = p[2]
      reach[p[1], p[2]] = 1
      if (fa == fb) continue
      if (!fseen[fa]++) fnodes[++fn] = fa
      if (!fseen[fb]++) fnodes[++fn] = fb
      freach[fa, fb] = 1
      fpairs[fa " -> " fb]++
    }
    print (kind == 1 ? "calls (nm)" : kind == 2 ? "includes" : "calls and includes") ":"
    for (fkey in fpairs) {
      split(fkey, p, " -> ")
      lines[++nl] = sprintf("  %-22s %3d file pairs%s", fkey, fpairs[fkey], ((p[2] " -> " p[1]) in fpairs) ? "  (both ways)" : "")
    }
    sort_strings(lines, nl)
    for (i = 1; i <= nl; i++) print lines[i]
    sort_strings(fnodes, fn); print_cycles("folder", fnodes, fn, freach)
    sort_strings(nodes, n); print_cycles("file", nodes, n, reach)
  }
}
' "$layers" "$tmp/facts" >"$tmp/out"
status=$?
set -e
# Mangled C++ names read better demangled; c++filt comes with nm (binutils).
if command -v c++filt >/dev/null 2>&1; then c++filt <"$tmp/out"; else cat "$tmp/out"; fi
exit "$status"
