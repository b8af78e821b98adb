"""The dashboard of a plant against mimicbox-server, in headless Chromium."""
import time

from selenium.webdriver.common.by import By

from conftest import console_errors, wait_until


def open_dashboard(browser, api):
    # Away from the page of the test before, whose polls fail once its plant has ended, and without
    # what it logged.
    browser.get("about:blank")
    browser.get_log("browser")
    browser.get(api + "/")
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, "#device-table .row"), what="the device rows")


# The table redraws its rows as the run goes on, so a row is read and clicked in one script, never
# held across a redraw.
ROW = 'document.querySelector(\'#device-table .row[data-name="%s"]\')'


def row_text(browser, name):
    return browser.execute_script("const row = %s; return row ? row.innerText : ''" % (ROW % name))


def click_row(browser, name):
    browser.execute_script("%s.click()" % (ROW % name))


def points(browser, chart):
    return browser.execute_script("return Chart.getChart('chart-%s').data.datasets[0].data.length" % chart)


def test_the_page_shows_every_device_and_drives_them(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "thermo:1-3", "--device", "relay:1005", "--quiet")
    open_dashboard(browser, run.api)
    wait_until(lambda: len(browser.find_elements(By.CSS_SELECTOR, "#device-table .row")) == 4, what="four rows")
    assert console_errors(browser) == []

    # A temperature set on the page is in the device's next report at the server.
    click_row(browser, "thermo:2")
    field = wait_until(lambda: browser.find_elements(By.ID, "c-temp"), what="the device panel")[0]
    field.send_keys("42.5")
    browser.find_element(By.CSS_SELECTOR, '[data-do="temperature"]').click()
    wait_until(lambda: "temperature: done" in browser.find_element(By.ID, "c-result").text, what="the answer")
    asked = len(server.lines)
    line = server.wait_for(lambda l: server.lines.index(l) >= asked and "Thermo-Box 2 " in l, timeout=2.0)
    assert "42.500000" in line

    # A toggle the server sends shows on the page within a second.
    assert "off" in row_text(browser, "relay:1005").split()
    server.send("t 1005")
    wait_until(lambda: "on" in row_text(browser, "relay:1005").split(), timeout=1.0, what="the switch on the page")

    # A disconnect from the page closes the connection at the server.
    click_row(browser, "relay:1005")
    button = wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '[data-do="disconnect"]'), what="the panel")[0]
    button.click()
    server.wait_for(lambda l: "relay:1005 closed the connection" in l, timeout=2.0)
    assert console_errors(browser) == []


def test_the_charts_keep_the_run_across_a_reload(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "relay:1-4", "--quiet")
    open_dashboard(browser, run.api)
    wait_until(lambda: points(browser, "records") >= 3, timeout=6.0, what="three seconds of points")
    before = points(browser, "records")
    browser.refresh()
    wait_until(lambda: browser.execute_script("return !!Chart.getChart('chart-records')"), what="the charts")
    wait_until(lambda: points(browser, "records") >= before, what="the points from before the reload")
    sent = browser.execute_script("return Chart.getChart('chart-records').data.datasets[0].data.map(p => p.y)")
    assert max(sent) >= 6  # four Relay-Boxes, two reports a second each, from before the reload on


def test_the_records_show_their_nul(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "relay:7", "--quiet")
    open_dashboard(browser, run.api)
    click_row(browser, "relay:1007")
    # The panel's records appear once its first answer has come; until then there is no such element.
    records = wait_until(lambda: "".join(e.text for e in browser.find_elements(By.ID, "p-records")), timeout=5.0,
                         what="the records")
    assert "TolvarkControl: 8, 1007" in records and records.rstrip().endswith("\\0")


