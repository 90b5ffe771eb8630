"""Headless Chromium with the configurator page, for the browser tests, the budget and the
README's screenshot: Debian's chromium driven by Selenium through chromedriver, with a fresh
profile, no network of its own and downloads into a folder of the caller's."""

import json
import os
import shutil
import sys
import tempfile
import time

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
PACKAGES = "chromium chromium-driver python3-selenium"

# The switches every run starts Chromium with: headless, no sandbox (CI runs as root), and
# none of the browser's own traffic (updates, sync, field trials).
SWITCHES = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
]


def missing():
    """What is missing to run the browser, as Debian packages; empty when nothing is."""
    gone = [path for path in (CHROMIUM, CHROMEDRIVER) if not os.access(path, os.X_OK)]
    try:
        import selenium  # noqa: F401  (only whether it is there)
    except ImportError:
        gone.append("selenium")
    return gone


class Browser:
    """One Chromium with one tab; closed with the `with` block."""

    def __init__(self, downloads=None, width=1280, height=1000):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        gone = missing()
        if gone:
            sys.exit(
                f"missing: {', '.join(gone)} (Debian: apt-get install {PACKAGES}); "
                "the browser tests never skip"
            )
        self.profile = tempfile.mkdtemp(prefix="kr570-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for switch in SWITCHES + [
            f"--user-data-dir={self.profile}",
            f"--window-size={width},{height}",
        ]:
            options.add_argument(switch)
        options.set_capability(
            "goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"}
        )
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.set_script_timeout(30)
        if downloads is not None:
            self.driver.execute_cdp_cmd(
                "Browser.setDownloadBehavior",
                {"behavior": "allow", "downloadPath": downloads},
            )

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def load(self, url, timeout=20):
        """Opens the page and waits until it is ready for the user."""
        self.requests()  # the browser's own start, before the page
        self.driver.get(url)
        self.wait_for(
            lambda: self.driver.execute_script(
                "return document.documentElement.dataset.ready === 'true'"
            ),
            timeout,
            "the page never became ready",
        )

    def wait_for(self, condition, timeout=20, what="a condition"):
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out waiting for {what}")
            time.sleep(0.02)

    def requests(self):
        """Every address the page asked for since the last call, from Chromium's own log."""
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls

    def console_errors(self):
        return [
            entry["message"]
            for entry in self.driver.get_log("browser")
            if entry["level"] == "SEVERE"
        ]
