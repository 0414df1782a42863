#!/bin/sh
# The real program killed with unsaved work: started on WORK_DIR/picture.bmp (a modified,
# unnamed graph) into a continuous run, it is killed once its autosave is written, then started
# and closed again, which leaves the graph as the backup in WORK_DIR.
# usage: crash_recovery.sh KANDREL SOURCE_DIR WORK_DIR
set -eu
kandrel=$1 source=$2 work=$3
# The program keeps its files beside itself: a link to it in the work folder keeps them there.
ln -f "$kandrel" "$work/kandrel" 2>/dev/null || cp "$kandrel" "$work/kandrel"
. "$source/tests/gui/private_display.sh"
"$work/kandrel" --run "$work/picture.bmp" &
program=$!
trap 'kill -KILL $program 2>/dev/null || true; kill $server 2>/dev/null || true' EXIT
tries=0
until [ -e "$work/~autosave.knd" ]; do
  tries=$((tries + 1)); [ $tries -le 600 ] || { echo "no autosave was written" >&2; exit 4; }
  sleep 0.05
done
kill -KILL $program
wait $program || true
timeout 120 "$work/kandrel" --screenshot "$work/screen.png"
