# Sourced by the test scripts that run Omrek on a virtual display: the
# display itself (scripts/xvfb-lib.sh), how a test that cannot run here says
# so, and screenshots taken once the screen shows what is awaited rather
# than after a guessed pause.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-lib.sh"

# The exit status CTest reads as "skipped" (the tests' SKIP_RETURN_CODE):
# a test that could not run must not count as passed.
readonly SKIPPED=77

# Ends the test as skipped, saying why.
skip() {
  echo "skipped: $1"
  exit "$SKIPPED"
}

# The EXIT trap of a test that runs the program from a folder of its own
# ($folder) and may mount an image on $mountpoint: stops the program last
# started ($program_pid) and the display, unmounts, removes the folder.
clean_up_folder_and_mount() {
  if [[ -n "${program_pid:-}" ]]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  [[ -n "${XVFB_PID:-}" ]] && stop_virtual_display
  umount "$mountpoint" 2>/dev/null || true
  rm -rf "$folder"
}

require_root() {
  [[ $(id -u) -eq 0 ]] || skip "$1"
}

# Skips unless the X server, xdotool and ImageMagick, and any other program
# named, are installed.
require_display_tools() {
  local tool
  for tool in Xvfb xdotool import convert compare identify "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# How many times a wait for the screen looks, a tenth of a second apart:
# half a minute, enough for a machine busy with other builds.
readonly SCREEN_LOOKS=300

# True when two images hold the same pixels.
same_pixels() {
  [[ $(compare -metric AE "$1" "$2" null: 2>&1) == 0 ]]
}

# Screenshots the window into SHOT until it is drawn and holds still: two
# shots in a row alike, with more than one colour in them (a window not yet
# painted is blank). Fails after half a minute.
shoot_when_drawn() {
  local window=$1 shot=$2
  local previous="$shot.previous.png"
  rm -f "$previous"
  for _ in $(seq "$SCREEN_LOOKS"); do
    import -window "$window" "$shot"
    if [[ -s "$previous" && $(identify -format '%k' "$shot") -gt 1 ]] && same_pixels "$shot" "$previous"; then
      rm -f "$previous"
      return 0
    fi
    cp "$shot" "$previous"
    sleep 0.1
  done
  rm -f "$previous"
  echo "window $window was never drawn and still"
  return 1
}
