#!/usr/bin/python3
"""The full page (quilldex-cli --page) as its readers meet it.

A validating HTML parser (the Nu HTML Checker) reads the pages of a tree
whose names hold every byte value and every character that markup or URLs
give a meaning to; a real browser (headless Chromium through Selenium)
opens pages from file://, sorts, filters, follows links, and shows the page
without its script.

    page_test.py --cli QUILLDEX_CLI --vnu VNU_JAR --axe AXE_JS --out FOLDER [unittest args]

FOLDER receives screenshots of a page (page.png) and of a themed page
with its README (themed-page.png, which docs/ keeps), and the pages that
failed validation.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

ARGS = None

# Every option that changes what a page holds.
EVERY_OPTION = ["-r", "-l", "-t", "--time", "--date", "-s", "bytes",
                "-p", "https://example.org/pub files/?a=1&b=\"2\"#",
                "-m", "*", "-m", "*.txt", "--exclude", "*.none", "--sort", "natural", "--reverse",
                "--dirs-first"]


def write(path, data=b"", size=None, mtime=None):
    with open(path, "wb") as f:
        f.write(data)
        if size is not None:
            f.truncate(size)
    if mtime is not None:
        os.utime(path, (mtime, mtime))


def run_cli(*arguments, zone="UTC", check=True):
    env = dict(os.environ, TZ=zone)
    return subprocess.run([ARGS.cli, "-q", *arguments], check=check, env=env, capture_output=True, text=True)


def index_files(top, name=b"index.html"):
    found = []
    for folder, _, files in os.walk(os.fsencode(top)):
        if name in files:
            found.append(os.path.join(folder, name))
    return sorted(found)


class PageIsValidHtml(unittest.TestCase):
    """No error from the Nu HTML Checker, whatever the names hold."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quilldex-page-")
        top = os.path.join(os.fsencode(cls.work), b"top")
        os.mkdir(top)
        # Every byte a POSIX name can hold, alone and between letters.
        for value in range(1, 256):
            if value == ord("/"):
                continue
            byte = bytes([value])
            write(os.path.join(top, b"b%02x-" % value + byte + b"-x"), b"x")
        names = [
            b"<script>alert(1)<\\script>.txt", b"a&b&amp;.txt", b"q\"uote'.txt",
            b"#hash.txt", b"100%.txt", b"100%25.txt", b"what?.txt", b"a b\tc.txt",
            b"bad\xe9\xff.txt", b"cut\xe6\x97.txt", b"over\xc0\xaf.txt",
            b"sur\xed\xa0\x80.txt", b"non\xef\xbf\xbe.txt", b"c1\xc2\x85.txt",
            "café menü 日本語 😀.txt".encode(),
            b"a" * 251 + b".txt",
            "é".encode() * 127 + b"x",
        ]
        for name in names:
            write(os.path.join(top, name), name)
        write(os.path.join(top, b"title.html"),
              b"<title>Tom &amp; Jerry &copy; &#233; AT&T \xe9 \x01 \"q\" > x</title>")
        write(os.path.join(top, b"cut.html"), b"<TITLE>unterminated \xe6\x97")
        # References to characters no page may hold, and ones too long to
        # be references.
        write(os.path.join(top, b"refs.html"),
              b"<title>&#0; &#xD800; &#x110000; &#1; &#13; &#x80; &#xFFFE; &#99999999; &#x0000000041; "
              b"&#00000065; &#x00000041;</title>")
        # Directories whose names reach the heading, the breadcrumbs and the
        # links up.
        deep = os.path.join(top, b"dir <&\"#%?\xe9 \xc3\xa9", b"z" * 255)
        os.makedirs(deep)
        write(os.path.join(deep, b"inner&.txt"), b"x")
        cls.top = top

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def validate(self, pages, label):
        # Copies under plain names: Java cannot open every byte name.
        plain = os.path.join(self.work, "plain-" + label)
        os.makedirs(plain)
        copies = []
        for number, page in enumerate(pages):
            copy = os.path.join(plain, "page-%03d.html" % number)
            shutil.copyfile(page, copy)
            copies.append(copy)
        result = subprocess.run(
            ["java", "-jar", ARGS.vnu, "--errors-only", "--format", "gnu", *copies],
            capture_output=True, text=True, errors="replace")
        if result.returncode != 0:
            kept = os.path.join(ARGS.out, "invalid-" + label)
            shutil.rmtree(kept, ignore_errors=True)
            shutil.copytree(plain, kept)
        self.assertEqual(result.returncode, 0, result.stderr + result.stdout)

    def test_every_option_on(self):
        run_cli("--page", *EVERY_OPTION, "-o", "index.html", self.top)
        pages = index_files(self.top)
        self.assertEqual(len(pages), 3)
        self.validate(pages, "every-option")

    def test_titles_show_what_a_page_may_hold(self):
        page = os.path.join(self.work, "references.html")
        run_cli("--page", "-t", "-m", "refs.html", "-o", page, self.top)
        with open(page, "rb") as f:
            text = f.read()
        row = text[text.index(b"<td><span>"):]
        row = row[:row.index(b"</span>")]
        self.assertEqual(row, b"<td><span>" + b"&#xFFFD; " * 8 + b"&amp;#x0000000041; &#00000065; &#x00000041;")
        self.validate([page], "references")

    def test_a_deep_tree_gives_pages_of_bounded_size(self):
        # Each page names the top, an ellipsis and the last eight levels
        # only: a page 400 levels down is within 1 KB of the top's (whose
        # size is the style, the script and a row).
        top = os.path.join(self.work, "deep")
        path = top
        for _ in range(400):
            path = os.path.join(path, "d")
        os.makedirs(path)
        run_cli("--page", "-r", "-l", "-o", "index.html", top)
        pages = index_files(top)
        self.assertEqual(len(pages), 401)
        sizes = [os.path.getsize(page) for page in pages]
        self.assertLess(max(sizes) - min(sizes), 1024, (min(sizes), max(sizes)))
        self.validate(pages[-1:] + pages[:1], "deep")

    def test_each_size_style_and_no_columns(self):
        pages = []
        for number, options in enumerate([["-s", "auto"], ["-s", "kb"], ["-s", "mb", "--time"],
                                          ["--no-size"], ["-m", "*.none"]]):
            page = os.path.join(self.work, "single-%d.html" % number)
            run_cli("--page", *options, "-o", page, self.top)
            pages.append(page)
        self.validate(pages, "single")


def chromium(scripts=True):
    # Imported here, so that the validator's tests run without Selenium.
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="quilldex-chromium-")
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1000,760", "--user-data-dir=" + profile]:
        options.add_argument(flag)
    if not scripts:
        options.add_experimental_option(
            "prefs", {"profile.managed_default_content_settings.javascript": 2})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(60)
    return driver, profile


