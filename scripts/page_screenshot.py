"""Saves a screenshot of a page in headless Chromium once it has rendered, optionally with one
device's panel open. Usage: page_screenshot.py URL FILE.png [DEVICE]"""
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

url, path = sys.argv[1], sys.argv[2]
options = Options()
options.binary_location = "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1500", "--hide-scrollbars"):
    options.add_argument(argument)
profile = tempfile.TemporaryDirectory()
options.add_argument("--user-data-dir=" + profile.name)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    driver.get(url)
    for _ in range(200):
        if driver.execute_script("return window.mimicRendered !== undefined"):
            break
        time.sleep(0.05)
    if len(sys.argv) > 3:
        driver.find_element(By.CSS_SELECTOR, '#device-table .row[data-name="%s"]' % sys.argv[3]).click()
        time.sleep(1.5)
    driver.save_screenshot(path)
finally:
    driver.quit()
    profile.cleanup()
