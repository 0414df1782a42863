# Sourced by the scripts that start the real program: a private X server for this script alone
# (Xvfb picks a free display itself, so such tests may run side by side), and the program's
# environment pointed at it and at folders inside $work, which must exist.
mkdir -p "$work/config" "$work/runtime" && chmod 700 "$work/runtime"
rm -f "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1)); [ $tries -le 100 ] || { echo "Xvfb did not start" >&2; exit 3; }
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work/runtime"
# Qt's platform and font libraries keep caches for the process's life; they are not ours to free.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