class BrowserTest(unittest.TestCase):
    """A headless Chromium shared by the tests of a class."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quilldex-browser-")
        cls.driver, cls.profile = chromium()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)
        shutil.rmtree(cls.work)

    def open(self, path):
        self.driver.get("file://" + path)

    def rows(self):
        return self.driver.find_elements("css selector", "tbody tr:not(.none)")

    def names(self, visible_only=False):
        return [row.find_element("css selector", "td").text for row in self.rows()
                if not visible_only or row.is_displayed()]

    def header(self, text):
        return self.driver.find_element("xpath", "//th[starts-with(normalize-space(), '%s')]" % text)

    def button(self, text):
        return self.header(text).find_element("css selector", "button")

    def sort_states(self):
        return {th.text.strip(" \u25b2\u25bc\u2195"): th.get_attribute("aria-sort")
                for th in self.driver.find_elements("css selector", "th")}

    def status(self):
        return self.driver.find_element("css selector", "[role=status]").text

    def severe_console_messages(self):
        return [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]


class PageInBrowser(BrowserTest):
    """Sorting, filtering and links in headless Chromium, from file://."""

    # name: (size, seconds since 1970); orders by name, size and time differ.
    FILES = {
        "banana.txt": (3, 1000000000),
        "Apple.txt": (5, 1300000000),
        "café menü.txt": (7, 1100000000),
        "s1900.bin": (1900, 1500000000),
        "s2k.bin": (2148, 900000000),
        "s10k.bin": (10245, 1200000000),
        "s113m.bin": (1179648, 1400000000),
    }
    DIRECTORIES = {"sub": 1250000000, "Zdir": 950000000}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        top = os.path.join(cls.work, "top")
        os.mkdir(top)
        for name, (size, mtime) in cls.FILES.items():
            write(os.path.join(top, name), size=size, mtime=mtime)
        for name in cls.DIRECTORIES:
            os.mkdir(os.path.join(top, name))
        write(os.path.join(top, "sub", "inner.txt"), b"inner")
        run_cli("--page", "-r", "-l", "--time", "--date", "-o", "index.html", top)
        for name, mtime in cls.DIRECTORIES.items():
            os.utime(os.path.join(top, name), (mtime, mtime))
        # The directory rows' times are those before the run wrote into them.
        run_cli("--page", "-r", "-l", "--time", "--date", "-o", "index.html", top)
        cls.top = top

    def expected(self, key, reverse):
        # The top of the run has no "..", and directories end in '/'.
        entries = [(name + "/", -1, mtime) for name, mtime in self.DIRECTORIES.items()]
        entries += [(name, size, mtime) for name, (size, mtime) in self.FILES.items()]
        index = {"name": lambda e: (e[0].rstrip("/").upper(), e[0]), "size": lambda e: e[1],
                 "time": lambda e: e[2]}[key]
        ascending = [e[0] for e in sorted(entries, key=index)]
        # Descending turns the whole order round, ties (the directories'
        # sizes) included.
        return ascending[::-1] if reverse else ascending

    def test_each_header_sorts_by_raw_values_and_again_in_reverse(self):
        self.open(os.path.join(self.top, "index.html"))
        # The page says the order it was written in.
        self.assertEqual(self.sort_states(), {"Filename": "ascending", "Size": None, "Time": None, "Date": None})
        for header, key in [("Size", "size"), ("Date", "time"), ("Time", "time"), ("Filename", "name")]:
            with self.subTest(header=header):
                button = self.button(header)
                button.click()
                self.assertEqual(self.names(), self.expected(key, False))
                states = self.sort_states()
                self.assertEqual(states.pop(header), "ascending")
                self.assertEqual(set(states.values()), {None})
                button.click()
                self.assertEqual(self.names(), self.expected(key, True))
                self.assertEqual(self.sort_states()[header], "descending")
        self.assertEqual(self.severe_console_messages(), [])

    def test_the_first_click_on_the_written_order_turns_it_round(self):
        self.open(os.path.join(self.top, "index.html"))
        self.button("Filename").click()
        self.assertEqual(self.names(), self.expected("name", True))
        self.assertEqual(self.sort_states()["Filename"], "descending")

    def test_a_header_sorts_from_the_keyboard(self):
        from selenium.webdriver.common.keys import Keys
        self.open(os.path.join(self.top, "index.html"))
        button = self.button("Size")
        button.send_keys(Keys.ENTER)
        self.assertEqual(self.names(), self.expected("size", False))
        button.send_keys(Keys.SPACE)
        self.assertEqual(self.names(), self.expected("size", True))

    def test_filter_keeps_the_rows_whose_name_holds_the_text_and_says_how_many(self):
        from selenium.webdriver.common.keys import Keys
        self.open(os.path.join(self.top, "index.html"))
        footer = self.driver.find_element("tag name", "footer").text
        box = self.driver.find_element("css selector", "input[type=search]")
        self.assertEqual(self.status(), "")
        # Each step: what is typed, the rows shown, the status.
        for typed, shown, status in [
                ("AN", ["banana.txt"], "1 of 9 shown"),
                ("\b\b" + "ü", ["café menü.txt"], "1 of 9 shown"),
                ("\b" + "S", ["s10k.bin", "s113m.bin", "s1900.bin", "s2k.bin", "sub/"], "5 of 9 shown"),
                ("ZZZ", [], "0 of 9 shown"),
                (Keys.ESCAPE, self.expected("name", False), "")]:
            with self.subTest(typed=typed):
                box.send_keys(typed)
                self.assertEqual(self.names(visible_only=True), shown)
                self.assertEqual(self.status(), status)
                no_matches = self.driver.find_element("css selector", "tr.none")
                self.assertEqual(no_matches.is_displayed(), not shown)
                if not shown:
                    self.assertEqual(no_matches.text, "No matches")
                # The footer sums up the folder, whatever is shown.
                self.assertEqual(self.driver.find_element("tag name", "footer").text, footer)
        self.assertEqual(box.get_attribute("value"), "")
        self.assertEqual(self.driver.find_element("css selector", "[role=status]").tag_name, "p")

    def test_filter_always_shows_the_way_up(self):
        self.open(os.path.join(self.top, "sub", "index.html"))
        box = self.driver.find_element("css selector", "input[type=search]")
        box.send_keys("nothing like it")
        self.assertEqual(self.names(visible_only=True), [".."])
        self.assertEqual(self.status(), "0 of 1 shown")
        self.assertTrue(self.driver.find_element("css selector", "tr.none").is_displayed())
        self.button("Size").click()
        self.assertEqual(self.names(visible_only=True), [".."])

    def test_directory_link_and_breadcrumb_open_the_right_index(self):
        self.open(os.path.join(self.top, "index.html"))
        self.assertEqual(self.driver.title, "Index of top")
        self.driver.find_element("link text", "sub/").click()
        self.assertEqual(self.driver.current_url, "file://" + os.path.join(self.top, "sub", "index.html"))
        self.assertEqual(self.driver.find_element("tag name", "h1").text, "Index of top / sub")
        self.assertEqual(self.driver.title, "Index of top / sub")
        self.assertEqual(self.names(), ["..", "inner.txt"])
        self.driver.find_element("css selector", "nav a").click()
        self.assertEqual(self.driver.current_url, "file://" + os.path.join(self.top, "index.html"))
        self.assertEqual(self.driver.find_element("tag name", "h1").text, "Index of top")
        # The heading, the filter and the table are the page's main content.
        self.assertEqual(len(self.driver.find_elements("css selector", "main > h1, main > input, main > table")), 3)

    def test_title_names_the_top_in_title_heading_and_first_breadcrumb(self):
        top = os.path.join(self.work, "titled")
        shutil.copytree(self.top, top)
        run_cli("--page", "-r", "-l", "--title", "Our <files>", "-o", "index.html", top)
        for page, name in [("index.html", "Our <files>"), ("sub/index.html", "Our <files> / sub")]:
            with self.subTest(page=page):
                self.open(os.path.join(top, page))
                self.assertEqual(self.driver.title, name)
                self.assertEqual(self.driver.find_element("tag name", "h1").text, name)
                self.assertEqual(self.driver.find_element("css selector", "nav li").text, "Our <files>")

    def test_directories_stay_first_when_the_listing_put_them_first(self):
        top = os.path.join(self.work, "dirs-first")
        shutil.copytree(self.top, top)
        run_cli("--page", "--dirs-first", "-r", "--time", "-o", "index.html", top)
        self.open(os.path.join(top, "index.html"))
        for header in ["Size", "Time", "Filename"]:
            button = self.button(header)
            for _ in range(2):
                button.click()
                names = self.names()
                kinds = [name.endswith("/") for name in names]
                self.assertEqual(kinds, sorted(kinds, reverse=True), (header, names))

    def test_directories_are_marked_whatever_the_columns(self):
        top = os.path.join(self.work, "no-size")
        shutil.copytree(self.top, top)
        run_cli("--page", "-r", "--no-size", "-o", "index.html", top)
        self.open(os.path.join(top, "index.html"))
        self.assertEqual(sorted(name for name in self.names() if name.endswith("/")), ["Zdir/", "sub/"])

    def test_names_sort_in_the_order_the_listing_gave_them(self):
        top = os.path.join(self.work, "orders")
        os.mkdir(top)
        for name, size in [("file10", 1), ("File1", 3), ("file2", 2)]:
            write(os.path.join(top, name), size=size)
        for order, expected in [
                (["--sort", "natural"], ["File1", "file2", "file10"]),
                (["--sort", "natural", "--reverse"], ["File1", "file2", "file10"]),
                (["--sort", "name", "--reverse"], ["File1", "file10", "file2"]),
                (["--sort", "size"], ["File1", "file10", "file2"])]:
            with self.subTest(order=order):
                page = os.path.join(self.work, "orders.html")
                run_cli("--page", *order, "-o", page, top)
                self.open(page)
                self.button("Size").click()
                self.button("Filename").click()
                self.assertEqual(self.names(), expected)
                self.button("Filename").click()
                self.assertEqual(self.names(), expected[::-1])

    def test_titles_show_beside_their_file_names_and_sort_and_filter_by_both(self):
        top = os.path.join(self.work, "titles")
        os.mkdir(top)
        for name, title in [("a.html", "Zebra guide"), ("b.html", "Apple notes"), ("c.html", "Apple notes"),
                            ("d.txt", None)]:
            write(os.path.join(top, name), b"<title>%s</title>" % title.encode() if title else b"plain")
        page = os.path.join(self.work, "titles.html")
        run_cli("--page", "-t", "-l", "-o", page, top)
        self.open(page)
        # Sorted by what is shown at once: the page was written by file name.
        self.assertEqual(self.names(), ["Apple notes b.html", "Apple notes c.html", "d.txt", "Zebra guide a.html"])
        self.assertEqual(self.sort_states()["Filename"], "ascending")
        self.button("Filename").click()
        self.assertEqual(self.names()[0], "Zebra guide a.html")
        box = self.driver.find_element("css selector", "input[type=search]")
        box.send_keys("c.htm")
        self.assertEqual(self.names(visible_only=True), ["Apple notes c.html"])
        small = self.driver.find_element("css selector", "td small")
        self.assertLess(float(small.value_of_css_property("font-size")[:-2]),
                        float(self.driver.find_element("css selector", "td a").value_of_css_property("font-size")[:-2]))

    def test_screenshot(self):
        # The README's picture: a subdirectory's page with every column.
        top = os.path.join(self.work, "shot")
        docs = os.path.join(top, "docs")
        os.makedirs(os.path.join(docs, "drafts"))
        for name, size, mtime, data in [
                ("guide.html", 0, 1700000000, b"<title>User guide</title>"),
                ("install.html", 0, 1710000000, b"<title>Installing &amp; updating</title>"),
                ("notes.txt", 4200, 1690000000, None), ("report-2024.pdf", 1480000, 1705000000, None),
                ("logo.png", 23800, 1600000000, None)]:
            write(os.path.join(docs, name), data or b"", size=None if data else size, mtime=mtime)
        run_cli("--page", "-r", "-l", "-t", "--time", "--date", "--title", "Example site", "-o", "index.html",
                top)
        self.open(os.path.join(docs, "index.html"))
        self.button("Size").click()
        path = os.path.join(ARGS.out, "page.png")
        self.assertTrue(self.driver.save_screenshot(path))
        self.assertGreater(os.path.getsize(path), 1000)

    def test_without_scripts_every_row_is_there(self):
        driver, profile = chromium(scripts=False)
        try:
            driver.get("file://" + os.path.join(self.top, "index.html"))
            rows = driver.find_elements("css selector", "tbody tr")
            self.assertEqual(len(rows), len(self.FILES) + len(self.DIRECTORIES))
            self.assertTrue(all(row.is_displayed() for row in rows))
            self.assertEqual(driver.find_elements("css selector", "th button, input"), [])
            self.assertEqual(driver.find_element("css selector", "td a[href='caf%C3%A9%20men%C3%BC.txt']").text,
                             "café menü.txt")
        finally:
            driver.quit()
            shutil.rmtree(profile, ignore_errors=True)


