#!/usr/bin/env bash
# deb_package.sh BUILD_DIR: cpack makes the Debian package; its control file
# names the packages of the libraries the program and its window module
# link (and SDL, loaded only to play a sound), recommends what
# opens the About page's documents and names a maintainer with an address;
# the program unpacked from it is stripped, built hardened (unless the build
# has OMREK_HARDENING off) and answers --version; and lintian finds nothing
# to warn of (skipped, once the rest has passed, where lintian is not
# installed).
set -euo pipefail
build=$(cd "$1" && pwd)
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

(cd "$build" && cpack -G DEB -B "$folder" >"$folder/cpack.log") || { cat "$folder/cpack.log"; exit 1; }
deb=$(ls "$folder"/omrek_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The package of each library the program or its window module links.
for linked in "$build/omrek" "$build/omrek-window.so"; do
  for needed in $(readelf -d "$linked" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
    # ldd names the dynamic loader by its path alone.
    library=$(ldd "$linked" | awk -v name="$needed" '$1 == name { print $3 } $1 ~ ("/" name "$") { print $1 }')
    owner=$(dpkg -S "$library" 2>/dev/null || dpkg -S "$(readlink -f "$library")" 2>/dev/null || true)
    owner=${owner%%:*}
    [[ -n "$owner" ]] || { echo "no package holds $needed"; exit 1; }
    [[ "$depends" == *"$owner"* ]] || { echo "Depends lacks $owner, which holds $needed"; exit 1; }
  done
done
for package in libqt6widgets6 libjpeg62-turbo libsdl2 libblkid1 qt6-qpa-plugins fonts-liberation; do
  [[ "$depends" == *"$package"* ]] || { echo "Depends lacks $package"; exit 1; }
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *xdg-utils* ]] || { echo "xdg-utils is not recommended"; exit 1; }
[[ "$(dpkg-deb -f "$deb" Maintainer)" =~ \<[^@\ ]+@[^@\ ]+\>$ ]] || { echo "the Maintainer has no address"; exit 1; }
homepage=$(sed -n 's/^OMREK_HOMEPAGE_URL:STRING=//p' "$build/CMakeCache.txt")
[[ "$(dpkg-deb -f "$deb" Homepage)" == "$homepage" ]] || { echo "a Homepage other than the one set"; exit 1; }
dpkg-deb -c "$deb" >"$folder/contents.txt"
grep -q '\./usr/bin/omrek$' "$folder/contents.txt"
grep -q '\./usr/share/omrek/whoose.wav$' "$folder/contents.txt"
dpkg-deb -x "$deb" "$folder/root"
"$folder/root/usr/bin/omrek" --version | grep -q "^Omrek, Filebane "
for document in copyright changelog.gz; do
  [[ -s "$folder/root/usr/share/doc/omrek/$document" ]] || { echo "no /usr/share/doc/omrek/$document"; exit 1; }
done
[[ -s "$folder/root/usr/share/man/man1/omrek.1.gz" ]] || { echo "no compressed man page"; exit 1; }

# Stripped, and built with the distribution's hardening: relocations made
# read-only and bound at start, the stack protector in.
program="$folder/root/usr/bin/omrek"
module="$folder/root/usr/lib/omrek/modules/omrek-window.so"
for elf in "$program" "$module"; do
  [[ ! "$(readelf -SW "$elf")" =~ \.(symtab|debug_info|comment)\  ]] || { echo "$elf is not stripped"; exit 1; }
done
# A command from the command line starts without Qt's libraries or SDL's:
# they come with the window's module, and SDL when a sound first plays. The
# module shows only its entries.
if readelf -dW "$program" | grep -E 'Shared library: \[lib(Qt6|SDL2)'; then
  echo "the program itself links Qt or SDL"; exit 1
fi
exported=$(readelf -W --dyn-syms "$module" | awk '$1 ~ /^[0-9]+:$/ && $5 != "LOCAL" && $7 != "UND" { print $8 }' | sort | tr '\n' ' ')
[[ "$exported" == "omrek_run_window omrek_window_version " ]] || { echo "the module exports: $exported"; exit 1; }
if grep -qx 'OMREK_HARDENING:BOOL=ON' "$build/CMakeCache.txt"; then
  for elf in "$program" "$module"; do
    [[ "$(readelf -lW "$elf")" == *GNU_RELRO* ]] || { echo "$elf: no read-only relocations"; exit 1; }
    [[ "$(readelf -dW "$elf")" == *BIND_NOW* ]] || { echo "$elf: relocations are not bound at start"; exit 1; }
    [[ "$(readelf -sW --dyn-syms "$elf")" == *__stack_chk_fail* ]] || { echo "$elf: no stack protector"; exit 1; }
  done
  hardened="hardened"
else
  # Built with -DOMREK_HARDENING=OFF, or configured before dpkg-buildflags
  # was there.
  hardened="not hardened (OMREK_HARDENING is OFF in this build): hardening not checked"
fi
echo "$(basename "$deb") builds; its Depends name the linked libraries; stripped; $hardened"

if ! command -v lintian >/dev/null; then
  echo "skipped: lintian is not installed (scripts/install-deps.sh --tests installs it)"
  exit 77
fi
lintian --fail-on error,warning "$deb" >"$folder/lintian.txt" 2>&1 || { cat "$folder/lintian.txt"; exit 1; }
grep -E '^[EW]: ' "$folder/lintian.txt" && { echo "lintian warns of the package"; exit 1; }
echo "lintian: no error or warning"
