#!/usr/bin/env bash
# Generates a lesson module from a sentence list, with Debian's espeak-ng, sox and lame and a
# small Qt tool (scripts/make-module-tool.cpp) for the binary index and pictures files. The tool is
# the project's target make_module_tool: it is built in the build folder $LQ_BUILD_DIR (build/ by
# default, configured first when it is not yet), or taken as it is from $LQ_MAKE_MODULE_TOOL.
#
#   scripts/make-module.sh LIST OUTDIR BASE   writes OUTDIR/BASE.{txt,txr,mp3,pos,ims}
#   scripts/make-module.sh                    regenerates the demo module Data/demo01.* and the
#                                             test module tests/modules/fixtures/unit07.*
#
# LIST is UTF-8 text. Lines starting with "#" are comments; "@pictures NAME[:WxH] ..." names the
# pictures of the .ims in order (drawings of make-module-tool); every other line is a sentence:
#   English text <TAB> Russian translation ("||" for a line break) <TAB> picture numbers "0,2"
#
# The sound: one second of silence, then each spoken sentence followed by one second of silence,
# at 44100 Hz mono (no dither, so the files come out the same every time), encoded as constant-bitrate mono MP3 without a tag frame. Every piece is cut
# to a multiple of 4 samples, so the index positions (samples of 1/11025 s) are exact.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"

