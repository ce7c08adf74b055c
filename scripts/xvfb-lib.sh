# Sourced by the scripts that run Omrek on a virtual display.

# Starts Xvfb on a free display and exports DISPLAY; it is stopped when the
# calling script exits. XVFB_SCREEN gives another screen than 1280x1024x24.
start_virtual_display() {
  local display_file
  display_file=$(mktemp)
  # -noreset: when its last client leaves, a server would reset and refuse
  # the next one for a moment.
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
  XVFB_PID=$!
  trap stop_virtual_display EXIT
  for _ in $(seq 100); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
}

# Stops the server and waits until it has gone: a server still on its way
# out removes the socket of the next one, which may already have its number.
stop_virtual_display() {
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
}

# Waits until a window with the given title is mapped; prints its id.
wait_for_window() {
  local title=$1
  for _ in $(seq 150); do
    local id
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window titled '$title' appeared" >&2
  return 1
}

# Fails unless the window's client area has the given size; leaves the
# window's X, Y, WIDTH and HEIGHT set.
expect_window_size() {
  local window=$1 width=$2 height=$3
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [[ "$WIDTH" == "$width" && "$HEIGHT" == "$height" ]] || { echo "window is ${WIDTH}x${HEIGHT}"; exit 1; }
}

# Waits until no visible window has the given title; fails with the message
# when one still does.
expect_window_gone() {
  local title=$1 message=$2
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^${title}\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "$message"
  exit 1
}
