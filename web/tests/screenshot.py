#!/usr/bin/env python3
"""The README's picture of the page: examples/x-axis-halfstep.hex opened in headless Chromium,
compared with the factory defaults, the whole page as a PNG.

    screenshot.py --page build/web/web/index.html --source . --output doc/web-page.png
"""

import argparse
import base64
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--page", required=True, help="the page's index.html")
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("--output", required=True, help="the PNG to write")
    options = parser.parse_args()
    with Browser(width=1100, height=900) as browser:
        driver = browser.driver
        browser.load("file://" + os.path.abspath(options.page))
        status = driver.find_element("id", "file-status")
        example = os.path.join(os.path.abspath(options.source), "examples/x-axis-halfstep.hex")
        driver.find_element("id", "open-file").send_keys(example)
        browser.wait_for(lambda: "x-axis-halfstep.hex" in status.text, what="the example")
        verdict = driver.find_element("id", "compare-verdict")
        defaults = os.path.join(os.path.abspath(options.source), "examples/default.txt")
        driver.find_element("id", "compare-file").send_keys(defaults)
        browser.wait_for(lambda: verdict.text, what="the comparison")
        height = driver.execute_script("return document.documentElement.scrollHeight")
        driver.execute_cdp_cmd(
            "Emulation.setDeviceMetricsOverride",
            {"width": 1100, "height": height, "deviceScaleFactor": 1, "mobile": False},
        )
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {"format": "png"})
    with open(options.output, "wb") as file:
        file.write(base64.b64decode(shot["data"]))


if __name__ == "__main__":
    main()