class PageIsAccessible(BrowserTest):
    """axe-core, every rule (AAA contrast included), finds nothing."""

    def test_no_violation_light_and_dark_wide_and_narrow(self):
        top = os.path.join(self.work, "top")
        os.makedirs(os.path.join(top, "sub", "deeper"))
        write(os.path.join(top, "sub", "doc.html"), b"<title>A document &amp; its title</title>")
        write(os.path.join(top, "sub", "notes.txt"), b"x" * 3000)
        run_cli("--page", "-r", "-l", "-t", "--time", "--date", "-o", "index.html", top)
        with open(ARGS.axe, encoding="utf-8") as f:
            axe = f.read()
        for page in ["index.html", "sub/index.html"]:
            for scheme in ["light", "dark"]:
                for width in [1280, 390]:
                    with self.subTest(page=page, scheme=scheme, width=width):
                        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                            "features": [{"name": "prefers-color-scheme", "value": scheme}]})
                        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                            "width": width, "height": 800, "deviceScaleFactor": 1, "mobile": width < 500})
                        self.open(os.path.join(top, page))
                        self.driver.execute_script(axe)
                        self.driver.set_script_timeout(60)
                        result = self.driver.execute_async_script("""
                            const done = arguments[arguments.length - 1];
                            const rules = axe.getRules().map(rule => rule.ruleId);
                            axe.run(document, {runOnly: {type: 'rule', values: rules}})
                               .then(r => done(r.violations.map(v => [v.id, v.nodes.map(n => n.target.join(' '))])),
                                     e => done([['error', String(e)]]));""")
                        self.assertEqual(result, [])
        self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


