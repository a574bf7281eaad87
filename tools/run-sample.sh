#!/usr/bin/env bash
# Sets everything up and runs the engine on the bundled samples: loads the sample city scene headless
# and says what it makes (tarvtool scene), packs the scene with its meshes and pictures into a
# copy of the engine, shows what the copy carries and extracts its LightWave files and images
# again with -extract, as a demo maker would to recover a scene from a packed executable; packs
# the intro script into another copy and plays it, capturing its frames as BMP files; then plays the
# sample demo over the city with its generated tune and captures its 180 frames.
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

echo "== packing samples/city into a copy of the engine"
cp "$build/tarv" "$out/city-player"
# A packed copy finds the engine's own effect files in its archive, under shaders/.
engine_files=$(cd "$here" && find data/shaders -maxdepth 1 -type f ! -name README.md | sort |
  sed 's|^data/shaders/\(.*\)$|shaders/\1=data/shaders/\1|')
city_files=$(cd "$sample" && find Objects Images -type f | sort | sed 's|^\(.*\)$|\1=samples/city/\1|')
# shellcheck disable=SC2086
"$build/tarvtool" zip "$out/city.zip" "$here" tarv.tscn=samples/city/city.tscn facade.png=samples/city/facade.png \
  street.png=samples/city/street.png scene_backup/city.lws=samples/city/scene_backup/city.lws $city_files \
  $engine_files
"$build/tarvtool" stamp "$out/city-player" "$out/city.zip" 500
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

echo "== packing samples/intro (a Lua script and an image) into another copy, and playing it"
cp "$build/tarv" "$out/intro-player"
# shellcheck disable=SC2086
"$build/tarvtool" zip "$out/intro.zip" "$here" main.lua=samples/intro/main.lua facade.png=samples/city/facade.png \
  $engine_files
"$build/tarvtool" stamp "$out/intro-player" "$out/intro.zip" 500
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
if command -v ffmpeg > /dev/null; then
  echo "== the sample demo as a video with its music"
  if [ -n "${DISPLAY:-}" ]; then
    (cd "$demo" && "$build/tarv" demo/sample.demo.ini -capvideo sample.mp4 -capfps 30)
  else
    (cd "$demo" && xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tarv" demo/sample.demo.ini -capvideo sample.mp4 -capfps 30)
  fi
  echo "the sample demo's video: $demo/sample.mp4"
fi

echo "== plain tarv on a file it does not know"
if env -u DISPLAY "$build/tarv" "$sample/scene_backup/city.lws"; then
  echo "unexpected success" >&2
  exit 1
fi
echo "sample done: $out"
