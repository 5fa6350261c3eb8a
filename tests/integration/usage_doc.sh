#!/usr/bin/env bash
# Runs the fenced shell blocks of docs/usage.md as written, from a scratch
# folder that looks like the top of the source tree (build -> the build
# folder under test). A block preceded by a "not run by the documentation
# test" comment is skipped: those build or install, which CI does itself.
#   usage_doc.sh <source dir> <build dir> <scratch dir>
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$3
doc="$src/docs/usage.md"
rm -rf "$work"
mkdir -p "$work/blocks"
for entry in "$src"/*; do
  name=$(basename "$entry")
  [ "$name" = build ] || ln -s "$entry" "$work/$name"
done
ln -s "$build" "$work/build"

# Split the document into one file per runnable block.
awk -v dir="$work/blocks" '
  /^<!-- not run by the documentation test/ { skip = 1; next }
  /^```sh[[:space:]]*$/ { n++; if (!skip) { out = sprintf("%s/%02d.sh", dir, n) } inblock = 1; next }
  /^```/ && inblock { inblock = 0; out = ""; skip = 0; next }
  inblock && out != "" { print > out }
  !inblock && NF > 0 { skip = 0 }
' "$doc"

ran=0
for block in "$work"/blocks/*.sh; do
  [ -e "$block" ] || continue
  echo "--- $(basename "$block")"
  cat "$block"
  if ! (cd "$work" && timeout 120 bash -euo pipefail "$block" >"$block.out" 2>&1); then
    cat "$block.out"
    echo "FAIL: block $(basename "$block") of docs/usage.md"
    exit 1
  fi
  ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "FAIL: no runnable block found in docs/usage.md"; exit 1; }
echo "docs/usage.md: $ran blocks ran"
