"""The HTML report, opened from file:// with the network off."""
import os
import subprocess
import tempfile

from selenium.webdriver.common.by import By

from conftest import BUILD, console_errors, wait_until

CLI = os.path.join(BUILD, "mimicbox-cli")

# Two expectations: the toggles one cannot hold, as nothing toggles.
SCENARIO = """
duration = 3
[[device]]
model = "relay"
serials = "1-3"
[device.expect]
toggles = { min = 1 }
[[device]]
model = "thermo"
serials = "1-2"
[[fault]]
kind = "garbage"
bytes = 3
every = 2
"""


def blank(browser, canvas_id):
    return browser.execute_script("""
        const canvas = document.getElementById(arguments[0]);
        const empty = document.createElement('canvas');
        empty.width = canvas.width; empty.height = canvas.height;
        return canvas.toDataURL() === empty.toDataURL();""", canvas_id)


def open_offline(browser, path):
    browser.set_network_conditions(offline=True, latency=0, download_throughput=0, upload_throughput=0)
    browser.get("file://" + path)
    wait_until(lambda: browser.execute_script("return window.mimicRendered !== undefined"), what="the report drawn")


def test_a_report_opens_offline_with_its_charts_and_failures_first(server, browser):
    with tempfile.TemporaryDirectory() as work:
        scenario = os.path.join(work, "plant.toml")
        with open(scenario, "w") as file:
            file.write(SCENARIO)
        report = os.path.join(work, "run.html")
        run = subprocess.run([CLI, "--scenario", scenario, "--port", str(server.port), "--quiet", "--report", report],
                             capture_output=True, text=True, timeout=30)
        assert run.returncode == 3, run.stdout + run.stderr
        open_offline(browser, report)
        assert console_errors(browser) == []
        for chart in ("records", "connected", "faults"):
            assert not blank(browser, "chart-" + chart), chart
        first = browser.find_elements(By.CSS_SELECTOR, "#verdicts tr")[1].text
        assert "FAILED" in first and "toggles" in first
        assert "garbage" in browser.find_element(By.ID, "faults").text
        assert len(browser.find_elements(By.CSS_SELECTOR, "#device-table .row")) == 5


def test_two_shards_make_one_report(server, browser):
    with tempfile.TemporaryDirectory() as work:
        logs = []
        runs = []
        for shard in ("0/2", "1/2"):
            log = os.path.join(work, "shard%s.jsonl" % shard[0])
            logs.append(log)
            runs.append(subprocess.Popen([CLI, "--device", "thermo:1-6", "--shard", shard, "--port", str(server.port),
                                          "--duration", "2", "--quiet", "--log-json", log]))
        for run in runs:
            assert run.wait(30) == 0
        report = os.path.join(work, "plant.html")
        made = subprocess.run([CLI, "report", *logs, "-o", report], capture_output=True, text=True, timeout=30)
        assert made.returncode == 0, made.stderr
        open_offline(browser, report)
        devices = browser.execute_script("return window.mimicDevices")
        assert sorted(d["name"] for d in devices) == sorted("thermo:%d" % n for n in range(1, 7))
        # Every column of the table is filled: the profile as the run left it, the last report's age.
        assert all(d["profile"] == "steps" and d["last_report_age"] < 2 for d in devices)
        assert len(browser.find_elements(By.CSS_SELECTOR, "#device-table .row")) == 6
        assert not blank(browser, "chart-records")
