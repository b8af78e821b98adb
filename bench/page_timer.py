"""Opens a page in headless Chromium and prints the milliseconds from the start of its load to its
first full render (the page sets window.mimicRendered), then keeps it open for HOLD seconds.
Usage: page_timer.py URL [HOLD]"""
import signal
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service

url = sys.argv[1]
hold = float(sys.argv[2]) if len(sys.argv) > 2 else 0
options = Options()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1000"):
    options.add_argument(argument)
profile = tempfile.TemporaryDirectory()
options.add_argument("--user-data-dir=" + profile.name)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
# Ended by the benchmark: the browser goes too, rather than live on and load the machine.
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
try:
    driver.get(url)
    deadline = time.monotonic() + 30
    rendered = None
    while rendered is None and time.monotonic() < deadline:
        rendered = driver.execute_script("return window.mimicRendered === undefined ? null : window.mimicRendered")
        time.sleep(0.02)
    print("first render: %s ms" % ("none within 30 s" if rendered is None else "%.0f" % rendered), flush=True)
    time.sleep(hold)
finally:
    driver.quit()
    profile.cleanup()
