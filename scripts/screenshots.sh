#!/usr/bin/env bash
# Screenshots of the desktop application on a virtual display: the browser on a copy of
# examples/ with twinkle.kar selected and its info panel, the editor window on
# examples/twinkle.kar (the event table, the lyrics tab, and the karaoke view while playing
# through the silent synthesizer), the edit dialogs (drawn by the application's test program), and
# the batch and settings windows: the Fix and Transpose sheets, the progress window, the log of a
# batch, the preferences, the MIDI settings, the synthesizer editor and the chord alias panel.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]      (defaults: build-dev, screenshots)
# Needs xvfb-run (package xvfb). Works on a copy of the example and a private settings folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-dev}"
out="${2:-screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp examples/twinkle.kar "$work/"
mkdir -p "$work/examples"
cp examples/* "$work/examples/"
export SCOREWELL_CONFIG_DIR="$work/config"
run() { xvfb-run -a -s "-screen 0 1280x900x24" "$@"; }
export SCOREWELL_AUDIO_DRIVER=none
run "$build/app/scorewell" --browse "$work/examples" --select twinkle.kar --screenshot "$out/browser.png"
run "$build/app/scorewell" --browse "$work/examples" --select twinkle.kar --info --screenshot "$out/info-panel.png"
run "$build/app/scorewell" --screenshot "$out/editor.png" "$work/twinkle.kar"
run "$build/app/scorewell" --screenshot "$out/lyrics.png" --tab lyrics "$work/twinkle.kar"
run "$build/app/scorewell" --screenshot "$out/karaoke.png" --tab karaoke --play-for 5500 "$work/twinkle.kar"
for window in fix-sheet transpose-sheet progress log preferences midi-settings synthesizer chord-aliases; do
  run "$build/app/scorewell" --show-window "$window" --screenshot "$out/$window.png" "$work/twinkle.kar"
done
if [ -x "$build/app/test_app" ]; then
  SCOREWELL_SCREENSHOT_DIR="$out" run "$build/app/test_app" >/dev/null
fi
ls -1 "$out"/*.png
