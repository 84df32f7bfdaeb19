#!/usr/bin/env bash
# Runs a command under a headless Wayland compositor of its own (weston's headless backend),
# on the toolkit's Wayland platform, with no X display:  with-weston.sh COMMAND [ARGS...]
# The compositor runs in a private runtime folder and ends with the command.
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
compositor=""
cleanup() {
  [ -n "$compositor" ] && kill "$compositor" 2>/dev/null && wait "$compositor" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$runtime
weston --backend=headless-backend.so --socket=wayland-quill --idle-time=0 --no-config \
  --log="$runtime/weston.log" >/dev/null 2>&1 &
compositor=$!
# Weston says nothing when it is ready; its socket answering is the sign (60 s at most).
for _ in $(seq 600); do
  [ -S "$runtime/wayland-quill" ] && break
  kill -0 "$compositor" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$runtime/wayland-quill" ]; then
  echo "with-weston: the compositor did not start:" >&2
  cat "$runtime/weston.log" >&2 || true
  exit 1
fi
export WAYLAND_DISPLAY=wayland-quill QT_QPA_PLATFORM=wayland
unset DISPLAY
"$@"
