#!/usr/bin/env bash
# Sets everything up and runs the engine on the bundled samples: loads the sample city scene headless
# and says what it makes (tarvtool scene), packs the scene with its meshes and pictures into a
# copy of the engine (-demoexe), shows what the copy carries and extracts its LightWave files and
# images again with -extract, as a demo maker would to recover a scene from a packed executable;
# packs the intro script into another copy (-direxe) and plays it, capturing its frames as BMP
# files; plays the sample demo over the city with its generated tune and captures its 180 frames;
# then packs the demo into one file, captures it alone in an empty folder (the same frames) and
# makes a video of it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
"$here/tools/setup.sh" "$build"

out="$build/sample"
rm -rf "$out"
mkdir -p "$out"
sample="$here/samples/city"

echo "== the sample city scene loaded headless: what it makes"
"$build/tarvtool" scene "$sample/city.tscn"

echo "== packing samples/city into a copy of the engine (tarv -demoexe with a scene document)"
"$build/tarv" -demoexe "$out/city-player" "$sample/city.tscn"
"$build/tarvtool" packinfo "$out/city-player"

echo "== city-player -extract"
(cd "$out" && ./city-player -extract)
(cd "$out" && find ExeExtract -type f | sort)

echo "== city-player starts the engine (null driver) and views the scene it carries"
printf '[Setup]\ndriver = null\naudio = null\n' > "$out/tarv-setup.ini"
# The viewer plays the scene until it is closed: on the null driver it is stopped after a few seconds.
status=0
(cd "$out" && env -u DISPLAY timeout 5 ./city-player) || status=$?
echo "city-player viewed the scene it carries (stopped after 5 s: $status)"
[ "$status" -eq 124 ]

echo "== packing samples/intro (a Lua script and an image) into another copy (tarv -direxe), and playing it"
mkdir -p "$out/intro-files"
cp "$here/samples/intro/main.lua" "$sample/facade.png" "$out/intro-files/"
"$build/tarv" -direxe "$out/intro-player" "$out/intro-files"
mkdir -p "$out/frames"
printf '[Setup]\naudio = null\n' > "$out/tarv-setup.ini"
# Without a display the engine runs under a virtual one (Mesa's software OpenGL).
if [ -n "${DISPLAY:-}" ]; then
  (cd "$out" && ./intro-player)
else
  (cd "$out" && xvfb-run -a -s "-screen 0 1280x1024x24" ./intro-player)
fi
count=$(ls "$out/frames" | wc -l)
echo "intro-player captured $count frames into $out/frames"
[ "$count" -gt 0 ]

echo "== the sample demo (samples/demo over samples/city, with its generated tune), captured"
demo="$out/demo-run"
mkdir -p "$demo/frames"
cp -r "$here/samples/city" "$here/samples/demo" "$demo/"
mkdir -p "$demo/demo/music"
cp "$build/test-music/beat.mp3" "$demo/demo/music/"
printf '[Setup]\naudio = null\ndisplay = 640 360\nwindowed = 1\n' > "$demo/tarv-setup.ini"
if [ -n "${DISPLAY:-}" ]; then
  (cd "$demo" && "$build/tarv" demo/sample.demo.ini -cap frames/frame -capfps 30)
else
  (cd "$demo" && xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tarv" demo/sample.demo.ini -cap frames/frame -capfps 30)
fi
frames=$(ls "$demo/frames" | wc -l)
echo "the sample demo captured $frames frames into $demo/frames"
[ "$frames" -eq 180 ]
echo "== the sample demo packed into one file, played alone in an empty folder and captured there"
"$build/tarv" -demoexe "$out/sample-demo" "$demo/demo/sample.demo.ini"
alone="$out/alone"
mkdir -p "$alone/frames"
cp "$out/sample-demo" "$alone/"
printf '[Setup]\naudio = null\ndisplay = 640 360\nwindowed = 1\n' > "$alone/tarv-setup.ini"
if [ -n "${DISPLAY:-}" ]; then
  (cd "$alone" && ./sample-demo -cap frames/frame -capfps 30)
else
  (cd "$alone" && xvfb-run -a -s "-screen 0 1280x1024x24" ./sample-demo -cap frames/frame -capfps 30)
fi
if ! diff -rq "$demo/frames" "$alone/frames"; then
  echo "the packed demo's frames differ from the demo's" >&2
  exit 1
fi
echo "the packed demo ($(stat -c %s "$out/sample-demo") bytes) captured the same $frames frames"
if command -v ffmpeg > /dev/null; then
  echo "== the packed sample demo as a video with its music"
  if [ -n "${DISPLAY:-}" ]; then
    (cd "$alone" && ./sample-demo -capvideo sample.mp4 -capfps 30)
  else
    (cd "$alone" && xvfb-run -a -s "-screen 0 1280x1024x24" ./sample-demo -capvideo sample.mp4 -capfps 30)
  fi
  echo "the sample demo's video: $alone/sample.mp4"
fi

echo "== plain tarv on a file it does not know"
if env -u DISPLAY "$build/tarv" "$sample/scene_backup/city.lws"; then
  echo "unexpected success" >&2
  exit 1
fi
echo "sample done: $out"
