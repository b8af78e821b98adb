#!/usr/bin/env bash
# Measures the real program under Xvfb against a timing server on loopback: the report period of each
# model as the server sees it (41 reports each, so 40 intervals), then the CPU time and resident memory
# of the program while the Relay-Box cycle runs connected, over 60 s. Prints its figures.
# Needs a built program (scripts/build.sh), Xvfb, xdotool and python3. Takes about three minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
port=54799
display=":96"
reports=${REPORTS:-41}
idle_seconds=${IDLE_SECONDS:-60}

Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() { kill $app $xvfb 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY="$display"
sleep 1

# Starts the program and puts the window id in $wid, with the port of the timing server typed in.
start_program() {
    ./build/mimicbox 2>/dev/null &
    app=$!
    wid=$(xdotool search --sync --onlyvisible --name '^Mimicbox$' | head -1)
    sleep 0.5
    xdotool mousemove --window "$wid" 230 156 click --repeat 2 1
    xdotool key ctrl+a type "$port"
}
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
stop_program() { kill "$app"; wait "$app" 2>/dev/null || true; app=""; }

echo "== Relay-Box, nominal 500 ms"
python3 bench/record_server.py "$port" "$reports" 500 60 &
server=$!
start_program
click 150 27; xdotool key Down     # type list: Relay-Box
click 346 156                       # Verbinden
wait "$server"
stop_program

echo "== Thermo-Box, nominal 1500 ms"
python3 bench/record_server.py "$port" "$reports" 1500 120 &
server=$!
start_program
click 346 156                       # Verbinden
click 302 323                       # Senden
wait "$server"
stop_program

echo "== idle CPU and memory, Relay-Box connected, ${idle_seconds} s"
python3 bench/record_server.py "$port" 1000000 500 $((idle_seconds + 30)) >/dev/null &
server=$!
start_program
click 150 27; xdotool key Down
click 346 156
sleep 2
ticks=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/"$app"/stat)
sleep "$idle_seconds"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/"$app"/stat)
rss=$(awk '/VmRSS/ {print $2, $3}' /proc/"$app"/status)
awk -v u=$((u1 - u0)) -v s=$((s1 - s0)) -v t="$ticks" -v d="$idle_seconds" \
    'BEGIN { cpu = (u + s) / t; printf "CPU %.2f s in %d s = %.3f %% of a core (user %.2f s, system %.2f s)\n", cpu, d, cpu / d * 100, u / t, s / t }'
echo "resident memory $rss"
stop_program
kill "$server" 2>/dev/null || true
