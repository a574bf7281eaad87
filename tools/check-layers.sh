#!/usr/bin/env bash
# Checks that includes point down the engine's layers: a file in a layer folder may include
# headers of its own layer and of the layers below it, never of a layer above. Also keeps the
# platform headers where they belong: GL only in driver/gl, X11 only in platform/ and driver/gl,
# Lua only in script/.
# Usage: tools/check-layers.sh SOURCE_DIR LAYER... (the layers from the bottom, as CMake lists them)
# Prints every offending include as FILE:LINE: message and exits 1 when there is one.
set -euo pipefail
root=$1
shift
declare -A rank
i=0
for layer in "$@"; do
  rank[$layer]=$i
  i=$((i + 1))
done

status=0
cd "$root"
for layer in "$@"; do
  [ -d "$layer" ] || continue
  while IFS= read -r -d '' file; do
    lineNumber=0
    while IFS= read -r line; do
      lineNumber=$((lineNumber + 1))
      case "$line" in
      *'#'*include*) ;;
      *) continue ;;
      esac
      if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^/\"]+)/[^\"]*\" ]]; then
        target=${BASH_REMATCH[1]}
        if [ -n "${rank[$target]+set}" ] && [ "${rank[$target]}" -gt "${rank[$layer]}" ]; then
          echo "$file:$lineNumber: $layer/ includes a header of the higher layer $target/: ${line#*#include }"
          status=1
        fi
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
        header=${BASH_REMATCH[1]}
        case "$header" in
        GL/* | GLES*/* | EGL/*)
          [[ $file == driver/gl/* ]] || { echo "$file:$lineNumber: OpenGL headers belong in driver/gl/: $header"; status=1; } ;;
        X11/*)
          [[ $file == driver/gl/* || $file == platform/* ]] ||
            { echo "$file:$lineNumber: X11 headers belong in platform/ or driver/gl/: $header"; status=1; } ;;
        lua.h | lua.hpp | lauxlib.h | lualib.h)
          [[ $file == script/* ]] || { echo "$file:$lineNumber: Lua belongs in script/: $header"; status=1; } ;;
        esac
      fi
    done <"$file"
  done < <(find "$layer" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
done
if [ $status -ne 0 ]; then
  echo "check-layers: includes must point down the layers: $*" >&2
fi
exit $status