if [ $# -eq 0 ]; then
  "$0" "$here/make-module-demo01.tsv" "$root/Data" demo01
  "$0" "$here/make-module-unit07.tsv" "$root/tests/modules/fixtures" unit07
  exit 0
fi
if [ $# -ne 3 ]; then
  echo "usage: $0 [LIST OUTDIR BASE]" >&2
  exit 2
fi

list="$1" outdir="$2" base="$3"
for tool in espeak-ng sox soxi lame iconv cmake; do
  command -v "$tool" >/dev/null || { echo "make-module: $tool is missing (apt-get install espeak-ng sox lame cmake; scripts/setup-deps.sh installs what the build needs)" >&2; exit 1; }
done
[ -r "$list" ] || { echo "make-module: cannot read $list" >&2; exit 1; }

# Every line must be UTF-8 that code page 1251 can hold (the module's text files are 1251): the
# first line that is not stops the run before anything is made.
lineno=0
while IFS= read -r line || [ -n "$line" ]; do
  lineno=$((lineno + 1))
  line="${line%$'\r'}"
  case "$line" in "#"* | "@pictures "*) continue ;; esac
  if ! err="$(printf '%s' "$line" | LC_ALL=C iconv -f UTF-8 -t CP1251 2>&1 >/dev/null)"; then
    pos="$(printf '%s\n' "$err" | sed -n 's/.*at position \([0-9]*\).*/\1/p')"
    lead="$(printf '%s' "$line" | tail -c +$((${pos:-0} + 1)) | head -c 1 | od -An -tu1 | tr -d ' ')"
    size=1
    if [ -n "$lead" ]; then
      if [ "$lead" -ge 240 ]; then size=4; elif [ "$lead" -ge 224 ]; then size=3; elif [ "$lead" -ge 192 ]; then size=2; fi
    fi
    bytes="$(printf '%s' "$line" | tail -c +$((${pos:-0} + 1)) | head -c $size)"
    if [ -n "$bytes" ] && printf '%s' "$bytes" | LC_ALL=C iconv -f UTF-8 -t UTF-32BE >/dev/null 2>&1; then
      code="$(printf '%s' "$bytes" | LC_ALL=C iconv -f UTF-8 -t UTF-32BE | od -An -tx1 | tr -d ' \n' | sed 's/^0*//')"
      printf "make-module: %s line %d: '%s' (U+%04X) cannot be written in code page 1251; nothing was written\n" \
        "$list" "$lineno" "$bytes" "0x${code:-0}" >&2
    else
      printf "make-module: %s line %d: byte %d is not UTF-8; nothing was written\n" \
        "$list" "$lineno" "$((${pos:-0} + 1))" >&2
    fi
    exit 1
  fi
done < "$list"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"   # the tool runs Qt offscreen

# The tool for the .pos and .ims files.
tool="${LQ_MAKE_MODULE_TOOL:-}"
if [ -z "$tool" ]; then
  build="${LQ_BUILD_DIR:-$root/build}"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    generator=()
    if command -v ninja >/dev/null; then generator=(-G Ninja); fi
    if ! log="$(cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo 2>&1)"; then
      printf '%s\n' "$log" >&2
      echo "make-module: could not configure the build folder $build" >&2
      exit 1
    fi
  fi
  if ! log="$(cmake --build "$build" --target make_module_tool 2>&1)"; then
    printf '%s\n' "$log" >&2
    echo "make-module: could not build make_module_tool in $build" >&2
    exit 1
  fi
  tool="$build/tools/make-module-tool"
fi
[ -x "$tool" ] || { echo "make-module: the tool $tool was not built" >&2; exit 1; }

rate=44100
gap=$rate                 # one second; a multiple of 4 samples
voice="${LQ_VOICE:-en-us}"
speed="${LQ_SPEED:-140}"
bitrate="${LQ_BITRATE:-48}"

# (Rate and channels before -n describe the silence itself, so nothing is resampled.)
sox -D -r $rate -c 1 -n -b 16 "$work/gap.wav" trim 0 ${gap}s
[ "$(soxi -s "$work/gap.wav")" -eq $gap ] || { echo "make-module: the gap is not $gap samples" >&2; exit 1; }

pictures=()
english=()
russian=()
: > "$work/records"
parts=("$work/gap.wav")
offset=$gap               # in samples at 44100 Hz
i=0
while IFS= read -r line || [ -n "$line" ]; do
  line="${line%$'\r'}"
  [ -z "$line" ] && continue
  case "$line" in
    "#"*) continue ;;
    "@pictures "*) read -r -a pictures <<< "${line#@pictures }"; continue ;;
  esac
  # Fields split on single tabs; the sentence keeps its blanks as written.
  en="$(printf '%s\n' "$line" | cut -f1)"
  ru="$(printf '%s\n' "$line" | cut -s -f2)"
  pics="$(printf '%s\n' "$line" | cut -s -f3 | tr -d ' ')"
  english+=("$en")
  russian+=("$ru")

  espeak-ng -v "$voice" -s "$speed" -w "$work/r$i.wav" "$en"
  sox -D "$work/r$i.wav" -r $rate -c 1 -b 16 "$work/s$i.wav"
  n=$(soxi -s "$work/s$i.wav")
  len=$(( (n + 3) / 4 * 4 ))
  sox -D "$work/s$i.wav" "$work/p$i.wav" pad 0 $((len - n))s
  parts+=("$work/p$i.wav" "$work/gap.wav")

  # The picture record: count, then five numbers (-1 where there is none).
  nums=()
  if [ -n "${pics:-}" ]; then IFS=',' read -r -a nums <<< "$pics"; fi
  rec="1 $((offset / 4)) $(((offset + len) / 4)) ${#nums[@]}"
  for k in 0 1 2 3 4; do rec="$rec ${nums[$k]:--1}"; done
  echo "$rec" >> "$work/records"

  offset=$((offset + len + gap))
  i=$((i + 1))
done < "$list"

[ $i -gt 0 ] || { echo "make-module: no sentences in $list" >&2; exit 1; }

sox -D "${parts[@]}" "$work/all.wav"
total=$(soxi -s "$work/all.wav")
[ "$total" -eq $offset ] || { echo "make-module: the sound has $total samples, the index counts $offset" >&2; exit 1; }
# The files are made in the work folder and moved out only when all of them are there.
out="$work/out"
lame --quiet -t -m m -b "$bitrate" --cbr --resample 44.1 "$work/all.wav" "$out/$base.mp3"
printf '%s\r\n' "${english[@]}" | iconv -f UTF-8 -t CP1251 > "$out/$base.txt"
printf '%s\r\n' "${russian[@]}" | iconv -f UTF-8 -t CP1251 > "$out/$base.txr"
"$tool" pos "$out/$base.pos" < "$work/records"
if [ ${#pictures[@]} -gt 0 ]; then
  "$tool" ims "$out/$base.ims" "${pictures[@]}"
fi
mkdir -p "$outdir"
for f in "$out"/*; do mv -f "$f" "$outdir/"; done
echo "make-module: $outdir/$base.* ($i sentences, ${#pictures[@]} pictures)"
