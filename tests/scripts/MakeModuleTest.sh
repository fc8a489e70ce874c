#!/usr/bin/env bash
# make-module.sh: a list that code page 1251 cannot hold stops the run before any file is made,
# naming the line and the character; a good list gives the module's files.
set -uo pipefail
tool="$1"
for t in espeak-ng sox lame; do
  command -v "$t" >/dev/null || { echo "SKIP: $t is not installed"; exit 0; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# name | list contents (printf format) | expected message part
cases=(
  "accent|Hello there.\tПривет.\n# a comment may say café\nI like café au lait.\tЯ люблю кофе.\n|line 3: 'é' (U+00E9)"
  "translation|Good.\tХорошо ™ café\n|line 1: 'é' (U+00E9)"
  "emoji|Smile 😀 now.\tУлыбка.\n|line 1: '😀' (U+1F600)"
  "not-utf8|Fine.\tХорошо.\nBad \377 byte.\tПлохо.\n|line 2: byte 5 is not UTF-8"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name contents expected <<< "$c"
  printf "$contents" > "$work/$name.tsv"
  out="$work/out-$name"
  mkdir -p "$out"
  msg="$("$tool" "$work/$name.tsv" "$out" m 2>&1)"
  rc=$?
  [ $rc -eq 1 ] || fail "$name: exit code $rc, expected 1"
  case "$msg" in *"$expected"*) ;; *) fail "$name: message '$msg' lacks '$expected'" ;; esac
  [ -z "$(ls -A "$out")" ] || fail "$name: files were left behind: $(ls "$out")"
done

# A list that can be written: the text files are code page 1251, and all four files are there.
printf 'I like tea.\tЯ люблю чай.\n' > "$work/good.tsv"
if "$tool" "$work/good.tsv" "$work/good" m >/dev/null 2>"$work/err"; then
  for ext in txt txr mp3 pos; do [ -s "$work/good/m.$ext" ] || fail "good: m.$ext missing"; done
  [ "$(iconv -f CP1251 -t UTF-8 "$work/good/m.txr")" = $'Я люблю чай.\r' ] || fail "good: m.txr is not the translation in 1251"
else
  fail "good: $(cat "$work/err")"
fi

[ $failures -eq 0 ] && echo "make-module tests passed"
exit $failures
