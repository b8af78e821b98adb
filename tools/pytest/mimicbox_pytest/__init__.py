"""pytest fixtures for testing a device server against a Mimicbox plant.

`mimicbox_plant` starts mimicbox-cli with its live control API on a free port and gives a client for
it; `mimicbox_server` starts mimicbox-server on a free port. Loaded by pytest when installed (or with
`-p mimicbox_pytest`); see pytest.md in Mimicbox's documentation.
"""
from .api import ApiError
from .plant import Plant
from .run import RunResult
from .server import Close, DeviceServer, Record
from .waiting import wait_for
from .plugin import (mimicbox_plant, mimicbox_plant_factory, mimicbox_server, pytest_addoption,
                     pytest_configure, pytest_runtest_call)

__all__ = ["ApiError", "Plant", "RunResult", "DeviceServer", "Record", "Close", "wait_for", "mimicbox_plant",
           "mimicbox_plant_factory", "mimicbox_server", "pytest_addoption", "pytest_configure",
           "pytest_runtest_call"]
