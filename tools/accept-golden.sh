#!/usr/bin/env bash
# Makes reviewed pictures the golden references: copies build/tests/golden-actual/NAME.png (written
# by a golden test that failed or had no reference) to tests/golden/NAME.png. Look at each picture
# first. With no NAME, every picture waiting there is accepted.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
actual="${TARV_BUILD_DIR:-$here/build}/tests/golden-actual"
mkdir -p "$here/tests/golden"
if [ "$#" -eq 0 ]; then
  set -- $(cd "$actual" 2>/dev/null && ls *.png 2>/dev/null | sed 's/\.png$//')
fi
if [ "$#" -eq 0 ]; then
  echo "accept-golden: no pictures waiting in $actual"
  exit 0
fi
for name in "$@"; do
  if [ ! -f "$actual/$name.png" ]; then
    echo "accept-golden: $actual/$name.png does not exist" >&2
    exit 1
  fi
  cp "$actual/$name.png" "$here/tests/golden/$name.png"
  rm "$actual/$name.png"
  echo "accepted $name"
done
