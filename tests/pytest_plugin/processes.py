"""Whether the processes a test session started are gone."""
import os
import time


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A child that ended but was not reaped yet is gone for every purpose here.
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().split(") ", 1)[1][0] != "Z"


def wait_gone(pids, timeout=10):
    deadline = time.monotonic() + timeout
    while any(alive(pid) for pid in pids) and time.monotonic() < deadline:
        time.sleep(0.05)
    return [pid for pid in pids if alive(pid)]

