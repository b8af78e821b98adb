"""The fixtures, the marker and the check after each test that the programs did not fail it."""
import os
import shutil

import pytest

from .plant import Plant
from .server import DeviceServer

DEFAULT_DEVICES = ("thermo:1", "relay:1001")
_STARTED = "mimicbox_started"  # the item's attribute listing what its fixtures started


def pytest_addoption(parser):
    group = parser.getgroup("mimicbox")
    group.addoption("--mimicbox-bin", metavar="DIR",
                    help="the folder of mimicbox-cli and mimicbox-server (default: MIMICBOX_CLI and "
                         "MIMICBOX_SERVER, else the PATH)")
    group.addoption("--mimicbox-server", metavar="HOST:PORT",
                    help="the device server under test; without it, plants connect to a mimicbox-server "
                         "started for the test")


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "mimicbox(devices=[...], scenario=PATH, args=[...], server=HOST:PORT): the plant that "
                   "the mimicbox_plant fixture starts")


def _program(config, name):
    folder = config.getoption("mimicbox_bin")
    found = (os.path.join(folder, name) if folder else None) or \
        os.environ.get(name.upper().replace("-", "_")) or shutil.which(name)
    if not found or not os.access(found, os.X_OK):
        pytest.fail(f"{name} not found: give --mimicbox-bin DIR, set {name.upper().replace('-', '_')}, "
                    "or install Mimicbox", pytrace=False)
    return found


def _started(request):
    started = getattr(request.node, _STARTED, None)
    if started is None:
        started = []
        setattr(request.node, _STARTED, started)
    return started


@pytest.fixture
def mimicbox_server(request):
    """mimicbox-server on a free port of 127.0.0.1: .address, .records(device), .closes(device),
    .toggle(serial)."""
    server = DeviceServer(_program(request.config, "mimicbox-server"))
    _started(request).append(server)
    yield server
    server.stop()


@pytest.fixture
def mimicbox_plant_factory(request, tmp_path):
    """start(devices=..., scenario=..., args=..., server=...) starts a plant and gives its client;
    as many as the test needs, all stopped after it."""
    plants = []

    def start(devices=None, scenario=None, args=(), server=None, token=None):
        address = server or request.config.getoption("mimicbox_server")
        if address is None:
            address = request.getfixturevalue("mimicbox_server").address
        elif isinstance(address, DeviceServer):
            address = address.address
        if devices is None and scenario is None:
            devices = DEFAULT_DEVICES
        plant = Plant(_program(request.config, "mimicbox-cli"), address, devices or (), scenario, args,
                      tmp_path, token)
        plants.append(plant)
        _started(request).append(plant)
        return plant

    yield start
    for plant in plants:
        plant.end()


@pytest.fixture
def mimicbox_plant(request, mimicbox_plant_factory):
    """A plant started as the test's `mimicbox` marker says (by default thermo:1 and relay:1001,
    against mimicbox_server or --mimicbox-server)."""
    marker = request.node.get_closest_marker("mimicbox")
    return mimicbox_plant_factory(**(marker.kwargs if marker else {}))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_call(item):
    """After a test that passed: a program that died, or a plant whose run failed, fails it."""
    outcome = yield
    started = getattr(item, _STARTED, [])
    if outcome.excinfo is not None:
        # The test failed on its own; a program that ended meanwhile may be why.
        for thing in started:
            if thing.process.exit_status() is not None and not thing.process.expected_end:
                item.add_report_section("call", thing.process.name, thing.process.describe_end())
        return
    # The reason alone: the plugin's own frames would say nothing of the test.
    for thing in started:
        if isinstance(thing, DeviceServer) and thing.process.exit_status() is not None:
            pytest.fail(f"the device server ended during the test: {thing.process.describe_end()}", pytrace=False)
    for thing in started:
        if isinstance(thing, Plant) and (failure := _plant_failure(thing)):
            pytest.fail(failure, pytrace=False)


def _plant_failure(plant):
    if plant.result is not None:
        return None  # the test stopped it and saw the result
    result = plant.ended_on_its_own() or plant.stop(check=False)
    return result.failure()
