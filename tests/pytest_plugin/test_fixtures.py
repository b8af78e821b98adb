"""The fixtures as a test author meets them: what a test gets, and how each kind of run ends it."""
import os
import signal
import subprocess
import sys
import time

from processes import alive, wait_gone

EXPECT_TOGGLES = """
[[device]]
model = "relay"
serial = 1005
expect = { toggles = { min = 1 } }
"""


def test_the_marker_chooses_the_devices_and_the_client_drives_them(run_suite):
    result = run_suite("""
import pytest

@pytest.mark.mimicbox(devices=["thermo:3", "relay:1002"])
def test_plant(mimicbox_plant, mimicbox_server):
    assert sorted(d["name"] for d in mimicbox_plant.devices()) == ["relay:1002", "thermo:3"]
    mimicbox_plant.switch("relay:1002", "on")
    assert mimicbox_server.next_record("relay:1002", timeout=3).switch == "on"
    events = list(mimicbox_plant.events(timeout=0.5, since=0, reports=False))
    assert {(e["device"], e["event"]) for e in events} >= {("thermo:3", "connected"), ("relay:1002", "connected")}
    assert [e["seq"] for e in events] == sorted(e["seq"] for e in events)
    mimicbox_plant.remove("thermo:3")
    result = mimicbox_plant.stop()
    assert result.exit_status == 0 and result.summary["run"]["devices"] == 2
""")
    result.assert_outcomes(passed=1)


def test_the_factory_starts_plants_against_the_server_it_is_given(run_suite):
    result = run_suite("""
def test_two_plants(mimicbox_plant_factory, mimicbox_server):
    first = mimicbox_plant_factory(devices=["thermo:1"], server=mimicbox_server)
    second = mimicbox_plant_factory(devices=["thermo:2"], server=mimicbox_server.address)
    assert first.url != second.url
    for name in ("thermo:1", "thermo:2"):
        mimicbox_server.next_record(name, timeout=3)
""")
    result.assert_outcomes(passed=1)


def test_events_end_when_their_time_is_up(run_suite):
    result = run_suite("""
import time

def test_events(mimicbox_plant):
    start = time.monotonic()
    sent = [e for e in mimicbox_plant.events(timeout=1.2) if e["event"] == "sent"]
    assert 1.1 < time.monotonic() - start < 2.5
    assert sent, "a Relay-Box reports every 0.5 s"
""")
    result.assert_outcomes(passed=1)


def test_a_failed_expectation_fails_the_test_with_its_reason(run_suite, pytester):
    scenario = pytester.makefile(".toml", scenario=EXPECT_TOGGLES)
    result = run_suite(f"""
import pytest

import time

@pytest.mark.mimicbox(scenario={str(scenario)!r})
def test_no_toggle(mimicbox_plant, mimicbox_server):
    record = mimicbox_server.next_record("relay:1005")
    assert isinstance(record.clock, int) and abs(record.clock - time.time()) < 60

@pytest.mark.mimicbox(scenario={str(scenario)!r})
def test_seen_and_accepted(mimicbox_plant, mimicbox_server):
    result = mimicbox_plant.stop(check=False)
    assert result.exit_status == 3
    assert result.failed_verdicts[0]["expectation"] == "toggles at least 1"

@pytest.mark.mimicbox(scenario={str(scenario)!r})
def test_toggled(mimicbox_plant, mimicbox_server):
    mimicbox_server.next_record("relay:1005")
    assert mimicbox_server.toggle(1005)
    mimicbox_plant.wait_for(lambda: mimicbox_plant.device("relay:1005")["commands_received"], 3)
    assert mimicbox_plant.stop().verdicts[0]["passed"]
""")
    result.assert_outcomes(passed=2, failed=1)
    result.stdout.fnmatch_lines(["*expect relay:1005 toggles at least 1: FAILED (0 received)*"])
    # The reason alone, without the plugin's frames before it.
    assert "mimicbox_pytest" not in result.stdout.str()


def test_a_device_that_cannot_connect_fails_the_test_and_a_dead_server_too(run_suite):
    result = run_suite("""
import os, signal, socket

def test_nothing_listens(mimicbox_plant_factory):
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        mimicbox_plant_factory(server="127.0.0.1:%d" % probe.getsockname()[1])

def test_server_killed(mimicbox_plant, mimicbox_server):
    os.kill(mimicbox_server.process.pid, signal.SIGKILL)
    mimicbox_server.process.wait(5)

def test_failing_after_the_server_was_killed(mimicbox_plant, mimicbox_server):
    os.kill(mimicbox_server.process.pid, signal.SIGKILL)
    mimicbox_server.process.wait(5)
    assert False, "the test's own failure"
""")
    result.assert_outcomes(failed=3)
    result.stdout.fnmatch_lines(["*the test's own failure*", "*Captured mimicbox-server call*",
                                 "mimicbox-server was killed by signal 9*"])
    # Whether the devices tried before the run was stopped, it is a failure of the test.
    result.stdout.fnmatch_lines(["*a device could not connect*"])
    result.stdout.fnmatch_lines(["*the device server ended during the test: mimicbox-server was killed by signal 9*"])


def test_a_missing_program_is_named(run_suite, monkeypatch, tmp_path):
    monkeypatch.delenv("MIMICBOX_CLI", raising=False)
    monkeypatch.delenv("MIMICBOX_SERVER", raising=False)
    result = run_suite("def test_it(mimicbox_server): pass", "--mimicbox-bin", str(tmp_path))
    result.assert_outcomes(errors=1)
    result.stdout.fnmatch_lines(["*mimicbox-server not found: give --mimicbox-bin DIR*"])


PIDS_THEN_WAIT = """
import os, time

def test_waits(mimicbox_plant, mimicbox_server):
    with open(os.environ["PIDS_FILE"], "w") as out:
        out.write(f"{mimicbox_plant.process.pid} {mimicbox_server.process.pid}")
    {then}
"""


def started_pids(path, timeout=20):
    deadline = time.monotonic() + timeout
    while not (path.exists() and path.read_text()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return [int(pid) for pid in path.read_text().split()]


def test_every_process_ends_after_a_failed_test_an_interrupted_one_and_a_killed_session(pytester, tmp_path,
                                                                                         monkeypatch):
    for name, then in (("failed", "assert False"), ("interrupted", "time.sleep(60)"), ("killed", "time.sleep(60)")):
        pids_file = tmp_path / name
        monkeypatch.setenv("PIDS_FILE", str(pids_file))
        pytester.makepyfile(**{f"test_{name}": PIDS_THEN_WAIT.replace("{then}", then)})
        session = subprocess.Popen([sys.executable, "-m", "pytest", "-p", "mimicbox_pytest", "-p", "no:cacheprovider",
                                    f"test_{name}.py"], cwd=pytester.path, stdout=subprocess.PIPE, text=True)
        pids = started_pids(pids_file)
        if name != "failed":
            assert all(alive(pid) for pid in pids)
            session.send_signal(signal.SIGINT if name == "interrupted" else signal.SIGKILL)
        output = session.communicate(timeout=30)[0]
        assert session.returncode in (1, 2, -signal.SIGKILL), output
        assert wait_gone(pids) == [], output