class LargePages(BrowserTest):
    """100,000 and 200,000 rows: times printed, bounds loose enough for a
    loaded machine (bench/README.md has the figures of a quiet one)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.folder = os.path.join(cls.work, "big")
        os.mkdir(cls.folder)
        cls.add_files(0, 100000)
        cls.page100k = os.path.join(cls.work, "100k.html")
        run_cli("--page", "-l", "--time", "-o", cls.page100k, cls.folder)

    @classmethod
    def add_files(cls, start, end):
        for number in range(start, end):
            # Sizes in another order than the names.
            write(os.path.join(cls.folder, "file-%06d.txt" % number), size=(number * 7919) % 100003)

    def timed(self, action):
        """Milliseconds from running `action` to the next frame after it."""
        self.driver.set_script_timeout(120)
        return self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1], start = performance.now();
            (%s)();
            document.body.offsetHeight;
            requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0));""" % action)

    def settled_names(self, count):
        """The first `count` names once the table is filled."""
        from selenium.webdriver.support.ui import WebDriverWait
        WebDriverWait(self.driver, 60).until(
            lambda d: d.execute_script("return !document.querySelector('table').hasAttribute('aria-busy')"))
        return self.driver.execute_script(
            "return [...document.querySelectorAll('tbody tr:not(.none)')].slice(0, arguments[0])"
            ".map(r => r.cells[0].textContent)", count)

    def test_100000_rows_open_sort_and_filter_quickly(self):
        self.driver.get_log("browser")
        start = time.monotonic()
        self.open(self.page100k)
        loaded = time.monotonic() - start
        first_paint = self.driver.execute_script(
            "const p = performance.getEntriesByName('first-contentful-paint')[0]; return p ? p.startTime : -1")
        sort = self.timed("() => document.querySelectorAll('th button')[1].click()")
        self.assertEqual(self.settled_names(2), ["file-000000.txt", "file-047318.txt"])
        again = self.timed("() => document.querySelectorAll('th button')[1].click()")
        self.assertEqual(self.settled_names(1), ["file-052685.txt"])
        box = "const f = document.querySelector('input'); f.value = %r; f.dispatchEvent(new Event('input'))"
        filtered = self.timed("() => { %s }" % (box % "99"))
        self.assertEqual(self.status(), "3691 of 100000 shown")
        narrowed = self.timed("() => { %s }" % (box % "0999"))
        self.assertEqual(self.status(), "120 of 100000 shown")
        print("\n100,000 rows: loaded in %.2f s (first paint %.2f s), sort %.0f ms, reverse %.0f ms, "
              "filter %.0f ms, narrower %.0f ms" % (loaded, first_paint / 1000, sort, again, filtered, narrowed),
              file=sys.stderr)
        self.assertLess(loaded, 30)
        self.assertLess(first_paint, 10000)
        for figure in [sort, again, filtered, narrowed]:
            self.assertLess(figure, 3000)
        self.assertEqual(self.severe_console_messages(), [])

    def test_100000_rows_compared_with_a_web_servers_listing(self):
        """With --compare: the page and python3 -m http.server's listing of
        the same folder, both served by that server, opened in turn."""
        if not ARGS.compare:
            self.skipTest("only with --compare")
        import socket
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        server = subprocess.Popen([sys.executable, "-m", "http.server", "--bind", "127.0.0.1", str(port)],
                                  cwd=self.work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(100):
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=1).close()
                    break
                except OSError:
                    time.sleep(0.1)
            for round_number in range(ARGS.compare):
                for label, url in [("quilldex-cli --page", "/100k.html"), ("http.server listing", "/big/")]:
                    start = time.monotonic()
                    self.driver.get("http://127.0.0.1:%d%s" % (port, url))
                    loaded = time.monotonic() - start
                    first_paint = self.driver.execute_script(
                        "const p = performance.getEntriesByName('first-contentful-paint')[0];"
                        "return p ? p.startTime : -1")
                    print("\nround %d, %s: loaded in %.2f s, first paint %.2f s"
                          % (round_number + 1, label, loaded, first_paint / 1000), file=sys.stderr)
        finally:
            server.terminate()
            server.wait()

    def test_200000_rows_sort(self):
        self.add_files(100000, 200000)
        page = os.path.join(self.work, "200k.html")
        run_cli("--page", "-o", page, self.folder)
        self.driver.get_log("browser")
        self.open(page)
        sort = self.timed("() => document.querySelectorAll('th button')[1].click()")
        self.assertEqual(self.settled_names(3), ["file-000000.txt", "file-100003.txt", "file-047318.txt"])
        print("\n200,000 rows: sort %.0f ms" % sort, file=sys.stderr)
        self.assertEqual(self.severe_console_messages(), [])


def tree_manifest(top):
    """index.tree.json as (path from the top as bytes, kind, size, time, title) rows."""
    import json
    with open(os.path.join(top, b"index.tree.json"), "rb") as f:
        manifest = json.loads(f.read().decode("utf-8"))
    paths = []
    rows = set()
    for directory in manifest["directories"]:
        name = bytes.fromhex(directory["name_bytes"]) if "name_bytes" in directory else directory["name"].encode()
        paths.append(b"" if directory["parent"] is None else paths[directory["parent"]] + name + b"/")
        names = [n.encode() for n in directory["names"].split("/")] if directory["sizes"] else []
        for number, hex_bytes in directory.get("names_bytes", []):
            names[number] = bytes.fromhex(hex_bytes)
        titles = dict(directory.get("titles", []))
        for number, (entry, modified, size) in enumerate(zip(names, directory["modified"], directory["sizes"])):
            kind = "directory" if size < 0 else "file"
            rows.add((paths[-1] + entry, kind, None if size < 0 else size, modified, titles.get(number)))
    return manifest, rows


