#!/usr/bin/env python3
"""The configurator page in headless Chromium, against the real kr570convert on the same files:
each test is one whole task of a user, and every value, message and saved byte is checked
against what the command line says and writes for the same input and settings.

    browser_test.py --page build/web/web/index.html --tool build/web/native/kr570convert \\
                    --source . [TEST ...]
"""

import argparse
import base64
import functools
import glob
import http.server
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402

OPTIONS = None  # the command line's --page, --tool and --source


def run_tool(*arguments, cwd):
    """The real kr570convert: its exit status, standard output and standard error."""
    run = subprocess.run(
        [OPTIONS.tool, *arguments], cwd=cwd, capture_output=True, timeout=20, check=False
    )
    return run.returncode, run.stdout.decode(), run.stderr.decode()


def report_values(report):
    """The settings of a report: keyword -> the value as the report writes it."""
    values = {}
    for line in report.splitlines():
        words = line.split()
        if words and not words[0].startswith(";"):
            values[words[0]] = words[1]
    return values


def without_time(report):
    """A report without its "; File created:" line, the one line two runs never share."""
    return b"".join(
        line
        for line in report.splitlines(keepends=True)
        if not line.startswith(b"; File created: ")
    )


def single(text):
    """A decimal as the block stores it: the nearest single-precision value."""
    return struct.unpack("<f", struct.pack("<f", float(text)))[0]


class PageTest(unittest.TestCase):
    """One browser per test, the page opened from its file, downloads into a folder."""

    url = None  # the page's address; a test may serve it instead

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kr570-web-")
        self.downloads = os.path.join(self.work, "downloads")
        os.mkdir(self.downloads)
        self.browser = Browser(downloads=self.downloads)
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.addCleanup(self.browser.__exit__)
        self.driver = self.browser.driver
        self.page = self.url or "file://" + os.path.abspath(OPTIONS.page)
        self.browser.load(self.page)

    def tearDown(self):
        # Nothing leaves the machine: the page asks only for its own files and the module's
        # WebAssembly, which it carries inside as a data: address.
        base = self.page.rsplit("/", 1)[0] + "/"
        for url in self.browser.requests():
            self.assertTrue(
                url.startswith((base, "data:", "blob:")), f"the page asked for {url}"
            )
        self.assertEqual([], self.browser.console_errors())

    # --- What a user does ------------------------------------------------------------------

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def status(self):
        return self.js("return document.getElementById('file-status').textContent")

    def open_file(self, path, element="open-file"):
        """Chooses a file in a picker, and waits until the page has read it."""
        before = self.status() if element == "open-file" else self.verdict()
        self.driver.find_element("id", element).send_keys(os.path.abspath(path))
        changed = self.status if element == "open-file" else self.verdict
        self.browser.wait_for(lambda: changed() != before, what=f"{path} to be read")

    def drop_file(self, path):
        """Drops a file on the page, as from a file manager."""
        with open(path, "rb") as file:
            content = base64.b64encode(file.read()).decode()
        before = self.status()
        self.js(
            """
            const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
            const transfer = new DataTransfer();
            transfer.items.add(new File([bytes], arguments[1]));
            document.querySelector('main').dispatchEvent(
                new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
            """,
            content,
            os.path.basename(path),
        )
        self.browser.wait_for(lambda: self.status() != before, what=f"{path} to be dropped")

    def form_values(self):
        """Each setting as the form shows it: the text of a field, the word of a choice, and
        the state of a switch (checked, unchecked or neither)."""
        return self.js(
            """
            const values = {};
            for (const control of document.querySelectorAll('#settings [id^="f-"]')) {
              const keyword = control.id.slice(2);
              values[keyword] = control.type === 'checkbox'
                ? (control.indeterminate ? 'neither' : control.checked ? 'checked' : 'unchecked')
                : control.value;
            }
            return values;
            """
        )

    def type_into(self, keyword, text):
        field = self.driver.find_element("id", f"f-{keyword}")
        field.clear()
        field.send_keys(text)

    def notes(self, keyword):
        return self.js(
            "return [...document.querySelectorAll(arguments[0])].map((li) => li.textContent)",
            f"#note-{keyword} li",
        )

    def save(self, word):
        """Clicks a save button; the bytes of the file it downloads, and the file's name."""
        before = set(os.listdir(self.downloads))
        self.driver.find_element("id", f"save-{word}").click()

        def downloaded():
            new = set(os.listdir(self.downloads)) - before
            done = [name for name in new if not name.endswith(".crdownload")]
            return done[0] if done and len(new) == len(done) else None

        name = self.browser.wait_for(downloaded, what=f"the {word} download")
        with open(os.path.join(self.downloads, name), "rb") as file:
            return file.read(), name

    def verdict(self):
        return self.js("return document.getElementById('compare-verdict').textContent")

    # --- What the command line says --------------------------------------------------------

    def assert_form_shows_report(self, report):
        """The 24 values of the form are the report's, each as the report writes it."""
        expected = report_values(report)
        shown = self.form_values()
        self.assertEqual(24, len(shown))
        self.assertEqual(sorted(expected), sorted(shown))
        for keyword, value in shown.items():
            written = expected[keyword]
            if value in ("checked", "unchecked"):
                self.assertEqual(written in ("on", "yes"), value == "checked", keyword)
            elif written.replace(".", "", 1).isdigit() and "." in written:
                self.assertEqual(written, "%.2f" % single(value), keyword)
            else:
                self.assertEqual(written, value, keyword)

    def copy(self, relative, name=None):
        """A file of the source tree in the test's folder, where the tool runs too."""
        path = os.path.join(self.work, name or os.path.basename(relative))
        shutil.copyfile(os.path.join(OPTIONS.source, relative), path)
        return path


