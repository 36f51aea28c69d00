# Sourced: starts an Xvfb server on a free display and exports DISPLAY and
# XVFB_PID. The caller stops it.
#
# Xvfb picks the display number itself and reports it through -displayfd
# once it accepts connections: two test suites starting at the same moment
# must never share one server, or the first to finish takes the other's
# display down with it.
xvfb_number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_number_file" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 200); do
  [[ -s "$xvfb_number_file" ]] && break
  kill -0 "$XVFB_PID" 2>/dev/null || break
  sleep 0.05
done
xvfb_number=$(head -n 1 "$xvfb_number_file" | tr -dc '0-9')
rm -f "$xvfb_number_file"
if [[ -z "$xvfb_number" ]]; then
  kill "$XVFB_PID" 2>/dev/null
  echo "xvfb-start: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$xvfb_number" XVFB_PID
