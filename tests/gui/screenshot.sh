#!/bin/sh
# Starts the real program on a private X server with the showcase graph, lets it step a frame
# and photograph the screen.
# usage: screenshot.sh KANDREL SOURCE_DIR WORK_DIR   (writes WORK_DIR/screen.png)
set -eu
kandrel=$1 source=$2 work=$3
rm -rf "$work" && mkdir -p "$work/config" "$work/runtime" && chmod 700 "$work/runtime"
cp "$source/examples/showcase.knd" "$work/"
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1)); [ $tries -le 100 ] || { echo "Xvfb did not start" >&2; exit 3; }
  sleep 0.1
done
# Qt's platform and font libraries keep caches for the process's life; they are not ours to free.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
  XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  timeout 120 "$kandrel" --screenshot "$work/screen.png" "$work/showcase.knd"
