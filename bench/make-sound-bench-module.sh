#!/usr/bin/env bash
# Writes the sound benchmark's module: 60 minutes of speech as 64 kbit/s constant-bitrate mono
# MP3 at 22050 Hz (a 30-second piece encoded with lame, repeated frame for frame).
#   bench/make-sound-bench-module.sh OUT.mp3
set -euo pipefail
out="$1"
for tool in espeak-ng sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install espeak-ng sox lame)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
espeak-ng -v en-us -s 150 -w "$work/speech.wav" \
  "The learner hears one sentence at a time and puts its words back in order. \
   Every sentence is cut from the module's sound file, scaled and faded at both ends. \
   The following sentence is prepared in the background while the learner works."
sox -D -R "$work/speech.wav" -r 22050 -c 1 "$work/long.wav" pad 0 30
sox -D -R "$work/long.wav" "$work/piece.wav" trim 0 30
lame --quiet -b 64 --cbr -m m "$work/piece.wav" "$work/piece.mp3"
: > "$work/module.mp3"
for _ in $(seq 120); do cat "$work/piece.mp3" >> "$work/module.mp3"; done
mv "$work/module.mp3" "$out"