def walked_tree(top, left_out):
    """What the manifest should hold: every entry below `top` but the index
    files and the names `left_out` accepts."""
    rows = set()
    for folder, directories, files in os.walk(top):
        directories[:] = [d for d in directories if not left_out(d)]
        relative = os.path.relpath(folder, top)
        prefix = b"" if relative == b"." else relative + b"/"
        for name in directories:
            rows.add((prefix + name, "directory", None, int(os.stat(os.path.join(folder, name)).st_mtime), None))
        for name in files:
            if name == b"index.html" or (prefix == b"" and name.startswith(b"index.tree.")) or left_out(name):
                continue
            status = os.stat(os.path.join(folder, name))
            rows.add((prefix + name, "file", status.st_size, int(status.st_mtime), None))
    return rows


class TreeSearch(BrowserTest):
    """--tree-index: the manifest of the whole tree, and the switch on every
    page that searches it, from file://."""

    # Path from the top: what the file holds (each file its own marker).
    FILES = {
        "alpha/report one.txt": "one",
        "alpha/beta/report two.txt": "two",
        "gamma delta/report three.txt": "three",
        "gamma delta/other.txt": "other",
        "names/space report.txt": "space",
        "names/hash#report.txt": "hash",
        "names/percent%20report.txt": "percent",
        "names/café report 日本.txt": "unicode",
        "names/amp&report?.txt": "amp",
    }
    BAD_NAME = b"names/bad\xe9\xff report.txt"
    LEFT_OUT = [".hidden report.txt", "alpha/excluded report.none"]

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.top = os.path.join(os.fsencode(cls.work), b"top")
        for path, text in [*cls.FILES.items(), *((p, "left out") for p in cls.LEFT_OUT)]:
            os.makedirs(os.path.dirname(os.path.join(cls.top, path.encode())), exist_ok=True)
            write(os.path.join(cls.top, path.encode()), text.encode())
        write(os.path.join(cls.top, cls.BAD_NAME), b"bad")
        os.mkdir(os.path.join(cls.top, b"alpha", b"beta", b"report dir"))
        cls.options = ["--page", "-r", "-l", "--no-hidden", "--exclude", "*.none", "-o", "index.html"]
        run_cli(*cls.options, "--tree-index", cls.top)

    def switch_on_and_search(self, page, query):
        """Opens `page`, types `query`, switches the whole tree on and waits
        for its matches: the matches' names, folders and links, and the
        milliseconds from the switch to the matches shown."""
        self.open(os.fsdecode(page))
        self.driver.set_script_timeout(120)
        elapsed = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1], f = document.querySelector('input[type=search]');
            f.value = arguments[0]; f.dispatchEvent(new Event('input'));
            const on = document.querySelector('label input[type=checkbox]'), start = performance.now();
            on.click();
            const wait = () => /whole tree/.test(document.querySelector('[role=status]').textContent) &&
                !/Loading/.test(document.querySelector('[role=status]').textContent)
                ? requestAnimationFrame(() => done(performance.now() - start)) : setTimeout(wait, 5);
            wait();""", query)
        rows = self.driver.execute_script("""
            return [...document.querySelectorAll('table[aria-label] tbody tr')].map(r =>
                [r.cells[0].querySelector('a').textContent, r.cells[1].textContent,
                 r.cells[0].querySelector('a').href, r.cells[1].querySelector('a').href])""")
        return rows, elapsed

    def test_depth_two_finds_entries_in_three_folders_and_each_link_opens_its_file(self):
        page = os.path.join(self.top, b"alpha", b"beta", b"index.html")
        rows, _ = self.switch_on_and_search(page, "REPORT")
        found = {name: folder for name, folder, _, _ in rows}
        expected = {"report one.txt": "/alpha/", "report two.txt": "/alpha/beta/",
                    "report three.txt": "/gamma delta/", "report dir/": "/alpha/beta/",
                    "space report.txt": "/names/", "hash#report.txt": "/names/",
                    "percent%20report.txt": "/names/", "café report 日本.txt": "/names/",
                    "amp&report?.txt": "/names/", "bad\ufffd\ufffd report.txt": "/names/"}
        self.assertEqual(found, expected)
        self.assertEqual(self.status(), "10 of 15 in the whole tree")
        # Every link opens the file the name stands for, or the index of the
        # directory; every folder link the index of its folder.
        contents = {name.rsplit("/", 1)[1]: text for name, text in self.FILES.items()}
        contents["bad\ufffd\ufffd report.txt"] = "bad"
        for name, folder, href, folder_href in rows:
            with self.subTest(name=name):
                self.driver.get(href)
                if name.endswith("/"):
                    self.assertEqual(self.driver.find_element("css selector", "h1").text,
                                     "Index of top / alpha / beta / report dir")
                else:
                    self.assertEqual(self.driver.find_element("tag name", "body").text, contents[name])
                self.driver.get(folder_href)
                heading = " / ".join(["Index of top", *folder.strip("/").split("/")]).rstrip(" /")
                self.assertEqual(self.driver.find_element("css selector", "h1").text, heading)

    def test_switch_off_shows_the_page_again_and_no_script_no_switch(self):
        page = os.path.join(self.top, b"names", b"index.html")
        rows, _ = self.switch_on_and_search(page, "report")
        self.assertEqual(len(rows), 10)
        self.driver.find_element("css selector", "label input[type=checkbox]").click()
        self.assertEqual(self.status(), "6 of 6 shown")
        self.assertTrue(self.driver.find_element("css selector", "main>table").is_displayed())
        self.assertEqual(self.driver.find_element("css selector", "label").text, "Search the whole tree")
        self.assertEqual(self.severe_console_messages(), [])
        driver, profile = chromium(scripts=False)
        try:
            driver.get("file://" + os.fsdecode(page))
            self.assertEqual(driver.find_elements("css selector", "input, label"), [])
            self.assertEqual([s.get_attribute("src") for s in driver.find_elements("css selector", "script[src]")],
                             [])
        finally:
            driver.quit()
            shutil.rmtree(profile, ignore_errors=True)

    def test_manifest_holds_exactly_the_listed_entries(self):
        manifest, rows = tree_manifest(self.top)
        self.assertTrue(manifest["generator"].startswith("QUILLDEX "))
        self.assertEqual(manifest["index"], "index.html")
        left_out = lambda name: name.startswith(b".") or name.endswith(b".none")
        self.assertEqual(rows, walked_tree(self.top, left_out))
        # The script's data, before the search it carries, is smaller.
        with open(os.path.join(self.top, b"index.tree.js"), "rb") as f:
            script = f.read()
        data = script[:script.index(b"]});\r\n") + 6]
        self.assertLess(len(data), os.path.getsize(os.path.join(self.top, b"index.tree.json")))
        self.assertTrue(script.endswith(b"})(window.quilldexTreePage)\r\n"))

    def test_pages_differ_from_a_run_without_only_by_the_switch_script(self):
        copy = os.path.join(os.fsencode(self.work), b"without", b"top")
        shutil.copytree(self.top, copy, symlinks=True)
        for name in [b"index.tree.json", b"index.tree.js"]:
            os.remove(os.path.join(copy, name))
        # Shown on the rows that lead up to it.
        top_time = os.stat(self.top).st_mtime_ns
        os.utime(copy, ns=(top_time, top_time))
        run_cli(*self.options, copy)
        for page in index_files(self.top):
            with self.subTest(page=page):
                with open(page, "rb") as f:
                    with_switch = f.read()
                with open(os.path.join(copy, os.path.relpath(page, self.top)), "rb") as f:
                    without = f.read()
                depth = os.path.relpath(page, self.top).count(b"/")
                script = re.search(rb'<script data-tree="((?:\.\./)*)index\.tree\.js">.*?</script>\r\n',
                                   with_switch, re.S)
                self.assertEqual(script.group(1), b"../" * depth)
                self.assertEqual(with_switch.replace(script.group(0), b""), without)
                self.assertNotIn(b"index.tree.", without)

    def test_second_run_writes_nothing_check_lists_what_changed_and_foreign_files_stay(self):
        top = os.path.join(os.fsencode(self.work), b"again")
        os.makedirs(os.path.join(top, b"sub"))
        write(os.path.join(top, b"sub", b"a.txt"), b"a")
        options = ["--page", "-r", "-o", "index.html", "--tree-index"]
        run_cli(*options, top)
        manifest_files = [os.path.join(top, b"index.tree.json"), os.path.join(top, b"index.tree.js")]
        before = [(os.stat(p).st_ino, os.stat(p).st_mtime_ns) for p in manifest_files]
        time.sleep(0.01)
        run_cli(*options, top)
        self.assertEqual([(os.stat(p).st_ino, os.stat(p).st_mtime_ns) for p in manifest_files], before)
        self.assertEqual(run_cli(*options, "--check", top).stdout, "")
        write(os.path.join(top, b"sub", b"b.txt"), b"b")
        checked = run_cli(*options, "--check", top, check=False)
        self.assertEqual(checked.returncode, 1)
        self.assertEqual(checked.stdout.splitlines()[-2:],
                         [os.fsdecode(p) for p in manifest_files])
        # Written into the top, they leave its time as it was: the pages
        # one level down show it on their ".." rows.
        top_time = os.stat(top).st_mtime_ns
        for round_number in range(5):
            write(os.path.join(top, b"sub", b"c%d.txt" % round_number), b"c")
            run_cli(*options, top)
            self.assertEqual(os.stat(top).st_mtime_ns, top_time)
            self.assertEqual(run_cli(*options, "--check", top).stdout, "")
        for path in manifest_files:
            with self.subTest(path=path):
                write(path, b'{"generator": "another program"}')
                kept = run_cli(*options, top, check=False)
                self.assertEqual(kept.returncode, 0)
                self.assertIn("kept(%s): not written by this program" % os.fsdecode(os.path.basename(path)),
                              kept.stderr)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), b'{"generator": "another program"}')
                run_cli(*options, "--force", top)
                with open(path, "rb") as f:
                    self.assertIn(b'{"generator": "QUILLDEX ', f.read(100))

    def test_titles_are_searched_and_shown_beside_their_names(self):
        top = os.path.join(os.fsencode(self.work), b"titled")
        os.makedirs(os.path.join(top, b"docs"))
        write(os.path.join(top, b"docs", b"q3.html"), b"<title>Quarterly &amp; yearly</title>")
        write(os.path.join(top, b"docs", b"quarterly.txt"), b"both")
        write(os.path.join(top, b"other.html"), b"<title>Other</title>")
        run_cli("--page", "-r", "-t", "-o", "index.html", "--tree-index", top)
        for query, expected in [("quarterly", ["Quarterly & yearly q3.html", "quarterly.txt"]),
                                ("& YEAR", ["Quarterly & yearly q3.html"]),
                                ("q3", ["Quarterly & yearly q3.html"]),
                                ("zzz", [])]:
            with self.subTest(query=query):
                self.switch_on_and_search(os.path.join(top, b"index.html"), query)
                names = self.driver.execute_script(
                    "return [...document.querySelectorAll('table[aria-label] tbody tr')]"
                    ".map(r => r.cells[0].textContent)")
                self.assertEqual(names, expected)
                self.assertEqual(self.status(), "%d of 4 in the whole tree" % len(expected))

    def test_100000_entries_load_and_answer_keystrokes_quickly(self):
        top = os.path.join(os.fsencode(self.work), b"big")
        for folder in range(100):
            path = os.path.join(top, b"folder-%03d" % folder)
            os.makedirs(path)
            for number in range(999):
                write(os.path.join(path, b"file-%03d-%03d.txt" % (folder, number)))
        run_cli("--page", "-r", "-l", "-o", "index.html", "--tree-index", top)
        rows, loaded = self.switch_on_and_search(os.path.join(top, b"folder-050", b"index.html"), "file-07")
        self.assertEqual(self.status(), "9990 of 100000 in the whole tree, the first 200 shown")
        self.assertEqual(rows[0][:2], ["file-070-000.txt", "/folder-070/"])
        self.assertEqual(len(rows), 200)
        keystrokes = []
        for query in ["file-07", "file-070", "file-070-9", "file-070-99", "-07"]:
            keystrokes.append(self.driver.execute_async_script("""
                const done = arguments[arguments.length - 1], start = performance.now(),
                      f = document.querySelector('input[type=search]');
                f.value = arguments[0]; f.dispatchEvent(new Event('input'));
                document.body.offsetHeight;
                requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0));""", query))
        # file-07x-*, file-*-07x less those counted twice, and folder-07x.
        self.assertEqual(self.status(), "10900 of 100000 in the whole tree, the first 200 shown")
        print("\n100,000 entries in the whole tree: loaded with first matches in %.0f ms; keystrokes %s ms"
              % (loaded, ", ".join("%.0f" % k for k in keystrokes)), file=sys.stderr)
        self.assertLess(loaded, 5000)
        self.assertLess(max(keystrokes), 1000)
        self.assertEqual(self.severe_console_messages(), [])

    def test_pages_with_the_switch_on_are_valid_and_accessible(self):
        page = os.path.join(self.top, b"names", b"index.html")
        plain = os.path.join(self.work, "plain-tree.html")
        shutil.copyfile(page, plain)
        result = subprocess.run(["java", "-jar", ARGS.vnu, "--errors-only", "--format", "gnu", plain],
                                capture_output=True, text=True, errors="replace")
        self.assertEqual(result.returncode, 0, result.stderr + result.stdout)
        self.switch_on_and_search(page, "report")
        with open(ARGS.axe, encoding="utf-8") as f:
            self.driver.execute_script(f.read())
        result = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            axe.run(document, {runOnly: {type: 'rule', values: axe.getRules().map(rule => rule.ruleId)}})
               .then(r => done(r.violations.map(v => [v.id, v.nodes.map(n => n.target.join(' '))])),
                     e => done([['error', String(e)]]));""")
        self.assertEqual(result, [])


ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
THEME = os.path.join(ROOT, "docs", "theme-example.css")
# Central European time with its summer time, so that offsets differ by date.
ZONE = "CET-1CEST,M3.5.0,M10.5.0/3"