def test_the_panel_puts_the_newest_first_and_its_faults_among_its_events(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "relay:7", "--device", "thermo:8", "--quiet")
    open_dashboard(browser, run.api)
    click_row(browser, "relay:1007")
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, '[data-do="fault"]'), what="the panel")
    browser.execute_script("document.getElementById('c-fault').value = '{\"kind\": \"garbage\", \"bytes\": 3}'")
    browser.find_element(By.CSS_SELECTOR, '[data-do="fault"]').click()
    events = wait_until(lambda: "[garbage]" in browser.find_element(By.ID, "p-events").text and
                        browser.find_element(By.ID, "p-events").text, what="the injected fault among the events")
    # Its unprintable bytes as \xNN, as on the terminal, never as a replacement character.
    line = next(line for line in events.splitlines() if "[garbage]" in line)
    assert "\\x" in line and "\ufffd" not in line
    times = wait_until(lambda: [float(e.text.split()[0]) for e in browser.find_elements(By.CSS_SELECTOR, "#p-records div")][:3]
                       if len(browser.find_elements(By.CSS_SELECTOR, "#p-records div")) >= 3 else None,
                       timeout=5.0, what="three records")
    assert times == sorted(times, reverse=True)
    # The state filter knows every state, and the header shows each title whole.
    states = [o.text for o in browser.find_elements(By.CSS_SELECTOR, "#filter-state option")]
    assert "stopped" in states
    cut = browser.execute_script(
        "return [...document.querySelectorAll('#device-table .head span')].filter((s) => s.scrollWidth > s.clientWidth)"
        ".map((s) => s.textContent)")
    assert cut == []
    # No fault has fired in the plant's own series yet: the empty chart's axis names no second twice.
    labels = browser.execute_script("return Chart.getChart('chart-faults').scales.x.ticks.map((t) => t.label)")
    named = [label for label in labels if label]
    assert len(named) == len(set(named)), labels


# Counts how often the page redraws its event log (each redraw scrolls it), from before its scripts run.
COUNT_LOG_DRAWS = """
window.logDraws = 0;
const scroll = Object.getOwnPropertyDescriptor(Element.prototype, 'scrollTop');
Object.defineProperty(Element.prototype, 'scrollTop', {
  configurable: true, get: scroll.get,
  set(value) { if (this.id === 'log') window.logDraws++; scroll.set.call(this, value); } });
"""


def test_a_burst_of_events_is_drawn_once_a_frame(server, plant, browser):
    # The event stream replays every connect at once when the page opens; drawing the log after
    # each one froze the page of a plant of 10,000 devices for tens of seconds.
    run = plant("--port", str(server.port), "--device", "relay:1001-3000", "--quiet")
    run.wait_for(lambda l: l.startswith("dashboard: "))
    script = browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": COUNT_LOG_DRAWS})
    try:
        # Away from the page of the test before, whose polls fail once its plant has ended, and
        # without what it logged.
        browser.get("about:blank")
        browser.get_log("browser")
        browser.get(run.api + "/")
        kept = "return parseInt(document.getElementById('log-count').textContent) || 0"
        wait_until(lambda: browser.execute_script(kept) >= 2000, timeout=10, what="every connect in the event log")
        assert browser.execute_script("return window.logDraws") < 200
        assert console_errors(browser) == []
    finally:
        browser.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", {"identifier": script["identifier"]})


def test_a_large_plants_rows_in_view_stay_live_between_whole_lists(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "thermo:1-2500", "--quiet")
    open_dashboard(browser, run.api)
    reports = lambda: int(browser.execute_script(
        "const row = %s; return row ? row.children[4].textContent : '0'" % (ROW % "thermo:1")) or 0)
    wait_until(lambda: reports() > 0, what="a report of thermo:1")
    before = reports()
    # Its next reports show by name within a few seconds, long before the whole list comes again.
    wait_until(lambda: reports() > before + 1, timeout=6.0, what="thermo:1's later reports")
    asked = browser.execute_script(
        "return performance.getEntriesByType('resource').map((e) => new URL(e.name).pathname + new URL(e.name).search)")
    assert sum(1 for path in asked if path == "/devices") == 1
    assert any(path.startswith("/devices?names=") for path in asked)
    assert console_errors(browser) == []