class OpenEveryFixture(PageTest):
    """Every file of tests/data and examples/ opened as a user would: the kind known by the
    content, the 24 values of the report, the header, and the command line's warnings and
    failures, word for word."""

    def test_every_fixture_reads_as_on_the_command_line(self):
        fixtures = sorted(
            glob.glob(os.path.join(OPTIONS.source, "tests/data/*/*"))
            + glob.glob(os.path.join(OPTIONS.source, "examples/*"))
        )
        self.assertGreater(len(fixtures), 25)
        for fixture in fixtures:
            with self.subTest(fixture=os.path.relpath(fixture, OPTIONS.source)):
                self.check_fixture(os.path.relpath(fixture, OPTIONS.source))

    def check_fixture(self, relative):
        path = self.copy(relative)
        name = os.path.basename(path)
        report_path = os.path.join(self.work, "report.txt")
        if os.path.exists(report_path):
            os.remove(report_path)
        status, _, err = run_tool("--to=text", name, "report.txt", cwd=self.work)
        said = err.splitlines()
        self.open_file(path)
        failure = self.driver.find_element("id", "file-failure")
        warnings = self.js(
            "return [...document.querySelectorAll('#file-warnings li')].map((li) => li.textContent)"
        )
        form = self.driver.find_element("id", "settings")
        if status != 0:
            self.assertTrue(failure.is_displayed())
            self.assertFalse(form.is_displayed())
            self.assertEqual(said, warnings + [failure.text])
            return
        self.assertFalse(failure.is_displayed())
        self.assertTrue(form.is_displayed())
        self.assertEqual(said, warnings)
        with open(os.path.join(self.work, "report.txt"), encoding="utf-8") as file:
            report = file.read()
        self.assert_form_shows_report(report)
        header = self.js(
            """
            return Object.fromEntries([...document.querySelectorAll('#header-fields .header-field')]
              .map((field) => [field.dataset.name, field.querySelector('dd').textContent]));
            """
        )
        self.assertIn(f"; Product Id: {header['product id']}\n", report)
        self.assertIn(f"; Software Revision Level: {header['software revision']}\n", report)
        self.assertIn(f"; Embedded Copyright Notice:  {header['notice']}\n", report)


