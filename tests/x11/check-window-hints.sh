#!/usr/bin/env bash
# Starts the program under Xvfb with a real window manager (openbox) and checks what the manager is
# told and allows: minimise, move and close, but no maximise and no sizing, as the template says.
# Usage: check-window-hints.sh PROGRAM
set -euo pipefail
program="$1"
display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $wm $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 0.5
"$program" >/dev/null 2>&1 &
app=$!
wid="$(timeout 10 xdotool search --sync --onlyvisible --name '^Mimicbox$' | head -1)"
for _ in $(seq 50); do xprop -id "$wid" _NET_WM_ALLOWED_ACTIONS | grep -q ACTION_MOVE && break; sleep 0.1; done

hints="$(xprop -id "$wid" _MOTIF_WM_HINTS)"
actions="$(xprop -id "$wid" _NET_WM_ALLOWED_ACTIONS)"
# Functions: move, minimise, close; decorations: border, title, menu, minimise button.
[ "$hints" = "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x2c, 0x3a, 0x0, 0x0" ] || { echo "hints: $hints" >&2; exit 1; }
for action in MOVE MINIMIZE CLOSE; do
    grep -q "_NET_WM_ACTION_$action" <<<"$actions" || { echo "missing $action: $actions" >&2; exit 1; }
done
for action in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
    ! grep -q "_NET_WM_ACTION_$action" <<<"$actions" || { echo "offers $action: $actions" >&2; exit 1; }
done
echo "window hints and allowed actions as the template says"
