# Sourced by the scripts that drive the reader on a display of their own:
# start_display DISPLAY starts Xvfb there with openbox, exports DISPLAY and
# sets xvfb and wm to their process ids (the caller ends them). It calls the
# caller's fail function when the server does not come up.
start_display() {
  Xvfb "$1" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do xdpyinfo -display "$1" >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo -display "$1" >/dev/null 2>&1 || fail "Xvfb did not start on $1"
  export DISPLAY=$1
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  sleep 1
}
