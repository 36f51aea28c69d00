# Sourced: starts an Xvfb server on the first free display number and exports
# DISPLAY and XVFB_PID. The caller stops it.
for n in $(seq 90 190); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
      [[ -e /tmp/.X11-unix/X$n ]] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [[ -e /tmp/.X11-unix/X$n ]]; then export DISPLAY=":$n"; break; fi
    wait "$XVFB_PID" 2>/dev/null; XVFB_PID=
  fi
done
if [[ -z "${XVFB_PID:-}" ]]; then echo "xvfb-start: no free display" >&2; exit 1; fi
export XVFB_PID
