#!/usr/bin/env bash
# Takes screenshots of the real main window under Xvfb, for each model: docs/thermo-box.png and
# docs/relay-box.png. Needs a built program (scripts/build.sh) and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v import >/dev/null || { echo "screenshot.sh: needs imagemagick's import" >&2; exit 2; }
display=":97"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
sleep 1
./build/mimicbox 2>/dev/null &
app=$!
wid=$(xdotool search --sync --onlyvisible --name '^Mimicbox$' | head -1)
mkdir -p docs
sleep 0.5
import -window "$wid" docs/thermo-box.png
# Choose the Relay-Box: click into the type list, then the arrow key picks the next entry.
xdotool mousemove --window "$wid" 150 27 click 1
sleep 0.3
xdotool key Down
sleep 0.5
import -window "$wid" docs/relay-box.png
echo "wrote docs/thermo-box.png and docs/relay-box.png"
