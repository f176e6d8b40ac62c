#!/usr/bin/env bash
# Inside a fresh X server: starts openbox, waits until it manages the
# display (on a busy machine the first start may find the server not yet
# listening), runs the given command under it and ends openbox again.
set -u
ready() { xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW; }
wm=
for attempt in 1 2 3 4 5; do
  openbox >/dev/null 2>&1 &
  wm=$!
  for i in $(seq 100); do
    ready && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$wm" 2>/dev/null && ready; then break; fi
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  wm=
  sleep 1
done
if [ -z "$wm" ]; then
  echo "openbox did not take over the display"
  exit 1
fi
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$wm" 2>/dev/null
exit $status
