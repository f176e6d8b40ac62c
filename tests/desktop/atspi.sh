#!/usr/bin/env bash
# Runs the window on a real X display (Xvfb, openbox) with its own D-Bus
# session and accessibility bus, and checks it through that bus with
# pyatspi, as a screen reader (Orca) does. Skipped where those are missing.
set -uo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
for tool in xvfb-run openbox xprop dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "python3-pyatspi is not installed: skipped"
  exit 77
fi
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
inner='
/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
HOME="$2" XDG_CONFIG_HOME="$2/config" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$0" & app=$!
timeout 120 /usr/bin/python3 "$1"; status=$?
kill $app $bus 2>/dev/null
wait $app 2>/dev/null
exit $status'
exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$here/under-wm.sh" bash -c "$inner" "$program" "$here/atspi_test.py" "$home" 2> >(grep -v 'dbus-daemon\|XDG_RUNTIME_DIR\|SpiRegistry' >&2)
