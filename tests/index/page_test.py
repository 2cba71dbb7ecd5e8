#!/usr/bin/python3
"""The full page (quilldex-cli --page) as its readers meet it.

A validating HTML parser (the Nu HTML Checker) reads the pages of a tree
whose names hold every byte value and every character that markup or URLs
give a meaning to; a real browser (headless Chromium through Selenium)
opens pages from file://, sorts, filters, follows links, and shows the page
without its script.

    page_test.py --cli QUILLDEX_CLI --vnu VNU_JAR --out FOLDER [unittest args]

FOLDER receives a screenshot of a page (page.png) and the pages that
failed validation.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

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


def run_cli(*arguments):
    env = dict(os.environ, TZ="UTC")
    subprocess.run([ARGS.cli, "-q", *arguments], check=True, env=env)


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
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(60)
    return driver, profile


class PageInBrowser(unittest.TestCase):
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
        cls.work = tempfile.mkdtemp(prefix="quilldex-browser-")
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
        cls.driver, cls.profile = chromium()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)
        shutil.rmtree(cls.work)

    def open(self, path):
        self.driver.get("file://" + path)

    def rows(self):
        from selenium.webdriver.common.by import By
        return self.driver.find_elements(By.CSS_SELECTOR, "tbody tr")

    def names(self, visible_only=False):
        return [row.find_element("css selector", "td").text for row in self.rows()
                if not visible_only or row.is_displayed()]

    def header(self, text):
        return self.driver.find_element("xpath", "//th[normalize-space()='%s']" % text)

    def sort_states(self):
        return {th.text.strip(" \u25b2\u25bc"): th.get_attribute("aria-sort")
                for th in self.driver.find_elements("css selector", "th")}

    def expected(self, key, reverse):
        entries = [(name, -1, mtime) for name, mtime in self.DIRECTORIES.items()]
        entries += [(name, size, mtime) for name, (size, mtime) in self.FILES.items()]
        index = {"name": lambda e: (e[0].upper(), e[0]), "size": lambda e: e[1], "time": lambda e: e[2]}[key]
        ascending = [e[0] for e in sorted(entries, key=index)]
        # Descending turns the whole order round, ties (the directories'
        # sizes) included.
        return [".."] + (ascending[::-1] if reverse else ascending)

    def test_each_header_sorts_by_raw_values_and_again_in_reverse(self):
        self.open(os.path.join(self.top, "index.html"))
        for header, key in [("Size", "size"), ("Date", "time"), ("Time", "time"), ("Filename", "name")]:
            with self.subTest(header=header):
                button = self.header(header).find_element("css selector", "button")
                button.click()
                self.assertEqual(self.names(), self.expected(key, False))
                states = self.sort_states()
                self.assertEqual(states.pop(header), "ascending")
                self.assertEqual(set(states.values()), {None})
                button.click()
                self.assertEqual(self.names(), self.expected(key, True))
                self.assertEqual(self.sort_states()[header], "descending")

    def test_a_header_sorts_from_the_keyboard(self):
        from selenium.webdriver.common.keys import Keys
        self.open(os.path.join(self.top, "index.html"))
        button = self.header("Size").find_element("css selector", "button")
        button.send_keys(Keys.ENTER)
        self.assertEqual(self.names(), self.expected("size", False))
        button.send_keys(Keys.SPACE)
        self.assertEqual(self.names(), self.expected("size", True))

    def test_filter_keeps_the_rows_whose_name_holds_the_text(self):
        self.open(os.path.join(self.top, "index.html"))
        box = self.driver.find_element("css selector", "input[type=search]")
        box.send_keys("AN")
        self.assertEqual(self.names(visible_only=True), ["banana.txt"])
        box.send_keys("\b\b" + "ü")
        self.assertEqual(self.names(visible_only=True), ["café menü.txt"])
        box.send_keys("\b")
        self.assertEqual(len(self.names(visible_only=True)), len(self.rows()))

    def test_directory_link_and_breadcrumb_open_the_right_index(self):
        self.open(os.path.join(self.top, "index.html"))
        self.driver.find_element("link text", "sub").click()
        self.assertEqual(self.driver.current_url, "file://" + os.path.join(self.top, "sub", "index.html"))
        self.assertEqual(self.driver.find_element("tag name", "h1").text, "Index of /sub/")
        self.assertEqual(self.names(), ["..", "inner.txt"])
        self.driver.find_element("css selector", "nav a").click()
        self.assertEqual(self.driver.current_url, "file://" + os.path.join(self.top, "index.html"))
        self.assertEqual(self.driver.find_element("tag name", "h1").text, "Index of /")

    def test_directories_stay_first_when_the_listing_put_them_first(self):
        top = os.path.join(self.work, "dirs-first")
        shutil.copytree(self.top, top)
        run_cli("--page", "--dirs-first", "-r", "--time", "-o", "index.html", top)
        self.open(os.path.join(top, "index.html"))
        directories = set(self.DIRECTORIES)
        for header in ["Size", "Time", "Filename"]:
            button = self.header(header).find_element("css selector", "button")
            for _ in range(2):
                button.click()
                names = self.names()[1:]
                kinds = [name in directories for name in names]
                self.assertEqual(kinds, sorted(kinds, reverse=True), (header, names))

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
                button = self.header("Size").find_element("css selector", "button")
                button.click()
                self.header("Filename").find_element("css selector", "button").click()
                self.assertEqual(self.names(), expected)
                self.header("Filename").find_element("css selector", "button").click()
                self.assertEqual(self.names(), expected[::-1])

    def test_screenshot(self):
        self.open(os.path.join(self.top, "index.html"))
        self.header("Size").find_element("css selector", "button").click()
        path = os.path.join(ARGS.out, "page.png")
        self.assertTrue(self.driver.save_screenshot(path))
        self.assertGreater(os.path.getsize(path), 1000)

    def test_without_scripts_every_row_is_there(self):
        driver, profile = chromium(scripts=False)
        try:
            driver.get("file://" + os.path.join(self.top, "index.html"))
            rows = driver.find_elements("css selector", "tbody tr")
            self.assertEqual(len(rows), 1 + len(self.FILES) + len(self.DIRECTORIES))
            self.assertTrue(all(row.is_displayed() for row in rows))
            self.assertEqual(driver.find_elements("css selector", "th button, input"), [])
            self.assertEqual(driver.find_element("css selector", "td a[href='caf%C3%A9%20men%C3%BC.txt']").text,
                             "café menü.txt")
        finally:
            driver.quit()
            shutil.rmtree(profile, ignore_errors=True)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--vnu", required=True)
    parser.add_argument("--out", required=True)
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.out, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
