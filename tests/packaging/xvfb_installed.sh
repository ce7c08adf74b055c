#!/usr/bin/env bash
# xvfb_installed.sh BUILD_DIR: installs Omrek into a folder of its own, checks
# the desktop entry, the metainfo and the man page, and then runs the
# installed program as an ordinary user (nobody) with a home of its own:
# --help and --version answer without a display, --destroy shreds the user's
# own file and leaves one the user may not write, files named on the command
# line are listed in the window, and Config -> OK writes the settings to
# ~/.config/omrek/omrek.ini.
set -euo pipefail
build=$1
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_root "needs root, to run the program as nobody"
require_display_tools setpriv

folder=$(mktemp -d)
chmod 755 "$folder"
prefix="$folder/prefix"
home="$folder/home"
cleanup() {
  if [[ -n "${program_pid:-}" ]]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  [[ -n "${XVFB_PID:-}" ]] && stop_virtual_display
  rm -rf "$folder"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for installed in bin/omrek share/omrek/whoose.wav share/doc/omrek/README.md share/doc/omrek/LICENSE \
  share/applications/org.omrek.Filebane.desktop share/metainfo/org.omrek.Filebane.metainfo.xml \
  share/man/man1/omrek.1 share/icons/hicolor/48x48/apps/omrek.png share/icons/hicolor/256x256/apps/omrek.png; do
  [[ -s "$prefix/$installed" ]] || { echo "not installed: $installed"; exit 1; }
done
grep -qx 'Exec=omrek %F' "$prefix/share/applications/org.omrek.Filebane.desktop"
desktop-file-validate "$prefix/share/applications/org.omrek.Filebane.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.omrek.Filebane.metainfo.xml" >/dev/null
man_text=$(MANWIDTH=80 man -l "$prefix/share/man/man1/omrek.1" 2>&1 >/dev/null)
[[ -z "$man_text" ]] || { echo "man -l: $man_text"; exit 1; }
MANWIDTH=80 man -l "$prefix/share/man/man1/omrek.1" | grep -q -- "--wipe-space"

mkdir -p "$home"
chown nobody "$home"
# Everything the user runs: nobody's privileges, the home above, no display.
as_user() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
}
program="$prefix/bin/omrek"

as_user "$program" --version | grep -q "^Omrek, Filebane "
as_user "$program" --help | grep -q -- "--destroy"

own="$home/own file"
as_user sh -c 'head -c 10000 /dev/urandom > "$1"' - "$own"
as_user "$program" --destroy "$own" >"$folder/destroyed.txt"
[[ ! -e "$own" ]] || { echo "--destroy left the user's own file"; exit 1; }
grep -qx "$own: File DONE" "$folder/destroyed.txt"

foreign="$folder/root's file"
head -c 10000 /dev/urandom >"$foreign"
chmod 644 "$foreign"
cp "$foreign" "$folder/copy"
status=0
as_user "$program" --destroy "$foreign" >"$folder/refused.txt" || status=$?
[[ $status -eq 1 ]] || { echo "--destroy of a file nobody may write exited $status"; exit 1; }
cmp -s "$foreign" "$folder/copy" || { echo "the file nobody may write was changed"; exit 1; }
grep -qx "$foreign: skipped (ERROR)" "$folder/refused.txt"

# The window: a file named on the command line (its name not UTF-8) is in
# the list, and "Destroy" destroys it.
listed=$(printf '%s/listed-\xff' "$home")
as_user sh -c 'head -c 3000 /dev/urandom > "$1"' - "$listed"
start_virtual_display
# Starting the display set a trap of its own; the clean-up stops it too.
trap cleanup EXIT
as_user "$program" "$listed" &
program_pid=$!
main=$(wait_for_window "Omrek, Filebane")
# Destroy sits at 24, 92 (100 x 40).
xdotool mousemove --window "$main" 74 112 click 1
for _ in $(seq 100); do
  [[ -e "$listed" ]] || break
  sleep 0.1
done
[[ ! -e "$listed" ]] || { echo "the file named on the command line was not listed and destroyed"; exit 1; }

# Config sits at 24, 312; the dialog's OK at 88, 536 (86 x 22).
xdotool mousemove --window "$main" 74 332 click 1
config=$(wait_for_window "Configuration")
xdotool mousemove --window "$config" 131 547 click 1
expect_window_gone "Configuration" "OK did not hide the dialog"
settings="$home/.config/omrek/omrek.ini"
[[ -s "$settings" ]] || { echo "OK wrote no $settings"; exit 1; }
grep -qx "Sound=$prefix/share/omrek/whoose.wav" "$settings" || { echo "the sound is not the installed one"; cat "$settings"; exit 1; }
[[ ! -e "$prefix/bin/omrek.ini" ]] || { echo "settings were written beside the installed program"; exit 1; }
echo "installed into $prefix; validated; ran as nobody; OK wrote $settings"
