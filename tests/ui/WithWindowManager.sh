#!/usr/bin/env bash
# Runs a command on a private X server whose windows a real window manager (openbox) manages, as
# on a learner's desktop. Exits 77 (the test is skipped) when Xvfb or openbox is missing or does
# not come up; otherwise with the command's own result.
set -u
if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
  echo "Xvfb or openbox is not installed: skipped"
  exit 77
fi
work=$(mktemp -d)
xvfb=""
wm=""
finish() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
# Up to 10 s for a test on a file to hold: wait_for -s FILE, wait_for -e FILE.
wait_for() {
  for _ in $(seq 100); do
    [ "$1" "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# Xvfb writes the display number it took once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
if ! wait_for -s "$work/display"; then
  echo "Xvfb did not start: skipped"
  exit 77
fi
export DISPLAY=":$(head -n1 "$work/display")"

# openbox runs its start-up command once it manages the screen.
HOME="$work" openbox --sm-disable --startup "touch $work/managing" >/dev/null 2>&1 &
wm=$!
if ! wait_for -e "$work/managing"; then
  echo "openbox did not start: skipped"
  exit 77
fi

QT_QPA_PLATFORM=xcb LQ_WINDOW_MANAGER=openbox "$@"
