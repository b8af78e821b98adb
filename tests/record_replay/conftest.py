"""Helpers for the record and replay tests: a raw TCP sink that keeps every byte each connection
sent and toggles each Relay-Box once, the proxy, and captures read back."""
import json
import os
import re
import socket
import subprocess
import threading

import pytest

CLI = os.environ["MIMICBOX_CLI"]
TOGGLE = "TolvarkControl: 8, {serial}, 4, 0, 0, 1, 11;\0"


class Sink:
    """A device server that reads everything, and answers a Relay-Box's first report with a toggle."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.received = []  # per connection, in accept order: the bytes it sent
        self.sent = []      # per connection: the bytes sent to it
        self._lock = threading.Lock()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with self._lock:
                index = len(self.received)
                self.received.append(bytearray())
                self.sent.append(bytearray())
            threading.Thread(target=self._serve, args=(connection, index), daemon=True).start()

    def _serve(self, connection, index):
        with connection:
            while chunk := connection.recv(65536):
                with self._lock:
                    self.received[index] += chunk
                    first = re.match(rb"TolvarkControl: 8, (\d+),", self.received[index])
                    if first and not self.sent[index]:
                        toggle = TOGGLE.format(serial=first.group(1).decode()).encode()
                        self.sent[index] += toggle
                        connection.sendall(toggle)

    def streams(self):
        with self._lock:
            return sorted(zip(map(bytes, self.received), map(bytes, self.sent)))

    def close(self):
        self.listener.close()


@pytest.fixture
def sink():
    started = Sink()
    yield started
    started.close()


class Proxy:
    def __init__(self, server_port, out):
        self.out = out
        self.process = subprocess.Popen([CLI, "record", "--listen", "127.0.0.1:0", "--server", f"127.0.0.1:{server_port}",
                                         "--out", str(out)], stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        self.port = int(re.search(r"connect to 127\.0\.0\.1:(\d+),", line).group(1))

    def stop(self):
        self.process.terminate()
        output = self.process.communicate(timeout=10)[0]
        assert self.process.returncode == 0, output
        return output


@pytest.fixture
def proxy_to(tmp_path):
    started = []

    def start(server_port, name="capture.jsonl"):
        started.append(Proxy(server_port, tmp_path / name))
        return started[-1]

    yield start
    for proxy in started:
        if proxy.process.poll() is None:
            proxy.process.kill()


def read_capture(path):
    """The capture's events, and per connection its two byte streams."""
    # Split at newlines only: a record's bytes may hold U+0085 and others that splitlines() takes.
    lines = [line for line in path.read_text(encoding="utf-8").split("\n") if line]
    assert json.loads(lines[0])["capture"] == "mimicbox"
    events = [json.loads(line) for line in lines[1:]]
    streams = {}
    for event in events:
        device, server = streams.setdefault(event["conn"], (bytearray(), bytearray()))
        if event["event"] == "data":
            (device if event["from"] == "device" else server).extend(event["bytes"].encode("latin-1"))
    return events, sorted((bytes(device), bytes(server)) for device, server in streams.values())


def run_cli(*args, timeout=60):
    result = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout + result.stderr