def png_image(width, height):
    """A PNG image of one colour, so that the README's image has something to load."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"\x9c\x3d\x12" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


README_MD = """# The archive

Files of the *site*, with [the notes](notes.txt) and [the docs](docs/index.html).

## Contents

| Folder | Holds |
|:--|--:|
| docs | manuals |
| a | deep things |

![a pixel](pixel.png)

<script>document.title = "pwned"</script>

<img src="x" onerror="document.title = 'pwned'">

[a trap](javascript:document.title='pwned') and [data](data:text/html,<script>alert(1)</script>)
"""
README_TXT = "Plain text: a < b && c > d\n<script>document.title = 'pwned'</script>\n"
SITE_HEADER = '<p class="banner">The example archive</p>\n'
SITE_FOOTER = '<p class="contact">Write to the keeper</p>\n'
LINKED_CSS = "body { background-color: rgb(1, 2, 3); }\n"


def site_tree(top):
    """One tree for every README, header, footer, style and unit case."""
    os.makedirs(os.path.join(top, "a", "b", "c"))
    os.makedirs(os.path.join(top, "docs"))
    os.makedirs(os.path.join(top, "huge"))
    write(os.path.join(top, "README.md"), README_MD.encode())
    write(os.path.join(top, "pixel.png"), png_image(64, 12))
    write(os.path.join(top, "notes.txt"), b"notes", mtime=1500000000)
    write(os.path.join(top, "winter.txt"), b"w", mtime=978307200)
    write(os.path.join(top, "five-gib.bin"), size=5 << 30)
    write(os.path.join(top, "docs", "README.txt"), README_TXT.encode())
    write(os.path.join(top, "docs", "HEADER.html"), b'<p class="from-header">Header of the docs</p>\n')
    write(os.path.join(top, "huge", "README.md"), b"# big\n" + b"x" * (300 * 1024))
    write(os.path.join(top, "a", "b", "c", "deep.txt"), b"deep")
    write(os.path.join(top, "a", "HEADER.md"), b"| Header | table |\n|---|---|\n| above | the listing |\n")
    write(os.path.join(top, "linked.css"), LINKED_CSS.encode())


class SitePages(unittest.TestCase):
    """README and header files, the site's header, footer and style, -s human
    and times with their offset: valid HTML, and as Chromium shows them."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quilldex-site-")
        cls.top = os.path.join(cls.work, "top")
        site_tree(cls.top)
        cls.header = os.path.join(cls.work, "header.html")
        cls.footer = os.path.join(cls.work, "footer.html")
        write(cls.header, SITE_HEADER.encode())
        write(cls.footer, SITE_FOOTER.encode())
        cls.site = ["--page", "-r", "-l", "--readme", "-s", "human", "--time", "--date",
                    "--header", cls.header, "--footer", cls.footer]
        # index.html: themed inline; linked.html: a linked style sheet;
        # allowed.html: HTML files let in; bare.html: no style of the site.
        cls.themed = run_cli(*cls.site, "--css", THEME, "-o", "index.html", cls.top, zone=ZONE)
        run_cli(*cls.site, "--css-href", "linked.css", "-o", "linked.html", cls.top, zone=ZONE)
        run_cli(*cls.site, "--allow-html", "-o", "allowed.html", cls.top, zone=ZONE)
        run_cli("--page", "-r", "-o", "bare.html", cls.top)
        run_cli(*cls.site, "--dir-sizes", "-o", "sizes.html", cls.top, zone=ZONE)
        cls.driver, cls.profile = chromium()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)
        shutil.rmtree(cls.work)

    def open(self, *path):
        self.driver.get("file://" + os.path.join(self.top, *path))

    def find(self, selector):
        return self.driver.find_elements("css selector", selector)

    def style_of(self, selector, prop):
        return self.driver.execute_script(
            "return getComputedStyle(document.querySelector(arguments[0]))[arguments[1]]", selector, prop)

    def test_pages_are_valid_html(self):
        pages = [p for name in [b"index.html", b"linked.html", b"allowed.html", b"sizes.html"]
                 for p in index_files(self.top, name)]
        self.assertEqual(len(pages), 4 * 6)
        PageIsValidHtml.validate(self, pages, "site")

    def test_files_left_out_are_named_on_standard_error(self):
        self.assertEqual(self.themed.returncode, 0)
        self.assertEqual(sorted(self.themed.stderr.splitlines()), [
            "quilldex-cli: readme(docs/HEADER.html): left out, HTML is inserted only with --allow-html",
            "quilldex-cli: readme(huge/README.md): left out, larger than 256 KiB",
        ])

    def test_readme_markdown_with_headings_table_links_and_image(self):
        self.open("index.html")
        self.assertEqual([h.text for h in self.find(".readme h1, .readme h2")], ["The archive", "Contents"])
        self.assertEqual([td.text for td in self.find(".readme td")], ["docs", "manuals", "a", "deep things"])
        self.assertEqual(self.style_of(".readme td + td", "text-align"), "right")
        image = self.find(".readme img")[0]
        self.assertEqual(self.driver.execute_script("return arguments[0].naturalWidth", image), 64)
        self.driver.find_element("link text", "the docs").click()
        self.assertEqual(self.driver.current_url, "file://" + os.path.join(self.top, "docs", "index.html"))
        self.assertEqual(self.driver.find_element("tag name", "h1").text, "Index of top / docs")

    def test_hostile_markdown_runs_nothing(self):
        self.open("index.html")
        self.assertEqual(self.find(".readme script, .readme [onerror]"), [])
        self.assertEqual(self.find(".readme a[href^='javascript'], .readme a[href^='data']"), [])
        self.driver.find_element("link text", "a trap").click()
        self.assertEqual(self.driver.title, "Index of top")

    def test_plain_text_readme_is_shown_as_written(self):
        self.open("docs", "index.html")
        self.assertEqual(self.find(".readme pre")[0].get_attribute("textContent"), README_TXT)
        self.assertEqual(self.driver.title, "Index of top / docs")

    def test_html_header_only_with_allow_html(self):
        self.open("docs", "index.html")
        self.assertEqual(self.find(".readme-header"), [])
        self.open("docs", "allowed.html")
        self.assertEqual(self.find(".readme-header.html .from-header")[0].text, "Header of the docs")
        # The listing still sorts: the script finds its table.
        self.find("th button")[0].click()
        self.assertEqual(self.find("th[aria-sort]")[0].text.strip(" \u25b2"), "Filename")

    def test_listing_sorts_below_a_header_that_holds_a_table(self):
        self.open("a", "index.html")
        self.assertEqual([td.text for td in self.find(".readme-header.markdown td")], ["above", "the listing"])
        self.assertEqual(self.find(".readme-header th button"), [])
        self.driver.find_element("xpath", "//th[normalize-space()='Size']/button").click()
        self.assertEqual(self.driver.find_element("xpath", "//th[@aria-sort]").text.strip(" \u25b2"), "Size")
        self.assertEqual(len(self.find(".readme-header ~ input[type=search]")), 1)

    def test_readme_over_256_kib_is_left_out(self):
        self.open("huge", "index.html")
        self.assertEqual(self.find(".readme"), [])

    def test_site_header_and_footer_on_every_page(self):
        for path in [("index.html",), ("docs", "index.html"), ("a", "b", "c", "index.html")]:
            with self.subTest(path=path):
                self.open(*path)
                self.assertEqual(self.find(".site-header .banner")[0].text, "The example archive")
                footer = self.find("footer > *")
                self.assertEqual(footer[1].find_element("css selector", ".contact").text, "Write to the keeper")
                self.assertTrue(footer[2].text.startswith("Created by"))

    def test_style_sheets_at_depth_three_under_file_urls(self):
        for page, color in [("bare.html", "rgb(255, 255, 255)"), ("index.html", "rgb(251, 246, 236)"),
                            ("linked.html", "rgb(1, 2, 3)")]:
            with self.subTest(page=page):
                self.open("a", "b", "c", page)
                self.assertEqual(self.style_of("body", "background-color"), color)
        self.open("a", "b", "c", "linked.html")
        link = self.find("link[rel=stylesheet]")[0]
        self.assertEqual(link.get_attribute("href"), "file://" + os.path.join(self.top, "linked.css"))

    def test_human_size_with_bytes_as_tooltip(self):
        self.open("index.html")
        cell = self.driver.find_element("xpath", "//tr[td[normalize-space()='five-gib.bin']]/td[2]")
        self.assertEqual(cell.text, "5.00 GiB")
        self.assertEqual(cell.get_attribute("title"), "5368709120 bytes")
        self.assertTrue(self.find("footer p")[0].text.endswith("5.00 GiB"))

    def test_times_carry_the_offset_of_their_date(self):
        self.open("index.html")
        expected = {"notes.txt": "2017-07-14T04:40:00+02:00", "winter.txt": "2001-01-01T01:00:00+01:00"}
        for name, stamp in expected.items():
            row = self.driver.find_element("xpath", "//tr[td[normalize-space()='%s']]" % name)
            times = row.find_elements("css selector", "td time")
            self.assertEqual([t.get_attribute("datetime") for t in times], [stamp, stamp])
        # Every time element names the same moment as its row's raw time.
        mismatched = self.driver.execute_script(
            "return [...document.querySelectorAll('tbody tr')].filter(r => [...r.querySelectorAll('time')]"
            ".some(t => Date.parse(t.dateTime) / 1000 != +r.dataset.mtime)).length")
        self.assertEqual(mismatched, 0)
        self.assertTrue(all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d",
                                         t.get_attribute("datetime")) for t in self.find("time")))

    def test_folder_totals_are_the_sums_below_and_sort_among_the_files(self):
        def below(folder):
            found = [os.path.join(p, f) for p, _, files in os.walk(folder) for f in files if f != "sizes.html"]
            return sum(os.path.getsize(f) for f in found), len(found)

        self.open("sizes.html")
        rows = self.driver.execute_script(
            "return [...document.querySelectorAll('tr.dir')].map(r => "
            "[r.cells[0].textContent, +r.dataset.size, +r.dataset.files, r.cells[1].textContent])")
        self.assertEqual([r[0] for r in rows], ["a/", "docs/", "huge/"])
        for name, size, files, text in rows:
            self.assertEqual((size, files), below(os.path.join(self.top, name)), name)
            self.assertTrue(text.endswith(" \u00b7 %d files" % files), text)
        self.driver.find_element("xpath", "//th[@data-sort='size']//button").click()
        order = self.driver.execute_script(
            "return [...document.querySelectorAll('tbody tr[data-size]')].map(r => +r.dataset.size)")
        self.assertEqual(order, sorted(order))
        self.assertEqual(len(order), len(self.find("tbody tr[data-size]")))

    def test_check_names_exactly_the_pages_a_change_reaches(self):
        top = os.path.join(self.work, "check")
        shutil.copytree(self.top, top)
        options = [*self.site, "--css", THEME, "-o", "index.html"]
        run_cli(*options, top, zone=ZONE)
        self.assertEqual(run_cli(*options, "--check", top, zone=ZONE).returncode, 0)
        pages = index_files(top)
        before = {p: os.stat(p).st_mtime_ns for p in pages}
        write(os.path.join(top, "docs", "README.txt"), b"changed\n")
        result = run_cli(*options, "--check", top, zone=ZONE, check=False)
        self.assertEqual((result.returncode, result.stdout), (1, os.path.join(top, "docs", "index.html") + "\n"))
        run_cli(*options, top, zone=ZONE)
        changed = [p for p in pages if os.stat(p).st_mtime_ns != before[p]]
        self.assertEqual(changed, [os.path.join(top, "docs", "index.html").encode()])
        # The site footer is on every page.
        write(self.footer, b"<p>new footer</p>\n")
        try:
            result = run_cli(*options, "--check", top, zone=ZONE, check=False)
            self.assertEqual(len(result.stdout.splitlines()), len(pages))
        finally:
            write(self.footer, SITE_FOOTER.encode())

    def test_screenshot_of_a_themed_page(self):
        self.driver.set_window_size(1000, 1400)
        try:
            self.open("index.html")
            path = os.path.join(ARGS.out, "themed-page.png")
            self.assertTrue(self.driver.save_screenshot(path))
            self.assertGreater(os.path.getsize(path), 1000)
        finally:
            self.driver.set_window_size(1000, 760)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--vnu", required=True)
    parser.add_argument("--axe", required=True)
    # Rounds of LargePages' comparison with a web server's listing (0: none).
    parser.add_argument("--compare", type=int, default=0)
    parser.add_argument("--out", required=True)
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.out, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
