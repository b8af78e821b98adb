"""Recording a plant through the proxy, importing the same traffic from tcpdump, and replaying it."""
import json
import shutil
import signal
import socket
import struct
import subprocess
import time

import pytest

from conftest import CLI, read_capture, run_cli

FAULTS = """
seed = 7
[[device]]
model = "thermo"
serials = "1-25"
profile = { kind = "random-walk", sigma = 0.5 }
[[device]]
model = "relay"
serials = "1001-1025"
[[fault]]
kind = "split"
every = 3
delay = 0.05
[[fault]]
kind = "garbage"
every = 4
[[fault]]
kind = "duplicate"
devices = "relay:1001-1010"
every = 5
[[fault]]
kind = "double-nul"
devices = "thermo:1-5"
at = 2.0
"""


def record_plant(tmp_path, sink, proxy_to, seconds=4):
    scenario = tmp_path / "faults.toml"
    scenario.write_text(FAULTS)
    proxy = proxy_to(sink.port)
    status, output = run_cli("--scenario", scenario, "--port", proxy.port, "--duration", seconds, "--quiet",
                             "--log-json", tmp_path / "log.jsonl")
    assert status == 0, output
    proxy.stop()
    return proxy.out


def test_the_proxy_passes_every_byte_and_the_capture_holds_every_chunk(tmp_path, sink, proxy_to):
    capture = record_plant(tmp_path, sink, proxy_to)
    events, streams = read_capture(capture)
    # The server received exactly what the devices sent the proxy, and they what it sent them.
    assert streams == sink.streams()
    assert len(streams) == 50
    assert sum(1 for device, server in streams if server.startswith(b"TolvarkControl: 8, ")) == 25
    # Every record the plant logged as sent is in its connection's stream, in order, faults included.
    sent = {}
    for line in filter(None, (tmp_path / "log.jsonl").read_text().split("\n")):
        event = json.loads(line)
        if event["event"] == "sent":
            sent.setdefault(event["device"], []).append(event["record"].encode("latin-1"))
    by_serial = {device.split(b", ")[1]: device for device, _ in streams}
    for name, records in sent.items():
        stream = by_serial[name.split(":")[1].encode()]
        position = 0
        for record in records:
            position = stream.index(record, position) + len(record)
    assert {event["event"] for event in events} >= {"connect", "data", "half-close", "close"}


def test_an_exact_replay_gives_the_server_the_same_bytes_again(tmp_path, sink, proxy_to):
    capture = record_plant(tmp_path, sink, proxy_to, seconds=3)
    recorded = [device for device, _ in read_capture(capture)[1]]
    sink.received.clear()
    sink.sent.clear()
    scenario = tmp_path / "exact.toml"
    scenario.write_text(f'[replay]\ncapture = "{capture}"\nmode = "exact"\nspeed = 2\n')
    status, output = run_cli("--scenario", scenario, "--port", sink.port)
    assert status == 0, output
    assert "replayed 50 connections: 50 connected, 0 could not connect, 0 still connecting at the end" in output
    assert [device for device, _ in sink.streams()] == recorded


def test_a_values_replay_plays_the_recorded_temperatures_and_switches_with_fresh_clocks(
        tmp_path, sink, proxy_to, mimicbox_server):
    capture = record_plant(tmp_path, sink, proxy_to, seconds=3.2)
    events, _ = read_capture(capture)
    recorded = {}
    for event in events:
        for record in event.get("records", []):
            if event["from"] == "device" and record.get("command") == 10:
                value = record.get("temperature", record.get("switch"))
                recorded.setdefault(f'{record["model"]}:{record["serial"]}', []).append(value)
    status, output = run_cli("--replay", capture, "--port", mimicbox_server.port, "--quiet")
    assert status == 0, output
    now = time.time()
    for name in ("thermo:1", "thermo:25"):
        seen = [record for record in mimicbox_server.records(name) if record.readable]
        assert [f"{record.temperature:.6f}" for record in seen] == recorded[name][:len(seen)]
        assert len(seen) >= 2
        assert abs(seen[-1].clock - now) < 10
    # A Relay-Box starts from its recorded switch: the sink toggled each one on.
    assert mimicbox_server.records("relay:1001")[0].switch == recorded["relay:1001"][0]


def test_the_verdict_on_the_servers_commands(tmp_path, proxy_to, mimicbox_server):
    quiet_server = mimicbox_server
    proxy = proxy_to(quiet_server.port)
    status, output = run_cli("--device", "relay:1001-1003", "--port", proxy.port, "--duration", 2.2, "--quiet")
    assert status == 0, output
    proxy.stop()
    scenario = tmp_path / "compare.toml"
    scenario.write_text(f'[replay]\ncapture = "{proxy.out}"\n[expect]\nsame_commands_as_recording = {{ tolerance = 0.5 }}\n')
    status, output = run_cli("--scenario", scenario, "--port", quiet_server.port, "--quiet", "--verbose")
    assert status == 0, output
    assert "expect relay:1001 same commands as the recording: passed (0 records alike)" in output
    assert "expectations: 3 held, 0 failed" in output
    toggling = subprocess.Popen([shutil.which("mimicbox-server") or quiet_server.process.args[-5], "--port", "0",
                                 "--toggle-every", "0.5", "--quiet"], stdout=subprocess.PIPE, text=True)
    try:
        port = int(toggling.stdout.readline().rsplit(":", 1)[1])
        status, output = run_cli("--scenario", scenario, "--port", port, "--quiet")
    finally:
        toggling.terminate()
        toggling.wait(5)
    assert status == 3, output
    assert "expect relay:1001 same commands as the recording: FAILED (record 1, " in output
    assert "is not in the recording)" in output


