#!/usr/bin/python3
"""Times the whole-tree search of a page written with --tree-index, in
headless Chromium from file://: from switching the search on (with QUERY
typed) to its first matches on screen, then each of the KEYSTROKES (the
texts the filter holds after each key) to the next frame.

    tree_search.py PAGE QUERY KEYSTROKE...

Prints one line: the milliseconds to load and show the first matches, the
milliseconds of each keystroke, and what the status line said last.
"""

import shutil
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

LOAD = """
    const done = arguments[arguments.length - 1], f = document.querySelector('input[type=search]'),
          status = document.querySelector('[role=status]');
    f.value = arguments[0]; f.dispatchEvent(new Event('input'));
    const on = document.querySelector('label input[type=checkbox]'), start = performance.now();
    on.click();
    const wait = () => /whole tree/.test(status.textContent) && !/Loading/.test(status.textContent)
        ? requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0)) : setTimeout(wait, 5);
    wait();"""

KEYSTROKE = """
    const done = arguments[arguments.length - 1], start = performance.now(),
          f = document.querySelector('input[type=search]');
    f.value = arguments[0]; f.dispatchEvent(new Event('input'));
    document.body.offsetHeight;
    requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0));"""


def main():
    page, query, keystrokes = sys.argv[1], sys.argv[2], sys.argv[3:]
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="quilldex-bench-chromium-")
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                 "--window-size=1000,760", "--user-data-dir=" + profile]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_page_load_timeout(120)
        driver.set_script_timeout(120)
        driver.get("file://" + page)
        loaded = driver.execute_async_script(LOAD, query)
        times = [driver.execute_async_script(KEYSTROKE, text) for text in keystrokes]
        status = driver.find_element("css selector", "[role=status]").text
        print("%.0f %s %s" % (loaded, ",".join("%.0f" % t for t in times), status.replace(" ", "_")))
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
