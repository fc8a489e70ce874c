#!/usr/bin/env bash
# Writes a sound benchmark module: MINUTES (default 60) of speech as 64 kbit/s constant-bitrate
# mono MP3 at 22050 Hz (a 30-second piece encoded with lame, repeated frame for frame).
#   bench/make-sound-bench-module.sh OUT.mp3 [MINUTES]
set -euo pipefail
out="$1"
minutes="${2:-60}"
for tool in espeak-ng sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install espeak-ng sox lame)" >&2; exit 1; }
done
work="$(mktemp -d "$(dirname "$out")/.module.XXXXXX")"
trap 'rm -rf "$work"' EXIT
espeak-ng -v en-us -s 150 -w "$work/speech.wav" \
  "The learner hears one sentence at a time and puts its words back in order. \
   Every sentence is cut from the module's sound file, scaled and faded at both ends. \
   The following sentence is prepared in the background while the learner works."
sox -D -R "$work/speech.wav" -r 22050 -c 1 "$work/long.wav" pad 0 30
sox -D -R "$work/long.wav" "$work/piece.wav" trim 0 30
lame --quiet -b 64 --cbr -m m "$work/piece.wav" "$work/piece.mp3"
# Doubling, then the rest: a few large appends rather than one per piece.
: > "$work/module.mp3"
pieces=$((minutes * 2))
while [ "$pieces" -gt 0 ]; do
  count=1
  cp "$work/piece.mp3" "$work/block.mp3"
  while [ $((count * 2)) -le "$pieces" ]; do
    cat "$work/block.mp3" "$work/block.mp3" > "$work/block2.mp3"
    mv "$work/block2.mp3" "$work/block.mp3"
    count=$((count * 2))
  done
  cat "$work/block.mp3" >> "$work/module.mp3"
  pieces=$((pieces - count))
done
mv "$work/module.mp3" "$out"
