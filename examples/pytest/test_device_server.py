"""What a device server developer asserts: the server sees what the plant is told to do.

`mimicbox_server` stands in for your server: run with `--mimicbox-server HOST:PORT` to test yours,
and replace the checks on `mimicbox_server` with what your server exposes.
"""
import pytest
from mimicbox_pytest import ApiError


def test_a_temperature_set_through_the_api_arrives_in_the_next_report(mimicbox_plant, mimicbox_server):
    assert mimicbox_plant.set_temperature("thermo:1", 42.5)["temperature"] == 42.5
    assert mimicbox_server.next_record("thermo:1", timeout=3).temperature == 42.5


def test_a_toggle_sent_by_the_server_shows_in_the_device(mimicbox_plant, mimicbox_server):
    mimicbox_server.next_record("relay:1001")
    assert mimicbox_server.toggle(1001)
    assert mimicbox_server.next_record("relay:1001", timeout=3).switch == "on"
    assert mimicbox_plant.device("relay:1001")["commands_received"] == 1


@pytest.mark.mimicbox(devices=["relay:1005"])
def test_a_disconnect_is_seen_by_the_server(mimicbox_plant, mimicbox_server):
    mimicbox_server.next_record("relay:1005")
    assert mimicbox_plant.disconnect("relay:1005")["connected"] is False
    assert mimicbox_server.wait_for_close("relay:1005", timeout=1).reason == "closed the connection"


def test_devices_added_and_removed_live_come_and_go_on_the_server(mimicbox_plant, mimicbox_server):
    assert [device["name"] for device in mimicbox_plant.add("thermo", "7-8", temperature=21.5)] == ["thermo:7", "thermo:8"]
    assert mimicbox_server.next_record("thermo:8", timeout=3).temperature == 21.5
    mimicbox_plant.remove("thermo:7")
    mimicbox_server.wait_for_close("thermo:7", timeout=1)


def test_metrics_count_the_reports(mimicbox_plant, mimicbox_server):
    mimicbox_server.next_record("relay:1001")
    families = mimicbox_plant.metrics()
    assert families["mimicbox_connected_devices"].samples[0].value == 2
    assert any(sample.value >= 1 for sample in families["mimicbox_reports_sent"].samples)


def test_a_request_the_device_cannot_take_is_refused(mimicbox_plant):
    with pytest.raises(ApiError, match="400 .*Relay-Box"):
        mimicbox_plant.set_temperature("relay:1001", 20)
