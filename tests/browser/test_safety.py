"""What keeps other web pages from driving the plant."""
import http.client
import os
import tempfile
import urllib.parse

from selenium.webdriver.common.by import By

from conftest import BUILD, Process, wait_until


def ask(api, method, path, headers=None, body=None):
    address = urllib.parse.urlparse(api)
    connection = http.client.HTTPConnection(address.hostname, address.port, timeout=5)
    connection.request(method, path, body=body, headers=headers or {})
    response = connection.getresponse()
    return response.status, response.read().decode()


def test_a_foreign_host_and_a_change_without_json_are_refused(server, plant):
    run = plant("--port", str(server.port), "--device", "relay:1", "--quiet")
    assert ask(run.api, "GET", "/devices", {"Host": "attacker.example:80"})[0] == 403
    assert ask(run.api, "GET", "/devices", {"Host": "localhost"})[0] == 200
    status, body = ask(run.api, "POST", "/devices/relay:1001/disconnect", {"Content-Type": "text/plain"}, "{}")
    assert status == 415, body
    status, _ = ask(run.api, "POST", "/devices/relay:1001/disconnect", {"Content-Type": "application/json"}, "{}")
    assert status == 200


def test_off_loopback_the_token_guards_and_the_page_takes_it_once(server, browser):
    process = Process([os.path.join(BUILD, "mimicbox-cli"), "--control", "0.0.0.0:0", "--control-token", "s3cret",
                       "--port", str(server.port), "--device", "relay:3", "--quiet"])
    try:
        port = process.wait_for(lambda l: l.startswith("control: ")).rsplit(":", 1)[1]
        api = "http://127.0.0.1:" + port
        assert ask(api, "GET", "/devices")[0] == 401
        assert ask(api, "GET", "/devices", {"Authorization": "Bearer s3cret"})[0] == 200
        browser.get(api + "/?token=s3cret")
        wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, "#device-table .row"), what="the devices")
        # The token has left the address bar.
        assert browser.current_url == api + "/"
        # The cookie carries the token from here on.
        browser.get(api + "/")
        wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, "#device-table .row"), what="the devices without ?token")
        wait_until(lambda: "1 of 1" in browser.find_element(By.ID, "glance").text, what="the glance")
    finally:
        process.end()


def test_another_sites_page_cannot_frame_the_dashboard_which_runs_under_its_policy(server, plant, browser):
    run = plant("--port", str(server.port), "--device", "relay:5", "--quiet")
    # The page itself works whole under its own policy: no inline style or script is refused.
    browser.get("about:blank")
    browser.get_log("browser")
    browser.get(run.api + "/")
    wait_until(lambda: browser.find_elements(By.CSS_SELECTOR, "#device-table .row"), what="the devices")
    wait_until(lambda: "1 of 1" in browser.find_element(By.ID, "glance").text, what="the glance")
    assert [entry for entry in browser.get_log("browser") if "Content Security Policy" in entry["message"]] == []

    # A page of another origin (another port) frames the dashboard: the browser refuses to show it.
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "frame.html"), "w") as page:
            page.write(f'<iframe id="f" src="{run.api}/" width="800" height="600"></iframe>')
        site = Process(["/usr/bin/python3", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", work])
        try:
            port = site.wait_for(lambda l: "Serving HTTP" in l).split("port ")[1].split(" ")[0]
            browser.get(f"http://127.0.0.1:{port}/frame.html")
            refused = wait_until(lambda: [e for e in browser.get_log("browser") if "frame-ancestors" in e["message"]
                                          or "X-Frame-Options" in e["message"]], what="the refusal to frame")
            assert refused
        finally:
            site.end()
