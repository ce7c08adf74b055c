#!/usr/bin/env bash
# Checks that no source file includes a header of a layer above its own, so
# the Qt-free engine never comes to need a window and the command line never
# drags in the widgets. Reads every quoted include of a layer folder in the
# .h and .cpp files under ROOT (default: this repository); angle-bracket
# includes are the system's and Qt's, and are not looked at.
# Usage: scripts/check-layers.sh [ROOT]   Exit status: 0 clean, 1 otherwise.
set -euo pipefail

# The layers, lowest first. A file may include headers of its own layer and
# of any lower one. A path belongs to the layer of its longest matching folder.
LAYERS=(
  "platform/"
  "intake/"
  "engine/"
  "disk/"
  "settings/"
  "app/command/"
  "app/cli/"
  "widgets/"
  "disk/ui/ intake/ui/ settings/ui/"
  "app/"
  "bench/ tests/"
)
# The check's own fixture breaks the rule on purpose and is checked as a tree
# of its own.
SKIPPED="tests/layers/fixture/"
INCLUDE='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'

cd "${1:-$(dirname "$0")/..}"

# Sets layer_rank and layer_name for a path; layer_rank is empty outside the layers.
find_layer() {
  local path=$1 rank folder longest=""
  layer_rank="" layer_name=""
  for rank in "${!LAYERS[@]}"; do
    for folder in ${LAYERS[rank]}; do
      if [[ $path == "$folder"* && ${#folder} -gt ${#longest} ]]; then
        longest=$folder layer_rank=$rank layer_name=${folder%/}
      fi
    done
  done
}

# The first components of the layer folders that exist, where the scan starts.
top_folders() {
  local folders folder
  read -ra folders <<<"${LAYERS[*]}"
  for folder in $(printf '%s\n' "${folders[@]%%/*}" | sort -u); do
    if [[ -d $folder ]]; then echo "$folder"; fi
  done
}

# Prints what is wrong with one file's includes; counts them in includes and faults.
check_file() {
  local file=$1 number=0 line header file_rank file_name
  find_layer "$file"
  file_rank=$layer_rank file_name=$layer_name
  while IFS= read -r line || [[ -n $line ]]; do
    number=$((number + 1))
    [[ $line =~ $INCLUDE ]] || continue
    header=${BASH_REMATCH[1]}
    find_layer "$header"
    [[ -n $layer_rank ]] || continue
    includes=$((includes + 1))
    # A header CMake makes from HEADER.in lies in the build tree, not here.
    if [[ ! -f $header && ! -f $header.in ]]; then
      echo "$file:$number: includes $header, which does not exist"
      faults=$((faults + 1))
    elif ((layer_rank > file_rank)); then
      echo "$file:$number: includes $header ($layer_name) from a lower layer ($file_name)"
      faults=$((faults + 1))
    fi
  done <"$file"
}

files=0 includes=0 faults=0
mapfile -t folders < <(top_folders)
if ((${#folders[@]} == 0)); then
  echo "check-layers: no layer folder under $PWD" >&2
  exit 1
fi
while IFS= read -r file; do
  [[ $file == "$SKIPPED"* ]] && continue
  files=$((files + 1))
  check_file "$file"
done < <(find "${folders[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) | LC_ALL=C sort)

if ((faults > 0)); then
  echo "check-layers: $faults of $includes includes in $files files break the layers"
  exit 1
fi
echo "check-layers: $includes includes in $files files, none from a higher layer"
