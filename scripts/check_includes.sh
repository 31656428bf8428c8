#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own.
# The layers, lowest first (folders on one line are side by side and may
# not include one another):
#   core
#   platform
#   runtime                        (the shared state record and the debug log)
#   sys
#   render2d  sound  net  path
#   gfx3d  input                   (3D draws through the 2D renderer; input
#                                   maps the mouse through its orientation)
#   app
#   game  examples  tools          (programs built on the run-time)
# A file may include headers of its own folder and of any lower layer.
# Tests and benchmarks may include anything.
# The game's headers (include/corvane/) include only one another, as
# <corvane/...>, and standard headers; games and examples include only
# those (<corvane/...>), never a "folder/..." header of the run-time.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A rank=(
  [core]=0 [platform]=1 [runtime]=2 [sys]=3
  [render2d]=4 [sound]=4 [net]=4 [path]=4
  [gfx3d]=5 [input]=5
  [app]=6
  [game]=7 [examples]=7 [tools]=7
)

status=0

# Public headers: <corvane/...> and standard headers (no ".h", no folders).
while IFS=: read -r file line target; do
  case $target in
    '<corvane/'*'>') ;;
    '<'*[./]*'>') echo "$file:$line: game header includes $target" >&2; status=1 ;;
    '<'*'>') ;;
    *) echo "$file:$line: game header includes $target" >&2; status=1 ;;
  esac
done < <(git ls-files 'include/corvane/*' | xargs -r grep -n -E '^[[:space:]]*#[[:space:]]*include' |
         sed -E 's/^([^:]*):([0-9]+):[^<"]*([<"][^>"]*[>"]).*/\1:\2:\3/')

# Games and examples: no "folder/..." run-time headers.
while IFS=: read -r file line target; do
  echo "$file:$line: a game includes \"$target\"; use <corvane/...>" >&2
  status=1
done < <(git ls-files 'game/*' 'examples/*' | grep -E '\.(cpp|hpp|h)$' |
         xargs -r grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' |
         sed -E 's/^([^:]*):([0-9]+):[^"]*"([^"]*)".*/\1:\2:\3/')

while IFS= read -r file; do
  own=${file%%/*}
  [ -n "${rank[$own]+x}" ] || continue
  while IFS=: read -r line target; do
    dir=${target%%/*}
    [ "$dir" = "$own" ] && continue
    if [ -z "${rank[$dir]+x}" ]; then
      echo "$file:$line: includes \"$target\" from a folder with no layer" >&2
      status=1
    elif [ "${rank[$dir]}" -ge "${rank[$own]}" ]; then
      echo "$file:$line: $own includes \"$target\", which is not below it" >&2
      status=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' "$file" |
           sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
done < <(git ls-files '*.cpp' '*.hpp' '*.h' '*.inc')
[ $status -eq 0 ] && echo "includes point downward; games use only the game headers"
exit $status
