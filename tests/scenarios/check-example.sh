#!/usr/bin/env bash
# Runs an example scenario for a few seconds against the reference server and checks what it says:
#   check-example.sh CLI SERVER SCENARIO CASES [SERVER_OPTION...]
# passes when the run ends with status 0 and its JUnit report, read back with junitparser, holds
# CASES test cases and no failure. With CASES given as "fail:N" the run must end with status 3 and
# N failures instead. With CASES given as "same" the scenario runs twice and the records of each
# device (the clock field aside) and the faults applied must be the same both times.
set -euo pipefail
cli=$1 server=$2 scenario=$3 cases=$4
shift 4
work=$(mktemp -d)
trap 'kill "$server_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# A free port: the server refuses to start on a taken one, so try a few.
for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 30000))
    "$server" --quiet --port "$port" "$@" < /dev/null > "$work/server.txt" 2>&1 &
    server_pid=$!
    for _ in $(seq 30); do grep -q listening "$work/server.txt" && break; sleep 0.1; done
    grep -q listening "$work/server.txt" && break
done
grep -q listening "$work/server.txt" || { echo "the server did not start"; cat "$work/server.txt"; exit 1; }

run() {
    set +e
    "$cli" --scenario "$scenario" --port "$port" --duration 6 --quiet --junit "$work/junit.xml" \
        --log-json "$work/$1.jsonl" > "$work/$1.txt" 2>&1
    status=$?
    set -e
}

if [ "$cases" = same ]; then
    run first
    run second
    /usr/bin/python3 - "$work/first.jsonl" "$work/second.jsonl" <<'PY'
import json, re, sys
def records(path):
    seen = {}
    for line in open(path):
        event = json.loads(line)
        if event["event"] == "sent":
            text = re.sub(r";-?\d+,", ";CLOCK,", event["record"], count=1)
            seen.setdefault(event["device"], []).append((text, event.get("fault")))
    return seen
first, second = records(sys.argv[1]), records(sys.argv[2])
assert first, "no report was logged"
for device in first:
    # The later run may have sent one report fewer or more at the very end.
    n = min(len(first[device]), len(second.get(device, [])))
    assert n >= 3, f"{device}: too few reports"
    assert first[device][:n] == second[device][:n], f"{device} differs:\n{first[device][:n]}\n{second[device][:n]}"
assert any(f for d in first.values() for _, f in d), "no fault was applied"
print(f"{len(first)} devices sent the same records and faults in both runs")
PY
    exit 0
fi

run only
expected_status=0
failures=0
if [[ "$cases" == fail:* ]]; then
    expected_status=3
    failures=${cases#fail:}
fi
if [ "$status" -ne "$expected_status" ]; then
    echo "mimicbox-cli ended with status $status, not $expected_status"
    tail -n 20 "$work/only.txt"
    exit 1
fi
/usr/bin/python3 - "$work/junit.xml" "$cases" "$failures" <<'PY'
import sys
from junitparser import JUnitXml
xml = JUnitXml.fromfile(sys.argv[1])
cases = [case for suite in xml for case in suite]
failed = [case for case in cases if not case.is_passed]
if not sys.argv[2].startswith("fail:"):
    assert len(cases) == int(sys.argv[2]), f"{len(cases)} test cases, not {sys.argv[2]}"
assert len(failed) == int(sys.argv[3]), f"{len(failed)} failed: {[(c.classname, c.name) for c in failed]}"
print(f"{len(cases)} test cases, {len(failed)} failed, as expected")
PY
grep -E '^[0-9]+ devices: ' "$work/only.txt"
