"""What a device server developer asserts: the server sees what the plant is told to do.

Each test changes a device through the control API and checks what the server printed. Replace the
`server` fixture with your own server, and these checks with what your server exposes.
"""
import urllib.request

from prometheus_client.parser import text_string_to_metric_families


def test_a_temperature_set_through_the_api_arrives_in_the_next_report(server, plant):
    status, device = plant.call("PUT", "/devices/thermo:1/temperature", {"value": 42.5})
    assert status == 200
    assert device["temperature"] == 42.5
    seen = len(server.output.lines)
    # A Thermo-Box reports every 1.5 s: the next report carries the value.
    line = server.output.wait_for("Thermo-Box 1 ", timeout=3, after=seen)
    assert "42.500000" in line


def test_a_toggle_sent_by_the_server_shows_in_the_device(server, plant):
    assert plant.device("relay:1005")["switch"] == "off"
    server.command("t 1005")
    server.output.wait_for("toggle sent to 1005")
    seen = len(server.output.lines)
    server.output.wait_for("switch on", timeout=3, after=seen)
    device = plant.device("relay:1005")
    assert device["switch"] == "on"
    assert device["commands_received"] >= 1


def test_a_disconnect_is_seen_by_the_server(server, plant):
    seen = len(server.output.lines)
    status, device = plant.call("POST", "/devices/relay:1005/disconnect")
    assert status == 200
    assert device["connected"] is False
    server.output.wait_for("closed the connection", timeout=1, after=seen)


def test_bad_requests_get_an_error_and_change_nothing(plant):
    status, body = plant.call("PUT", "/devices/relay:1005/temperature", {"value": 20})
    assert status == 400
    assert "Relay-Box" in body["error"]
    status, body = plant.call("GET", "/devices/thermo:99")
    assert status == 404


def test_metrics_parse_as_prometheus_text(plant):
    with urllib.request.urlopen(plant.api + "/metrics", timeout=5) as response:
        text = response.read().decode()
    families = {family.name: family for family in text_string_to_metric_families(text)}
    assert families["mimicbox_connected_devices"].samples[0].value == 2
    assert families["mimicbox_report_lateness_seconds"].type == "histogram"
    sent = {sample.labels["model"]: sample.value for sample in families["mimicbox_reports_sent"].samples
            if sample.name == "mimicbox_reports_sent_total"}
    assert sent["relay"] >= 1


def test_devices_added_and_removed_live_come_and_go_on_the_server(server, plant):
    seen = len(server.output.lines)
    status, added = plant.call("POST", "/devices", {"model": "thermo", "serials": "7-8", "temperature": 21.5})
    assert status == 201
    assert [device["name"] for device in added] == ["thermo:7", "thermo:8"]
    line = server.output.wait_for("Thermo-Box 8 ", timeout=3, after=seen)
    assert "21.500000" in line
    seen = len(server.output.lines)
    status, body = plant.call("DELETE", "/devices/thermo:7")
    assert status == 200
    server.output.wait_for("closed the connection", timeout=1, after=seen)
    status, body = plant.call("GET", "/devices/thermo:7")
    assert status == 404
