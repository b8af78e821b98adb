"""mimicbox-server on a free port, with what it printed parsed: the records, the closes, the toggles."""
import calendar
import dataclasses
import re
import threading
import time

from .process import Process
from .waiting import wait_for

# "06:02:53.048 127.0.0.1:59608 TEXT": the time and the peer start every line about a connection.
_LINE = re.compile(r"^(\d\d:\d\d:\d\d\.\d{3}) (\d+\.\d+\.\d+\.\d+:\d+|\[[0-9a-fA-F:.]+\]:\d+) (.*)$")
_REPORT = re.compile(r"^(Thermo|Relay)-Box (\d+)  (.+ UTC)  (?:(-?[\d.]+) °C|switch (on|off))$")
_CLOSE = re.compile(r"^((?:thermo|relay):\d+|unknown device) (.+)$")
_TOGGLE_ANSWER = re.compile(r"toggle sent to (\d+)$|^no device (\d+) connected$")


@dataclasses.dataclass
class Record:
    """One record the server received, as it printed it."""
    time: str
    peer: str
    device: str | None  # "thermo:1"; None for an unreadable record from a peer not yet known
    readable: bool
    text: str
    clock: int | None = None  # seconds since 1970, as the report carries them
    temperature: float | None = None
    switch: str | None = None  # "on" or "off"


@dataclasses.dataclass
class Close:
    """A connection the server saw end, and why: "closed the connection", "does not read; closed", ..."""
    time: str
    peer: str
    device: str | None
    reason: str


class DeviceServer:
    """`mimicbox-server --port 0`, started and stopped by the `mimicbox_server` fixture."""

    def __init__(self, program, listen="127.0.0.1", args=()):
        self._lock = threading.Lock()
        self._records = []
        self._closes = []
        self._answers = []
        self._devices_by_peer = {}
        self.process = Process("mimicbox-server", [program, "--listen", listen, "--port", "0", *args],
                               on_line=self._take, stdin=True)
        line = self.process.wait_for_line(lambda text: " listening on " in text, timeout=10)
        if line is None:
            self.process.end()
            raise RuntimeError(f"mimicbox-server did not start: {self.process.describe_end()}")
        self.host, port = line.rsplit(" ", 1)[1].rsplit(":", 1)
        self.port = int(port)
        self.address = f"{self.host}:{self.port}"

    def records(self, device=None):
        """The records received so far, of one device ("relay:1005") or of all."""
        with self._lock:
            return [record for record in self._records if device is None or record.device == device]

    def closes(self, device=None):
        """The connections that ended so far, of one device or of all."""
        with self._lock:
            return [close for close in self._closes if device is None or close.device == device]

    def next_record(self, device, timeout=5.0):
        """The first record of `device` received after this call."""
        seen = len(self.records(device))
        return wait_for(lambda: self.records(device)[seen:], timeout, f"a record from {device}")[0]

    def wait_for_close(self, device, timeout=5.0, count=1):
        """The `count`th end of a connection of `device`, once the server has seen it: a close that
        the test caused may come before or after this call."""
        closes = wait_for(lambda: self.closes(device)[count - 1:], timeout, f"{device}'s connection to end")
        return closes[0]

    def toggle(self, serial, timeout=5.0):
        """Sends a switch toggle to the Relay-Box with this serial; whether it was connected to get it."""
        with self._lock:
            asked = len(self._answers)
        self.process.write(f"t {int(serial)}")
        answers = wait_for(lambda: self._answers[asked:], timeout, f"the server to answer 't {serial}'")
        return answers[0]

    def _take(self, line):
        answer = _TOGGLE_ANSWER.search(line)
        if answer:
            with self._lock:
                self._answers.append(answer.group(1) is not None)
            return
        match = _LINE.match(line)
        if not match:
            return
        when, peer, text = match.groups()
        with self._lock:
            if text.startswith(("Thermo-Box ", "Relay-Box ", "unreadable", "command ")):
                self._records.append(self._record(when, peer, text))
            elif close := _CLOSE.match(text):
                device = close.group(1) if close.group(1) != "unknown device" else None
                self._closes.append(Close(when, peer, device, close.group(2)))
                self._devices_by_peer.pop(peer, None)

    def _record(self, when, peer, text):
        report = _REPORT.match(text)
        if not report:
            return Record(when, peer, self._devices_by_peer.get(peer), not text.startswith("unreadable"), text)
        model, serial, when_utc, temperature, switch = report.groups()
        device = f"{model.lower()}:{serial}"
        self._devices_by_peer[peer] = device
        try:
            clock = calendar.timegm(time.strptime(when_utc, "%Y-%m-%d %H:%M:%S UTC"))
        except ValueError:
            clock = None  # a clock the server could not print as a date
        return Record(when, peer, device, True, text, clock,
                      float(temperature) if temperature is not None else None, switch)

    def check_alive(self):
        __tracebackhide__ = True
        if self.process.exit_status() is not None:
            raise AssertionError(f"the device server ended during the test: {self.process.describe_end()}")

    def stop(self):
        self.process.end()
