#!/usr/bin/env bash
# Checks the platform seam: HAL code includes only the C and C++ standard headers, the exported headers
# (pndhal/), the platform interface (ce/) and the HAL's own folders, and the HAL core compiles only sources
# from those folders. The build runs it before compiling the HAL; a violation fails the build.
#
# Usage: check_seam.sh [--stamp FILE] ROOT FOLDER... [--sources SOURCE...]
#   ROOT      the source tree; FOLDER... the HAL folders under it
#   SOURCE... the sources the HAL core compiles (absolute paths)
#   --stamp   on success, touch FILE and write FILE.d, a depfile naming every file and folder checked
set -euo pipefail

stamp=
if [[ ${1-} == --stamp ]]; then
  stamp=$2
  shift 2
fi
if (($# < 2)); then
  echo "usage: $0 [--stamp FILE] ROOT FOLDER... [--sources SOURCE...]" >&2
  exit 2
fi
root=$(cd "$1" && pwd)
shift
folders=()
while (($#)) && [[ $1 != --sources ]]; do
  folders+=("${1%/}")
  shift
done
sources=()
if (($#)); then
  shift
  sources=("$@")
fi

# The C standard library's headers; the C++ library's have no extension.
c_headers=" assert.h complex.h ctype.h errno.h fenv.h float.h inttypes.h iso646.h limits.h locale.h math.h
  setjmp.h signal.h stdalign.h stdarg.h stdatomic.h stdbool.h stddef.h stdint.h stdio.h stdlib.h string.h
  tgmath.h time.h uchar.h wchar.h wctype.h "

failures=0
fail() {
  echo "$1: error: $2 crosses the platform seam" >&2
  failures=$((failures + 1))
}

is_hal_path() {
  local folder
  [[ $1 != *..* ]] || return 1
  for folder in "${folders[@]}"; do
    [[ $1 == "$folder"/* ]] && return 0
  done
  return 1
}

checked=()
for folder in "${folders[@]}"; do
  [[ -d $root/$folder ]] || { echo "$0: no folder $root/$folder" >&2; exit 2; }
  checked+=("$root/$folder")
  while IFS= read -r -d '' file; do
    checked+=("$file")
    relative=${file#"$root"/}
    line_number=0
    while IFS= read -r line; do
      line_number=$((line_number + 1))
      [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*(.*)$ ]] || continue
      target=${BASH_REMATCH[1]%%//*}
      target=${target%"${target##*[![:space:]]}"}
      where="$relative:$line_number"
      if [[ $target =~ ^\<([^>]*)\>$ ]]; then
        name=${BASH_REMATCH[1]}
        if [[ $name != */* && $name != *.* ]] || [[ $c_headers == *" $name "* ]]; then
          continue
        fi
        fail "$where" "#include <$name>"
      elif [[ $target =~ ^\"([^\"]*)\"$ ]]; then
        name=${BASH_REMATCH[1]}
        if [[ ($name == ce/* || $name == pndhal/*) && $name != *..* ]] || is_hal_path "$name"; then
          continue
        fi
        if [[ $name != */* && -f ${file%/*}/$name ]]; then
          continue
        fi
        fail "$where" "#include \"$name\""
      else
        fail "$where" "#include $target"
      fi
    done <"$file"
  done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.inl' -o -name '*.cpp' \
    -o -name '*.cc' \) -print0 | sort -z)
done

for source in "${sources[@]}"; do
  relative=${source#"$root"/}
  if [[ $relative == "$source" ]] || ! is_hal_path "$relative"; then
    echo "$source: error: compiled into the HAL core from outside the HAL folders" >&2
    failures=$((failures + 1))
  fi
done

if ((failures)); then
  echo "HAL code (${folders[*]}) includes only the C and C++ standard headers, pndhal/, ce/ (the platform" \
    "interface) and headers of the HAL folders; the simulator and POSIX stay behind the seam." >&2
  exit 1
fi
if [[ -n $stamp ]]; then
  {
    printf '%s:' "${stamp// /\\ }"
    for file in "${checked[@]}"; do
      printf ' \\\n  %s' "${file// /\\ }"
    done
    printf '\n'
  } >"$stamp.d"
  touch "$stamp"
fi