def test_a_bad_capture_is_refused_before_anything_connects(tmp_path, mimicbox_server):
    capture = tmp_path / "bad.jsonl"
    capture.write_text('{"capture":"mimicbox","version":1}\n{"t":2,"conn":1,"event":"connect"}\n'
                       '{"t":1,"conn":1,"event":"close"}\n')
    status, output = run_cli("--replay", capture, "--port", mimicbox_server.port)
    assert status == 2
    assert f"{capture}:3: time runs backwards: 1 s after 2.000000 s" in output
    assert "--help" not in output  # the file is at fault, not the command line
    assert mimicbox_server.records() == [] and mimicbox_server.closes() == []


def many_connections(path, count, close=False):
    lines = ['{"capture":"mimicbox","version":1}']
    lines += [f'{{"t":{n / 1000},"conn":{n},"event":"connect"}}' for n in range(count)]
    if close:
        lines += [f'{{"t":1,"conn":{n},"event":"close"}}' for n in range(count)]
    path.write_text("\n".join(lines) + "\n")
    return path


def test_an_exact_replay_that_needs_more_descriptors_than_allowed_is_refused_before_it_connects(tmp_path, sink):
    capture = many_connections(tmp_path / "many.jsonl", 300)
    scenario = tmp_path / "exact.toml"
    scenario.write_text(f'[replay]\ncapture = "{capture}"\nmode = "exact"\n')
    limited = subprocess.run(["prlimit", "--nofile=200:200", CLI, "--scenario", scenario, "--port", str(sink.port)],
                             capture_output=True, text=True, timeout=30)
    assert limited.returncode == 2, limited.stdout + limited.stderr
    assert "the replay holds 300 connections open at once at its busiest" in limited.stderr
    assert "room for 168" in limited.stderr
    assert sink.streams() == []


def test_an_exact_replay_accounts_for_every_connection(tmp_path):
    # Nothing listens on the port: each connection is refused, and says so.
    closed = socket.create_server(("127.0.0.1", 0))
    port = closed.getsockname()[1]
    closed.close()
    capture = many_connections(tmp_path / "few.jsonl", 40, close=True)
    scenario = tmp_path / "exact.toml"
    scenario.write_text(f'[replay]\ncapture = "{capture}"\nmode = "exact"\n')
    status, output = run_cli("--scenario", scenario, "--port", port)
    assert status == 1, output
    assert "replayed 40 connections: 0 connected, 40 could not connect (Connection refused), 0 still connecting" in output


@pytest.mark.skipif(shutil.which("tcpdump") is None, reason="needs Debian's tcpdump")
def test_import_of_a_tcpdump_capture_reproduces_what_the_proxy_recorded(tmp_path, sink, proxy_to):
    pcap = tmp_path / "lo.pcap"
    tcpdump = subprocess.Popen(["tcpdump", "-i", "lo", "-U", "-w", str(pcap), f"tcp port {sink.port}"],
                               stderr=subprocess.PIPE, text=True)
    # tcpdump says when it listens.
    assert "listening on lo" in tcpdump.stderr.readline()
    capture = record_plant(tmp_path, sink, proxy_to, seconds=3)
    time.sleep(0.5)
    tcpdump.send_signal(signal.SIGINT)
    tcpdump.wait(10)
    status, output = run_cli("import", pcap, "--port", sink.port, "--out", tmp_path / "imported.jsonl")
    assert status == 0, output
    assert "imported 50 connections" in output
    assert read_capture(tmp_path / "imported.jsonl")[1] == read_capture(capture)[1]


def test_the_proxy_passes_a_servers_reset_to_an_idle_device_at_once_and_answers_after_a_half_close(proxy_to):
    server = socket.create_server(("127.0.0.1", 0))
    proxy = proxy_to(server.getsockname()[1])
    # The server resets a device that has sent nothing.
    idle = socket.create_connection(("127.0.0.1", proxy.port))
    accepted, _ = server.accept()
    accepted.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    accepted.close()
    idle.settimeout(1.0)
    with pytest.raises(ConnectionResetError):
        idle.recv(100)
    idle.close()
    # A device that half-closes still gets the server's answer to what it sent.
    asking = socket.create_connection(("127.0.0.1", proxy.port))
    accepted, _ = server.accept()
    asking.sendall(b"question\0")
    asking.shutdown(socket.SHUT_WR)
    accepted.settimeout(2.0)
    heard = b""
    while chunk := accepted.recv(100):
        heard += chunk
    assert heard == b"question\0"
    accepted.sendall(b"answer\0")
    accepted.close()
    asking.settimeout(2.0)
    answer = b""
    while chunk := asking.recv(100):
        answer += chunk
    assert answer == b"answer\0"
    asking.close()
    server.close()
    proxy.stop()
