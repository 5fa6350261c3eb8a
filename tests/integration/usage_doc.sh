#!/usr/bin/env bash
# Runs the fenced shell blocks of docs/usage.md as written, in order and in
# one shell session, the way a reader pastes them into a terminal: a variable,
# a function or a background process that one block starts is there for the
# next. The session runs from a scratch folder that looks like the top of the
# source tree (build -> the build folder under test). A block preceded by a
# "not run by the documentation test" comment is skipped: those build or
# install, which CI does itself. A block preceded by "run by the documentation
# test only where TOOL is installed" needs an optional tool: without it the
# block is skipped and the session says so. The first failing command ends the
# session and names its block; background processes still running then are
# stopped, and a session still running after 280 s is stopped with the block
# it was in.
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

# Split the document into one file per runnable block; NN.tool names the
# optional tool a block needs.
awk -v dir="$work/blocks" '
  /^<!-- not run by the documentation test/ { skip = 1; next }
  /^<!-- run by the documentation test only where [^ ]+ is installed/ { tool = $9; next }
  /^```sh[[:space:]]*$/ {
    n++
    if (!skip) {
      out = sprintf("%s/%02d.sh", dir, n)
      printf "" > out
      if (tool != "") { printf "%s\n", tool > sprintf("%s/%02d.tool", dir, n) }
    }
    inblock = 1
    next
  }
  /^```/ && inblock { inblock = 0; out = ""; skip = 0; tool = ""; next }
  inblock && out != "" { print > out }
  !inblock && NF > 0 { skip = 0; tool = "" }
' "$doc"

# The session: each block sourced in turn, its output kept beside it.
session="$work/session.sh"
cat > "$session" <<'HEAD'
set -euo pipefail
block=none
trap 'exit 143' TERM
trap 'status=$?; kill $(jobs -p) 2>/dev/null || true
      if [ "$status" -ne 0 ]; then cat "blocks/$block.out" 2>/dev/null; echo "FAIL: block $block of docs/usage.md"; fi' EXIT
HEAD
ran=0
for block in "$work"/blocks/*.sh; do
  [ -e "$block" ] || continue
  name=$(basename "$block" .sh)
  echo "--- $name"
  cat "$block"
  run=$(printf 'block=%s; . blocks/%s.sh > blocks/%s.out 2>&1' "$name" "$name" "$name")
  if [ -f "$work/blocks/$name.tool" ]; then
    tool=$(cat "$work/blocks/$name.tool")
    printf 'if command -v %s > /dev/null 2>&1; then %s; else echo "block %s skipped: %s is not installed" | tee -a skipped.txt; fi\n' \
      "$tool" "$run" "$name" "$tool" >> "$session"
  else
    printf '%s\n' "$run" >> "$session"
  fi
  ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "FAIL: no runnable block found in docs/usage.md"; exit 1; }
status=0
(cd "$work" && timeout 280 bash "$session") || status=$?
[ "$status" != 124 ] || echo "FAIL: docs/usage.md did not finish within 280 s"
[ "$status" = 0 ] || exit "$status"
skipped=0
[ ! -f "$work/skipped.txt" ] || skipped=$(wc -l < "$work/skipped.txt")
echo "docs/usage.md: $ran blocks, $skipped of them skipped for want of an optional tool"
