#!/usr/bin/env bash
# Checks the walls between the simulator's concerns: each folder of platform/sim/ is a concern, declared with
# the concerns it uses (its pndsim_concern line in platform/CMakeLists.txt), and a file of one concern reaches
# another only through that concern's face, sim/<name>/<name>.h, and only when it declared the use. The build
# runs it before compiling the simulator; a violation fails the build.
#
# Usage: check_sim_walls.sh [--stamp FILE] SIM_ROOT CONCERN...
#   SIM_ROOT  the folder platform/sim
#   CONCERN   NAME:USED,USED,... (a concern and the concerns it uses; the list may be empty)
#   --stamp   on success, touch FILE and write FILE.d, a depfile naming every file and folder checked
#
# Rules, for a file of the concern C:
#   - no include path climbs with "..";
#   - "ce/..." (the platform interface) and "pndsim/..." (the control API) are open to every concern;
#   - "sim/C/..." and a bare name of a file beside it are C's own headers;
#   - "sim/D/D.h" is D's face, allowed when C declared that it uses D; any other "sim/D/..." is D's private
#     header and never allowed;
#   - any other quoted include is refused; an include in angle brackets is a system or library header.
# Besides: every folder is a declared concern, every declared use is made and names a concern with a face,
# and the uses have no cycle.
set -euo pipefail

stamp=
if [[ ${1-} == --stamp ]]; then
  stamp=$2
  shift 2
fi
if (($# < 2)); then
  echo "usage: $0 [--stamp FILE] SIM_ROOT NAME:USED,USED,..." >&2
  exit 2
fi
root=$(cd "$1" && pwd)
shift

declare -A uses=()    # concern -> " used used ... "
declare -A made=()    # "concern used" -> 1 once an include makes the use
for spec in "$@"; do
  [[ $spec == *:* ]] || { echo "$0: malformed concern '$spec' (NAME:USED,...)" >&2; exit 2; }
  name=${spec%%:*}
  list=${spec#*:}
  uses[$name]=" ${list//,/ } "
done

failures=0
fail() {
  echo "$1: error: $2" >&2
  failures=$((failures + 1))
}

declared_in="its pndsim_concern(... USES ...) in platform/CMakeLists.txt"

# Checks one quoted include `name` of a file of concern `concern` in the folder `beside`.
check_include() {
  local where=$1 concern=$2 beside=$3 name=$4
  if [[ $name == *..* ]]; then
    fail "$where" "#include \"$name\" climbs out of its folder; include the concern's face through the root (\"sim/NAME/NAME.h\")"
    return
  fi
  case $name in
    ce/* | pndsim/*) return ;;
    sim/*/*)
      local target=${name#sim/}
      target=${target%%/*}
      local header=${name#sim/"$target"/}
      if [[ $target == "$concern" ]]; then
        [[ -f $root/${name#sim/} ]] || fail "$where" "#include \"$name\": no such header of $concern"
        return
      fi
      if [[ -z ${uses[$target]+set} ]]; then
        fail "$where" "#include \"$name\": there is no concern '$target'"
      elif [[ $header != "$target.h" ]]; then
        fail "$where" "#include \"$name\" is a private header of $target; its face is sim/$target/$target.h"
      elif [[ ${uses[$concern]} != *" $target "* ]]; then
        fail "$where" "#include \"$name\": $concern does not declare that it uses $target ($declared_in)"
      else
        made["$concern $target"]=1
      fi
      return
      ;;
  esac
  if [[ $name != */* && -f $beside/$name ]]; then
    return
  fi
  fail "$where" "#include \"$name\" is none of: ce/, pndsim/, sim/NAME/NAME.h, a header beside the file"
}

checked=("$root")
for folder in "$root"/*/; do
  folder=${folder%/}
  concern=${folder##*/}
  checked+=("$folder")
  if [[ -z ${uses[$concern]+set} ]]; then
    fail "$folder" "a folder of the simulator that no pndsim_concern declares"
    continue
  fi
  while IFS= read -r -d '' file; do
    checked+=("$file")
    relative=${file#"$root"/}
    line_number=0
    while IFS= read -r line; do
      line_number=$((line_number + 1))
      [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*(.*)$ ]] || continue
      target=${BASH_REMATCH[1]%%//*}
      target=${target%"${target##*[![:space:]]}"}
      where="sim/$relative:$line_number"
      if [[ $target =~ ^\"([^\"]*)\"$ ]]; then
        check_include "$where" "$concern" "${file%/*}" "${BASH_REMATCH[1]}"
      elif [[ $target =~ ^\<([^>]*)\>$ ]]; then
        name=${BASH_REMATCH[1]}
        case $name in
          *..* | ce/* | pndsim/* | sim/*) check_include "$where" "$concern" "${file%/*}" "$name" ;;
        esac
      else
        fail "$where" "#include $target"
      fi
    done <"$file"
  done < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inl' \) -print0 | sort -z)
done

# Every declared use is made, of a concern that exists and shows a face.
for concern in "${!uses[@]}"; do
  [[ -d $root/$concern ]] || fail "$root/$concern" "the concern '$concern' is declared but has no folder"
  for used in ${uses[$concern]}; do
    if [[ -z ${uses[$used]+set} ]]; then
      fail "$root/$concern" "$concern declares that it uses '$used', which is no concern"
    elif [[ ! -f $root/$used/$used.h ]]; then
      fail "$root/$concern" "$concern uses $used, which has no face sim/$used/$used.h"
    elif [[ -z ${made["$concern $used"]+set} ]]; then
      fail "$root/$concern" "$concern declares that it uses $used but includes nothing of it; drop the use"
    fi
  done
done

# The uses form no cycle: a depth-first walk that meets a concern still on its path has found one.
declare -A state=()  # concern -> walking | done
walk() {
  local concern=$1 path=$2 used
  state[$concern]=walking
  for used in ${uses[$concern]}; do
    [[ -n ${uses[$used]+set} ]] || continue
    if [[ ${state[$used]-} == walking ]]; then
      fail "$root" "the concerns use each other in a cycle: $path -> $used"
    elif [[ -z ${state[$used]-} ]]; then
      walk "$used" "$path -> $used"
    fi
  done
  state[$concern]="done"
}
for concern in "${!uses[@]}"; do
  [[ -n ${state[$concern]-} ]] || walk "$concern" "$concern"
done

if ((failures)); then
  echo "The simulator's concerns reach each other only through their faces (sim/NAME/NAME.h, with" \
    "platform/ as the include root) and only along the uses each declares; see docs/architecture.md." >&2
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
