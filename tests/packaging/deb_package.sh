#!/usr/bin/env bash
# deb_package.sh BUILD_DIR: cpack makes the Debian package; its control file
# names the packages of the libraries the program links, and the program
# unpacked from it answers --version.
set -euo pipefail
build=$(cd "$1" && pwd)
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

(cd "$build" && cpack -G DEB -B "$folder" >"$folder/cpack.log") || { cat "$folder/cpack.log"; exit 1; }
deb=$(ls "$folder"/omrek_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The package of each library the program links itself.
for needed in $(readelf -d "$build/omrek" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
  library=$(ldd "$build/omrek" | awk -v name="$needed" '$1 == name { print $3 }')
  owner=$(dpkg -S "$library" 2>/dev/null || dpkg -S "$(readlink -f "$library")" 2>/dev/null || true)
  owner=${owner%%:*}
  [[ -n "$owner" ]] || { echo "no package holds $needed"; exit 1; }
  [[ "$depends" == *"$owner"* ]] || { echo "Depends lacks $owner, which holds $needed"; exit 1; }
done
for package in libqt6widgets6 libjpeg62-turbo libsdl2 libblkid1 qt6-qpa-plugins fonts-liberation; do
  [[ "$depends" == *"$package"* ]] || { echo "Depends lacks $package"; exit 1; }
done
dpkg-deb -c "$deb" >"$folder/contents.txt"
grep -q '\./usr/bin/omrek$' "$folder/contents.txt"
grep -q '\./usr/share/omrek/whoose.wav$' "$folder/contents.txt"
dpkg-deb -x "$deb" "$folder/root"
"$folder/root/usr/bin/omrek" --version | grep -q "^Omrek, Filebane "
echo "$(basename "$deb") builds; its Depends name the linked libraries"
