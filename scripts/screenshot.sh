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

# The dashboard of a small plant under way, and the report of a short run, in headless Chromium.
port=54796
./build/mimicbox-server --quiet --port "$port" --toggle-every 3 < /dev/null > /dev/null 2>&1 &
server=$!
trap 'kill $app $xvfb $server $cli 2>/dev/null || true' EXIT
./build/mimicbox-cli --quiet --port "$port" --scenario examples/scenarios/sine-and-faults.toml --device thermo:1-6 --device relay:1-6 --duration 40 \
    --control 127.0.0.1:0 --report /tmp/mimicbox-report.html > /tmp/mimicbox-screens.txt 2>&1 &
cli=$!
for _ in $(seq 50); do grep -q '^dashboard: ' /tmp/mimicbox-screens.txt && break; sleep 0.1; done
page=$(sed -n 's/^dashboard: //p' /tmp/mimicbox-screens.txt)
sleep 30
/usr/bin/python3 scripts/page_screenshot.py "$page" docs/dashboard.png thermo:1
wait "$cli" || true
/usr/bin/python3 scripts/page_screenshot.py file:///tmp/mimicbox-report.html docs/report.png
echo "wrote docs/dashboard.png and docs/report.png"
