# Sourced: starts a private virtual X server (keys held down do not repeat)
# and exports DISPLAY. XVFB_PID names it; stop_xvfb ends it.
start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  Xvfb ":${n}" -screen 0 1280x1024x24 -ardelay 60000 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":${n}"
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}
stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}
