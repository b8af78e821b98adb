"""Fixtures for testing a device server against a Mimicbox plant.

`server` starts the device server under test (here mimicbox-server stands in for yours) and collects
what it prints; `plant` starts mimicbox-cli with the live control API on a free port and gives a small
client for it. Both are stopped after each test. Only the standard library is used for HTTP.

The programs are found through MIMICBOX_SERVER and MIMICBOX_CLI, or in ../../build.
"""
import json
import os
import socket
import subprocess
import threading
import time
import urllib.error
import urllib.request
from pathlib import Path

import pytest

BUILD = Path(__file__).resolve().parents[2] / "build"
SERVER = os.environ.get("MIMICBOX_SERVER", str(BUILD / "mimicbox-server"))
CLI = os.environ.get("MIMICBOX_CLI", str(BUILD / "mimicbox-cli"))


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Output:
    """The lines a process prints, read on a thread, so that a test can wait for one."""

    def __init__(self, stream):
        self.lines = []
        self._changed = threading.Condition()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            with self._changed:
                self.lines.append(line.rstrip("\n"))
                self._changed.notify_all()

    def wait_for(self, text, timeout=5.0, after=0):
        """The first line from index `after` on that contains `text`; fails after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for line in self.lines[after:]:
                    if text in line:
                        return line
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError(f"no line with {text!r} within {timeout} s")
                self._changed.wait(left)


class DeviceServer:
    def __init__(self):
        self.port = free_port()
        self.process = subprocess.Popen([SERVER, "--port", str(self.port)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True, bufsize=1)
        self.output = Output(self.process.stdout)
        self.output.wait_for("listening")

    def command(self, line):
        """mimicbox-server reads commands on its standard input: 't 1005' toggles Relay-Box 1005."""
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=5)


class Plant:
    def __init__(self, server_port, *devices):
        args = [CLI, "--control", "127.0.0.1:0", "--port", str(server_port), "--quiet"]
        for device in devices:
            args += ["--device", device]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True, bufsize=1)
        first = self.process.stdout.readline().strip()
        assert first.startswith("control: "), first
        self.api = first.removeprefix("control: ")
        self.output = Output(self.process.stdout)

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.api + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=5) as response:
                return response.status, json.loads(response.read() or b"null")
        except urllib.error.HTTPError as error:
            return error.code, json.loads(error.read())

    def device(self, name):
        status, body = self.call("GET", "/devices/" + name)
        assert status == 200, body
        return body

    def stop(self):
        self.call("POST", "/stop")
        self.process.wait(timeout=5)


@pytest.fixture
def server():
    started = DeviceServer()
    yield started
    started.stop()


@pytest.fixture
def plant(server):
    started = Plant(server.port, "thermo:1", "relay:1005")
    server.output.wait_for("Relay-Box 1005")
    yield started
    started.stop()
