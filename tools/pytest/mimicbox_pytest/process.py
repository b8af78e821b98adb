"""A program the fixtures start: its output read on a thread, and its whole process tree ended."""
import atexit
import collections
import os
import shutil
import signal
import subprocess
import threading
import time

# Process groups still alive, ended at exit too: a run interrupted past its fixtures' teardown leaves
# nothing behind.
_alive = set()

# A SIGKILL to pytest runs no teardown and no atexit: the kernel then ends the programs, with SIGTERM
# so that they still close their connections.
_ENDS_WITH_PARENT = ["setpriv", "--pdeathsig", "TERM", "--"] if shutil.which("setpriv") else []


@atexit.register
def _end_all():
    for group in list(_alive):
        _signal_group(group, signal.SIGKILL)


def _signal_group(group, signum):
    try:
        os.killpg(group, signum)
    except (ProcessLookupError, PermissionError):
        _alive.discard(group)


class Process:
    """One program in a session of its own, so that ending it ends everything it started."""

    TAIL = 40

    def __init__(self, name, args, on_line=None, stdin=False):
        self.name = name
        self.args = [str(arg) for arg in args]
        self.lines = collections.deque(maxlen=2000)
        self.expected_end = False
        self._on_line = on_line
        self._changed = threading.Condition()
        self._popen = subprocess.Popen(_ENDS_WITH_PARENT + self.args, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                       errors="replace", bufsize=1, start_new_session=True)
        _alive.add(self._popen.pid)
        self._reader = threading.Thread(target=self._read, name=f"{name} output", daemon=True)
        self._reader.start()

    def _read(self):
        for line in self._popen.stdout:
            line = line.rstrip("\n")
            with self._changed:
                self.lines.append(line)
                if self._on_line:
                    self._on_line(line)
                self._changed.notify_all()
        with self._changed:
            self._changed.notify_all()

    @property
    def pid(self):
        return self._popen.pid

    def exit_status(self):
        """The exit status once it ended, else None; a signal's end is its negative number."""
        return self._popen.poll()

    def wait_for_line(self, predicate, timeout):
        """The first line that `predicate` accepts, or None when the program ends or time runs out."""
        deadline = time.monotonic() + timeout
        seen = 0
        with self._changed:
            while True:
                lines = list(self.lines)
                for line in lines[seen:]:
                    if predicate(line):
                        return line
                seen = len(lines)
                left = deadline - time.monotonic()
                if left <= 0 or (not self._reader.is_alive() and self.exit_status() is not None):
                    return None
                self._changed.wait(min(left, 0.1))

    def write(self, line):
        self._popen.stdin.write(line + "\n")
        self._popen.stdin.flush()

    def wait(self, timeout):
        """Waits for the end; the exit status, or None when it did not end in time."""
        try:
            status = self._popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        self._reader.join(timeout=1)
        return status

    def tail(self):
        lines = list(self.lines)[-self.TAIL:]
        return "\n".join(f"  {line}" for line in lines) if lines else "  (no output)"

    def describe_end(self):
        status = self.exit_status()
        if status is None:
            return f"{self.name} is running"
        how = f"was killed by signal {-status}" if status < 0 else f"exited with status {status}"
        return f"{self.name} {how}; its last output:\n{self.tail()}"

    def end(self, grace=5.0):
        """SIGTERM to the whole group, SIGKILL after `grace` seconds; safe to call more than once."""
        group = self._popen.pid
        if group in _alive:
            _signal_group(group, signal.SIGTERM)
            if self.wait(grace) is None:
                _signal_group(group, signal.SIGKILL)
                self.wait(grace)
            # The group's other members, if any, follow its leader.
            _signal_group(group, signal.SIGKILL)
            _alive.discard(group)
        if self._popen.stdin:
            try:
                self._popen.stdin.close()
            except OSError:
                pass
        if not self._reader.is_alive():
            self._popen.stdout.close()
