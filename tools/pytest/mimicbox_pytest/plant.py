"""A mimicbox-cli plant with its live control API, and a client for it."""
import itertools
import pathlib
import tempfile

from .api import Api
from .events import read_events
from .metrics import parse_metrics
from .process import Process
from .run import RunResult, read_summary
from .waiting import wait_for

_numbers = itertools.count(1)


class Plant:
    """Started by the `mimicbox_plant` fixture; every method is a request to the control API."""

    def __init__(self, program, server, devices=(), scenario=None, args=(), workdir=None, token=None):
        self.workdir = pathlib.Path(workdir or tempfile.mkdtemp(prefix="mimicbox-"))
        self.summary_path = self.workdir / f"summary-{next(_numbers)}.json"
        host, port = server.rsplit(":", 1)
        command = [program, "--control", "127.0.0.1:0", "--server", host, "--port", port,
                   "--summary-json", self.summary_path]
        if scenario:
            command += ["--scenario", scenario]
        for device in devices:
            command += ["--device", device]
        self.process = Process("mimicbox-cli", [*command, *args])
        self.result = None
        line = self.process.wait_for_line(lambda text: text.startswith("control: "), timeout=10)
        if line is None:
            self.process.end()
            raise AssertionError(f"mimicbox-cli did not start: {self.process.describe_end()}")
        self.api = Api(line.removeprefix("control: "), token)
        self.url = self.api.base
        wait_for(self._answers_or_ended, 10, "the control API to answer")
        # A run that ended at once (no device could connect, a scenario error) fails the test here,
        # with the reason, rather than at the test's first request.
        result = self.ended_on_its_own()
        if result is not None and result.failure():
            raise AssertionError(result.failure())

    def _answers_or_ended(self):
        if self.process.exit_status() is not None:
            return True
        try:
            return self.api.request("GET", "/run")[0] == 200
        except OSError:
            return False

    # Devices.
    def devices(self):
        return self.api.call("GET", "/devices")

    def device(self, name):
        return self.api.call("GET", f"/devices/{name}")

    def set_temperature(self, name, value):
        return self.api.call("PUT", f"/devices/{name}/temperature", {"value": value})

    def set_profile(self, name, profile):
        return self.api.call("PUT", f"/devices/{name}/profile", profile)

    def switch(self, name, state):
        """state: "on", "off" or "toggle"."""
        return self.api.call("PUT", f"/devices/{name}/switch", {"state": state})

    def disconnect(self, name):
        return self.api.call("POST", f"/devices/{name}/disconnect", {})

    def reset(self, name):
        return self.api.call("POST", f"/devices/{name}/reset", {})

    def reconnect(self, name):
        return self.api.call("POST", f"/devices/{name}/reconnect", {})

    def silence(self, name, duration):
        return self.api.call("POST", f"/devices/{name}/silence", {"duration": duration})

    def fault(self, name, kind, **keys):
        """Breaks the device's next report; answers once the fault fired (or in 10 s, unfired)."""
        return self.api.call("POST", f"/devices/{name}/fault", {"kind": kind, **keys})

    def add(self, model, serials, **keys):
        """Adds devices as a [[device]] table does: add("thermo", "7-8", temperature=21.5)."""
        key = "serial" if isinstance(serials, int) else "serials"
        return self.api.call("POST", "/devices", {"model": model, key: serials, **keys})

    def remove(self, name):
        return self.api.call("DELETE", f"/devices/{name}")

    # The run.
    def run(self):
        return self.api.call("GET", "/run")

    def history(self):
        return self.api.call("GET", "/history")

    def events(self, timeout=5.0, since=None, device=None, reports=True):
        """The events from now (or from sequence number `since`), until `timeout` seconds have passed
        or the run ended."""
        url = self.api.url("/events", since=since, device=device, reports=None if reports else 0)
        return read_events(url, timeout, self.api._headers)

    def wait_for(self, predicate, timeout=5.0, what=None):
        """The first truthy value of `predicate()`; fails the test after `timeout` seconds."""
        return wait_for(predicate, timeout, what)

    def metrics(self):
        """GET /metrics as {family name: family with .type and .samples}."""
        return parse_metrics(self.api.text("/metrics"))

    def stop(self, check=True):
        """Ends the run as SIGTERM does and returns its RunResult; with `check`, a failed expectation
        or a device that could not connect fails the test."""
        if self.result is None:
            if self.process.exit_status() is None:
                try:
                    self.api.request("POST", "/stop", {})
                except OSError:
                    pass  # it ended meanwhile
            self._collect(self.process.wait(30))
        __tracebackhide__ = True  # the test's own line is where it failed
        failure = self.result.failure()
        if check and failure:
            raise AssertionError(failure)
        return self.result

    def ended_on_its_own(self):
        """The result of a run that ended by itself (--duration, --reports), or None while it runs."""
        if self.result is None and self.process.exit_status() is not None:
            self._collect(self.process.wait(5))
        return self.result

    def _collect(self, status):
        if status is None:
            self.process.end()
            status = self.process.exit_status()
        self.process.expected_end = True
        self.result = RunResult(status, read_summary(self.summary_path), self.process.tail())

    def end(self):
        self.process.end()
