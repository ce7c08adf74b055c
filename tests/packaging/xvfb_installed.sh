#!/usr/bin/env bash
# xvfb_installed.sh BUILD_DIR: installs Omrek into a folder of its own, checks
# the desktop entry, the metainfo and the man page, and then runs the
# installed program as an ordinary user (nobody) with a home of its own:
# --help and --version answer without a display, --destroy shreds the user's
# own file and leaves one the user may not write, files named on the command
# line are listed in the window, which carries the name its launcher is
# matched by, and Config -> OK writes the settings to
# ~/.config/omrek/omrek.ini in a folder private to the user. The Exec lines
# of the desktop entry, Dolphin's service menu and Nemo's action, and the
# script --install-file-manager-actions writes for Nautilus and Caja, run as
# their file managers run them, list the chosen files without destroying
# them.
set -euo pipefail
build=$1
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_root "needs root, to run the program as nobody"
require_display_tools setpriv xprop

folder=$(mktemp -d)
chmod 755 "$folder"
prefix="$folder/prefix"
home="$folder/home"
# The program runs under a subshell of this script (as_user is a function):
# it is stopped by the process id its window gives.
stop_program() {
  [[ -n "${main:-}" ]] && kill "$(xdotool getwindowpid "$main")" 2>/dev/null
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}
cleanup() {
  [[ -n "${program_pid:-}" ]] && stop_program
  [[ -n "${XVFB_PID:-}" ]] && stop_virtual_display
  rm -rf "$folder"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
entry="$prefix/share/applications/org.omrek.Filebane.desktop"
service_menu="$prefix/share/kio/servicemenus/org.omrek.Filebane.shred.desktop"
nemo_action="$prefix/share/nemo/actions/omrek.nemo_action"
for installed in bin/omrek lib/omrek/modules/omrek-window.so share/omrek/whoose.wav share/doc/omrek/README.md share/doc/omrek/LICENSE \
  share/doc/omrek/copyright share/doc/omrek/changelog.gz \
  share/applications/org.omrek.Filebane.desktop share/metainfo/org.omrek.Filebane.metainfo.xml \
  share/man/man1/omrek.1.gz share/icons/hicolor/48x48/apps/omrek.png share/icons/hicolor/256x256/apps/omrek.png \
  "${service_menu#"$prefix/"}" "${nemo_action#"$prefix/"}"; do
  [[ -s "$prefix/$installed" ]] || { echo "not installed: $installed"; exit 1; }
done
grep -qx 'Exec=omrek %F' "$entry"
grep -qx 'MimeType=inode/directory;' "$entry" || { echo "the desktop entry does not take folders"; exit 1; }
grep -qx 'StartupWMClass=omrek' "$entry" || { echo "no StartupWMClass"; exit 1; }
desktop-file-validate "$entry"
desktop-file-validate "$service_menu"
# Nemo's actions have no validator: the keys it needs are there, once each,
# in its one group.
[[ "$(head -n1 "$nemo_action")" == "[Nemo Action]" && $(grep -c '^\[' "$nemo_action") -eq 1 ]] ||
  { echo "the Nemo action is not one [Nemo Action] group"; exit 1; }
for key in Name Exec Selection Extensions; do
  [[ $(grep -c "^$key=." "$nemo_action") -eq 1 ]] || { echo "the Nemo action needs one $key"; exit 1; }
done
# On a remote place the file managers would hand over a temporary copy or a
# path through a FUSE bridge: the menus offer themselves for local files only.
grep -qx 'X-KDE-Protocols=file' "$service_menu" || { echo "the service menu shows on remote places"; exit 1; }
grep -qx 'UriScheme=file' "$nemo_action" || { echo "the Nemo action shows on remote places"; exit 1; }
metainfo="$prefix/share/metainfo/org.omrek.Filebane.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >/dev/null
version=$("$prefix/bin/omrek" --version | sed -n 's/^Omrek, Filebane //p')
grep -q "<release version=\"$version\"" "$metainfo" || { echo "no release $version in the metainfo"; exit 1; }
if ! grep -q '^OMREK_HOMEPAGE_URL:STRING=.' "$build/CMakeCache.txt"; then
  ! grep -Eq '<url|<image' "$metainfo" || { echo "the metainfo names an address nobody set"; exit 1; }
fi
man_page="$prefix/share/man/man1/omrek.1.gz"
man_text=$(MANWIDTH=80 man -l "$man_page" 2>&1 >/dev/null)
[[ -z "$man_text" ]] || { echo "man -l: $man_text"; exit 1; }
MANWIDTH=80 man -l "$man_page" | grep -q -- "--wipe-space"
MANWIDTH=80 man -l "$man_page" | grep -q -- "--install-file-manager-actions"

mkdir -p "$home"
chown nobody "$home"
# Everything the user runs: nobody's privileges, the home above, the
# installed program on the path, no display.
as_user() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
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
grep -qx "$foreign: skipped (ERROR: File access denied)" "$folder/refused.txt"

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
# On X11 a dock finds the launcher whose StartupWMClass is the window's
# instance name.
wm_class=$(xprop -id "$main" WM_CLASS)
[[ "$wm_class" == *'= "omrek",'* ]] || { echo "$wm_class"; exit 1; }
destroy_listed() {
  local message=$1 path
  shift
  # Destroy sits at 24, 92 (100 x 40); it asks first, and Return there
  # would cancel: Alt+D answers "Destroy".
  xdotool mousemove --window "$main" 74 112 click 1
  question=$(wait_for_window "Destroy")
  xdotool key --window "$question" alt+d
  for path in "$@"; do
    for _ in $(seq 100); do
      [[ -e "$path" ]] || break
      sleep 0.1
    done
    [[ ! -e "$path" ]] || { echo "$message: $path"; exit 1; }
  done
}
destroy_listed "the file named on the command line was not listed and destroyed" "$listed"

# Config sits at 24, 312; the dialog's OK at 88, 536 (86 x 22).
xdotool mousemove --window "$main" 74 332 click 1
config=$(wait_for_window "Configuration")
xdotool mousemove --window "$config" 131 547 click 1
expect_window_gone "Configuration" "OK did not hide the dialog"
settings="$home/.config/omrek/omrek.ini"
[[ -s "$settings" ]] || { echo "OK wrote no $settings"; exit 1; }
for made in "$home/.config" "$home/.config/omrek"; do
  [[ $(stat -c %a "$made") == 700 ]] || { echo "$made is $(stat -c %a "$made"), not private"; exit 1; }
done
grep -qx "Sound=$prefix/share/omrek/whoose.wav" "$settings" || { echo "the sound is not the installed one"; cat "$settings"; exit 1; }
[[ ! -e "$prefix/bin/omrek.ini" ]] || { echo "settings were written beside the installed program"; exit 1; }
stop_program

# A file manager's launch: FOLDER, then COMMAND... run there as the user.
# The window must list the chosen files and leave them be until Destroy.
chosen=("$home/with a space" "$(printf '%s/not-utf8-\xfe' "$home")")
expect_listed() {
  local how=$1 path
  for path in "${chosen[@]}"; do as_user sh -c 'head -c 3000 /dev/urandom > "$1"' - "$path"; done
  as_user sh -c 'cd "$1" && shift && exec "$@"' - "${@:2}" &
  program_pid=$!
  main=$(wait_for_window "Omrek, Filebane")
  for path in "${chosen[@]}"; do [[ -e "$path" ]] || { echo "$how destroyed $path unasked"; exit 1; }; done
  destroy_listed "$how did not list" "${chosen[@]}"
  stop_program
  expect_window_gone "Omrek, Filebane" "$how: the window stayed"
}
# Desktop entries and Nemo's actions put each path for %F as one word.
exec_words() {
  local line path quoted=
  line=$(sed -n 's/^Exec=//p' "$1" | tail -n1)
  for path in "${chosen[@]}"; do quoted+=" $(printf '%q' "$path")"; done
  eval "words=(${line/\%F/$quoted})"
}
for launcher in "$entry" "$service_menu" "$nemo_action"; do
  exec_words "$launcher"
  expect_listed "$launcher" / "${words[@]}"
done
# Nautilus and Caja start a script in the folder shown, with the names
# relative to it.
as_user "$program" --install-file-manager-actions >"$folder/installed.txt"
for script in "$home/.local/share/nautilus/scripts/Shred with Omrek" "$home/.config/caja/scripts/Shred with Omrek"; do
  grep -qxF "installed $script" "$folder/installed.txt" || { echo "not installed: $script"; exit 1; }
  [[ -x "$script" ]] || { echo "$script is not executable"; exit 1; }
  expect_listed "$script" "$home" "$script" "${chosen[@]#"$home/"}"
done
echo "installed into $prefix; validated; ran as nobody; OK wrote $settings; the file manager launchers list files"
