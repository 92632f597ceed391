#!/usr/bin/env bash
# Starts the real application under Xvfb with a private home, waits for its
# main window, saves a screenshot, and asks it to quit.
set -euo pipefail
bin="${TRELVIO_BIN_DIR:?}"
out="${TRELVIO_TEST_OUT:-$PWD}"
mkdir -p "$out"
root="$(mktemp -d)"
app_pid=""; xvfb_pid=""
trap 'kill $app_pid $xvfb_pid 2>/dev/null || true; rm -rf "$root"' EXIT
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" \
       XDG_CACHE_HOME="$root/cache" XDG_STATE_HOME="$root/state" XDG_RUNTIME_DIR="$root/runtime" \
       TMPDIR="$root/tmp"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/no-session-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$root/no-system-bus"
unset QT_QPA_PLATFORM

display=":$(( 90 + RANDOM % 400 ))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$bin/trelvio" "$@" >"$root/app.log" 2>&1 &
app_pid=$!
found=""
for _ in $(seq 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Trelvio 3'; then found=1; break; fi
  kill -0 $app_pid 2>/dev/null || break
  sleep 0.1
done
if [ -z "$found" ]; then
  echo "the main window did not appear"; cat "$root/app.log"; exit 1
fi
sleep 1
import -display "$display" -window root "$out/smoke-main-window.png"
[ -s "$out/smoke-main-window.png" ] || { echo "no screenshot"; exit 1; }
# The default folders and factory values were set up at start.
[ -d "$HOME/Videos/io.trelvio.Trelvio3/Video Converted" ] || { echo "default video folder missing"; exit 1; }

kill -TERM $app_pid
for _ in $(seq 50); do kill -0 $app_pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $app_pid 2>/dev/null; then echo "the application did not quit"; exit 1; fi
rc=0; wait $app_pid || rc=$?
[ $rc -eq 0 ] || { echo "exit status $rc"; cat "$root/app.log"; exit 1; }
echo "screenshot: $out/smoke-main-window.png"
