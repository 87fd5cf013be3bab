# shellcheck shell=bash
# Sourced by the scripts that need a private X server.

# start_xvfb <log file> <screen>: starts Xvfb on a free display that it picks itself, with the
# screen given as WIDTHxHEIGHTxDEPTH, exports DISPLAY for it and sets xvfb_pid (the caller ends
# it). Exits the script when the server does not come up.
start_xvfb() {
  local log=$1 screen=$2 number
  number=$(mktemp /tmp/torvane-xvfb-XXXXXX)
  Xvfb -displayfd 5 -screen 0 "$screen" -nolisten tcp 5>"$number" >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number" ]; then
    rm -f "$number"
    echo "Xvfb did not start (log: $log)" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$number")"
  rm -f "$number"
}