class EditAndSave(PageTest):
    """A read-back dropped on the page, edited through every kind of control, the estimates
    and the plot followed, a value that would warn refused until mended, and the result saved
    as each kind: the command line's bytes for the same file and --set options."""

    def test_edit_a_readback_and_save_every_kind(self):
        path = self.copy("examples/x-axis-halfstep.hex")
        self.drop_file(path)
        self.assertIn("x-axis-halfstep.hex, read as Intel HEX", self.status())
        self.type_into("ontime", "100")
        self.type_into("TWI_slaveAddress", "0x27")
        self.type_into("resistance", "1.2")
        self.driver.find_element("id", "f-followpots").click()
        self.driver.find_element("css selector", "#f-stepmode option[value='full']").click()
        sets = [
            "--set=ontime=100",
            "--set=TWI_slaveAddress=0x27",
            "--set=resistance=1.2",
            "--set=followpots=yes",
            "--set=stepmode=full",
        ]
        self.check_estimates_and_plot(sets)
        for word in ("text", "hex", "srec", "bin"):
            saved, name = self.save(word)
            written = os.path.join(self.work, f"out.{word}")
            status, _, err = run_tool(*sets, f"--to={word}", "x-axis-halfstep.hex", written, cwd=self.work)
            self.assertEqual((0, ""), (status, err))
            with open(written, "rb") as file:
                written = file.read()
            if word == "text":
                self.assertEqual("x-axis-halfstep-report.txt", name)
                self.assertIn(b"; Source file: x-axis-halfstep.hex\n", saved)
                saved, written = without_time(saved), without_time(written)
            self.assertEqual(written, saved, word)
        self.check_refusals(sets)

    def check_estimates_and_plot(self, sets):
        status, report, _ = run_tool(*sets, "--to=text", "x-axis-halfstep.hex", "-", cwd=self.work)
        self.assertEqual(0, status)
        shown = self.js(
            """
            return [...document.querySelectorAll('#estimate-values dt')]
              .map((dt) => `${dt.textContent}= ${dt.nextElementSibling.textContent}`);
            """
        )
        self.assertEqual(3, len(shown))
        for line in shown:
            self.assertIn(f";   {line}", report)
        # The on-time mark stands where the curve reaches the set current.
        crossing = self.js(
            """
            const points = document.getElementById('plot-curve').getAttribute('points')
              .split(' ').map((p) => p.split(',').map(Number));
            const x = Number(document.getElementById('plot-on-time').getAttribute('x1'));
            const level = Number(document.getElementById('plot-set-current').getAttribute('y1'));
            const after = points.findIndex(([px]) => px >= x);
            const [[x0, y0], [x1, y1]] = [points[after - 1], points[after]];
            return [y0 + ((y1 - y0) * (x - x0)) / (x1 - x0), level];
            """
        )
        self.assertAlmostEqual(crossing[0], crossing[1], delta=0.5)

    def check_refusals(self, sets):
        # A value that would warn, or cannot be read, stops every save until it is mended.
        for typed in ("300", "12abc"):
            self.type_into("ontime", typed)
            status, _, err = run_tool(*sets, f"--set=ontime={typed}", "x-axis-halfstep.hex", "-", cwd=self.work)
            said = err.splitlines()[0]
            if status == 0:
                self.assertEqual(f"--set ontime={typed}: warning: " + self.notes("ontime")[0], said)
            else:
                self.assertEqual("kr570convert: " + self.notes("ontime")[0], said)
            self.assert_saving(False)
        self.type_into("ontime", "96")
        self.assert_saving(True)
        # Settings whose estimates are not a number: the tool's warning beside each setting it
        # names, and the plot in words.
        self.type_into("current", "30")
        _, _, err = run_tool(*sets, "--set=current=30", "x-axis-halfstep.hex", "-", cwd=self.work)
        for keyword in ("current", "resistance", "drive_voltage"):
            self.assertEqual(err.splitlines()[:1], self.notes(keyword))
        self.assert_saving(False)
        words = self.driver.find_element("css selector", "#plot p.not-drawn").text
        self.assertIn("not a number", words)
        self.assertEqual([], self.driver.find_elements("css selector", "#plot svg"))

    def assert_saving(self, allowed):
        for button in self.driver.find_elements("css selector", "#save-buttons button"):
            self.assertEqual(allowed, button.is_enabled(), button.text)


