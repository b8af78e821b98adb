"""Fixtures for the tests in a real browser: the reference server, a plant with its control API,
and headless Chromium driven by Selenium. Every port is picked by the system (port 0)."""
import os
import queue
import subprocess
import tempfile
import threading
import time

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service

BUILD = os.environ.get("MIMICBOX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))


class Process:
    """A program whose output lines are read as they come; ended with the test."""

    def __init__(self, args, stdin=subprocess.DEVNULL):
        self.process = subprocess.Popen(args, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True, bufsize=1)
        self.lines = []
        self.fresh = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))
            self.fresh.put(line.rstrip("\n"))

    def wait_for(self, predicate, timeout=5.0):
        """The first line from the start that the predicate takes, waiting up to the timeout."""
        deadline = time.monotonic() + timeout
        seen = 0
        while True:
            while seen < len(self.lines):
                if predicate(self.lines[seen]):
                    return self.lines[seen]
                seen += 1
            if time.monotonic() > deadline:
                raise AssertionError("no such line within %.1f s; the last lines:\n%s" % (timeout, "\n".join(self.lines[-15:])))
            time.sleep(0.02)

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def end(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()


@pytest.fixture
def server():
    process = Process([os.path.join(BUILD, "mimicbox-server"), "--port", "0"], stdin=subprocess.PIPE)
    line = process.wait_for(lambda l: " listening on " in l)
    process.port = int(line.rsplit(":", 1)[1])
    yield process
    process.end()


@pytest.fixture
def plant():
    """Starts mimicbox-cli with its control API on a free port; gives back the process with its `api`."""
    started = []

    def start(*args):
        process = Process([os.path.join(BUILD, "mimicbox-cli"), "--control", "127.0.0.1:0", *args])
        started.append(process)
        line = process.wait_for(lambda l: l.startswith("control: "))
        process.api = line.split(" ", 1)[1]
        return process

    yield start
    for process in started:
        process.end()


# One browser for the tests of a file: starting Chromium takes longer than most tests.
@pytest.fixture(scope="module")
def browser():
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,1000"):
        options.add_argument(argument)
    profile = tempfile.TemporaryDirectory()
    options.add_argument("--user-data-dir=" + profile.name)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(10)
    yield driver
    driver.quit()
    profile.cleanup()


def wait_until(check, timeout=5.0, what="the condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("%s did not hold within %.1f s" % (what, timeout))
        time.sleep(0.05)


def console_errors(driver):
    return [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
