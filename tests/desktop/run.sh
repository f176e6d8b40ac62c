#!/usr/bin/env bash
# Runs a window test on a real X display with a real window manager
# (Xvfb and openbox), where captions, title-bar buttons, minimising and
# restoring are what a user meets; the offscreen platform shows none of it.
set -euo pipefail
test_binary="$1"
for tool in xvfb-run openbox xprop xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
# Under LeakSanitizer the desktop libraries' own leaks are set aside.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Its own D-Bus session where there is one to start: a job's notification
# goes there.
session=()
command -v dbus-run-session >/dev/null && session=(dbus-run-session --)
exec xvfb-run -a -s "-screen 0 1280x1024x24" "${session[@]}" bash "$(dirname "$0")/under-wm.sh" "$test_binary"
