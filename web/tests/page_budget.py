#!/usr/bin/env python3
"""The page's budgets, measured: its files' size (at most 500 KB with the module) and the time
from navigation until the page is interactive in headless Chromium (at most 300 ms), the
median of loads from the file, each in a new tab, on the CPU named. Exits 1 when over a budget.

    page_budget.py --page build/web/page/index.html [--loads 21]
"""

import argparse
import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402

SIZE_BUDGET = 500_000  # bytes
TIME_BUDGET = 300.0  # milliseconds


def cpu():
    with open("/proc/cpuinfo", encoding="utf-8") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--page", required=True, help="the page's index.html")
    parser.add_argument("--loads", type=int, default=21, help="fresh loads to time")
    options = parser.parse_args()
    folder = os.path.dirname(os.path.abspath(options.page))
    sizes = {name: os.path.getsize(os.path.join(folder, name)) for name in sorted(os.listdir(folder))}
    size = sum(sizes.values())
    times = []
    with Browser() as browser:
        driver = browser.driver
        url = "file://" + os.path.abspath(options.page)
        for _ in range(options.loads + 1):
            # Each load in a tab of its own, as when a user opens the file in a running browser.
            driver.switch_to.new_window("tab")
            browser.load(url)
            # From the start of the navigation (the page's time origin) until the form is
            # filled and every control answers.
            times.append(
                driver.execute_script(
                    "return performance.getEntriesByName('kr570-interactive')[0].startTime"
                )
            )
            driver.close()
            driver.switch_to.window(driver.window_handles[0])
    first, times = times[0], times[1:]  # the first load also starts the browser's own parts
    median = statistics.median(times)
    print(f"CPU: {cpu()}, {os.cpu_count()} cores")
    print(f"page: {size} bytes in {len(sizes)} files ({', '.join(f'{n} {s}' for n, s in sizes.items())}); budget {SIZE_BUDGET}")
    print(
        f"interactive after navigation: median {median:.1f} ms, fastest {min(times):.1f} ms, "
        f"slowest {max(times):.1f} ms over {len(times)} loads after a first one of "
        f"{first:.1f} ms; budget {TIME_BUDGET:.0f} ms"
    )
    return 0 if size <= SIZE_BUDGET and median <= TIME_BUDGET else 1


if __name__ == "__main__":
    sys.exit(main())
