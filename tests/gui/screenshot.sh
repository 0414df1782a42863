#!/bin/sh
# Starts the real program on a private X server with the showcase graph, lets it step a frame
# and photograph the screen.
# usage: screenshot.sh KANDREL SOURCE_DIR WORK_DIR   (writes WORK_DIR/screen.png)
set -eu
kandrel=$1 source=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cp "$source/examples/showcase.knd" "$work/"
. "$source/tests/gui/private_display.sh"
timeout 120 "$kandrel" --screenshot "$work/screen.png" "$work/showcase.knd"