class NewFromDefaults(PageTest):
    """A new configuration from the factory defaults, without a file: the values of the
    defaults' report, saved as the HEX file that the tool compiles from an empty text."""

    def test_new_configuration_is_the_factory_defaults(self):
        self.driver.find_element("id", "open-file").send_keys(
            os.path.join(OPTIONS.source, "examples/x-axis-halfstep.txt")
        )
        self.browser.wait_for(lambda: "x-axis-halfstep.txt" in self.status())
        self.driver.find_element("id", "new").click()
        self.assertIn("factory defaults", self.status())
        with open(os.path.join(self.work, "new.txt"), "w", encoding="utf-8"):
            pass
        status, _, _ = run_tool("--to=text", "new.txt", "report.txt", cwd=self.work)
        self.assertEqual(0, status)
        with open(os.path.join(self.work, "report.txt"), encoding="utf-8") as file:
            self.assert_form_shows_report(file.read())
        saved, name = self.save("hex")
        self.assertEqual("new.hex", name)
        with open(os.path.join(OPTIONS.source, "examples/default.hex"), "rb") as file:
            self.assertEqual(file.read(), saved)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *arguments):
        pass


class CompareTwoFiles(PageTest):
    """A text and a controller's read-back compared with the page served by a static HTTP
    server: the compare mode's lines and verdict, and the differing settings marked."""

    def setUp(self):
        handler = functools.partial(
            QuietHandler, directory=os.path.dirname(os.path.abspath(OPTIONS.page))
        )
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_port}/index.html"
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)
        super().setUp()

    def test_compare_a_text_with_a_readback(self):
        a = self.copy("examples/x-axis-halfstep.txt")
        b = self.copy("tests/data/avrdude/default-1k-I.hex")
        self.open_file(a)
        self.open_file(b, element="compare-file")
        status, out, _ = run_tool("--compare", os.path.basename(a), os.path.basename(b), cwd=self.work)
        self.assertEqual(1, status)
        *lines, verdict = out.splitlines()
        self.assertEqual(verdict, self.verdict())
        shown = self.js(
            "return [...document.querySelectorAll('#compare-lines li')].map((li) => li.textContent)"
        )
        self.assertEqual(lines, shown)
        marked = self.js(
            "return [...document.querySelectorAll('#settings .setting.differs')].map((row) => row.id.slice(4))"
        )
        self.assertEqual(sorted(line.split(":")[0] for line in lines), sorted(marked))
        # Made equal in the form, a setting is no longer marked, and the verdict follows.
        self.type_into("ontime", "128")
        self.browser.wait_for(lambda: "15 of the 24 settings differ" in self.verdict())
        self.assertNotIn("differs", self.js("return document.getElementById('row-ontime').className"))


class Keyboard(PageTest):
    """The page by keyboard alone: Tab reaches every control in the order they stand, each
    has a label and shows where the focus is; a switch and a choice change from the keys."""

    def test_tab_through_the_form(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys

        expected = self.js(
            """
            const reachable = 'button, input:not([type="file"]), select';
            return [...document.querySelectorAll(reachable)]
              .filter((control) => !control.disabled && control.offsetParent !== null)
              .map((control) => control.id);
            """
        )
        self.assertGreater(len(expected), 26)
        reached = []
        for _ in expected:
            ActionChains(self.driver).send_keys(Keys.TAB).perform()
            focused = self.js(
                """
                const control = document.activeElement;
                const style = getComputedStyle(control);
                const label = control.labels?.[0]?.textContent ?? control.textContent;
                return [control.id, label.trim(), style.outlineStyle, parseFloat(style.outlineWidth)];
                """
            )
            identifier, label, outline, width = focused
            self.assertTrue(label, f"{identifier} has no label")
            self.assertNotEqual("none", outline, f"{identifier} shows no focus")
            self.assertGreaterEqual(width, 2, identifier)
            reached.append(identifier)
        self.assertEqual(expected, reached)
        # A switch toggles with Space, a choice moves with the arrow keys: both are edits.
        self.driver.find_element("id", "f-checkestop").send_keys(Keys.SPACE)
        self.driver.find_element("id", "f-stepmode").send_keys(Keys.ARROW_DOWN)
        edited = self.js(
            "return [...document.querySelectorAll('.setting.edited')].map((row) => row.id)"
        )
        self.assertEqual(["row-stepmode", "row-checkestop"], edited)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--page", required=True, help="the page's index.html")
    parser.add_argument("--tool", required=True, help="the kr570convert executable")
    parser.add_argument("--source", required=True, help="the source tree")
    OPTIONS, rest = parser.parse_known_args()
    for name in ("page", "tool", "source"):
        setattr(OPTIONS, name, os.path.abspath(getattr(OPTIONS, name)))
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
