#!/usr/bin/env bash
# Makes the test music: a synthesised tune encoded with Debian's lame (which writes the
# encoder-delay tag). Usage: make-test-music.sh TONEGEN OUTDIR
set -euo pipefail
tonegen=$1
out=$2
mkdir -p "$out"
make_one() { # name rate seconds channels lame-options...
  local name=$1 rate=$2 seconds=$3 channels=$4
  shift 4
  "$tonegen" "$out/$name.wav" "$rate" "$seconds" "$channels"
  lame --quiet "$@" "$out/$name.wav" "$out/$name.mp3"
  rm -f "$out/$name.wav"
}
make_one tune48 48000 4 2 -b 192
make_one tune44 44100 3 2 -b 160
make_one mono22 22050 2 1 -b 64 -m m
make_one long48 48000 12 2 -b 128
# The sample demo's tune (a note every 250 ms), a little longer than the demo.
make_one beat 44100 7 2 -b 128
