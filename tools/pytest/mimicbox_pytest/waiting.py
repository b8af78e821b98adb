"""Waiting for a condition with a deadline, the one way every fixture waits."""
import time


def wait_for(predicate, timeout, what=None, interval=0.02):
    """Calls `predicate` until it gives a truthy value, and returns that value; fails the test after
    `timeout` seconds, naming `what` was awaited."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            name = what or getattr(predicate, "__name__", repr(predicate))
            raise AssertionError(f"waited {timeout} s in vain for {name}")
        time.sleep(interval)
