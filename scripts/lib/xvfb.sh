# A private virtual display (Xvfb) for the scripts that show windows without a
# display of their own. Source this file, then:
#   start_private_display FIRST LAST   starts Xvfb on the first free display
#                                      number in FIRST..LAST, exports DISPLAY and
#                                      returns once the display answers
#   stop_private_display               ends that Xvfb (call it from an EXIT trap)
# A number another run takes at the same moment makes that Xvfb end at once; the
# next number is tried then.

xvfb_pid=""

start_private_display() {
  local first=$1 last=$2 n
  for n in $(seq "$first" "$last"); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    stop_private_display
  done
  echo "no free display number in $first..$last for Xvfb" >&2
  return 1
}

stop_private_display() {
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
