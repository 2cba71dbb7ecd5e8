#!/usr/bin/env python3
"""quilldex-cli --json, read back with Python's JSON parser.

usage: json_test.py QUILLDEX_CLI
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI = None

# 2001-04-25T13:05:09Z and 1999-12-31T23:59:59Z.
APRIL = 988203909
NEW_YEAR_EVE = 946684799


def run(*args, cwd=None, env=None):
    result = subprocess.run([CLI, *args], cwd=cwd, env=env, capture_output=True, check=False)
    if result.returncode != 0:
        raise AssertionError(f"quilldex-cli {args}: exit {result.returncode}: {result.stderr!r}")
    return result.stdout


def readable(raw):
    """The bytes as text, each byte that is not part of well-formed UTF-8
    replaced by U+FFFD."""
    text, i = "", 0
    while i < len(raw):
        for n in range(1, 5):
            try:
                char = raw[i:i + n].decode("utf-8")
            except UnicodeDecodeError:
                continue
            text, i = text + char, i + n
            break
        else:
            text, i = text + "\ufffd", i + 1
    return text


def make_file(path, content=b"", mtime=APRIL):
    with open(path, "wb") as f:
        f.write(content)
    os.utime(path, (mtime, mtime))


class JsonListing(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="quilldex-json-")
        self.top = os.fsencode(self.root)

    def tearDown(self):
        shutil.rmtree(self.root)

    def path(self, *parts):
        return os.path.join(self.top, *[p if isinstance(p, bytes) else p.encode() for p in parts])

    def test_values_types_and_utc_times(self):
        make_file(self.path("notes.txt"), b"x" * 500)
        # A title is decoded text: references too.
        make_file(self.path("page.html"), b"<html><title>Caf\xc3\xa9 &amp; &#233;&#0; \"menu\"</title>",
                  NEW_YEAR_EVE)
        make_file(self.path("plain.html"), b"<html>no title</html>")
        make_file(self.path('odd "q" \\ \n\t.txt'), b"")
        os.mkdir(self.path("sub"))
        os.utime(self.path("sub"), (APRIL, APRIL))
        # Local time must not leak into "modified".
        env = dict(os.environ, TZ="CET-1CEST,M3.5.0,M10.5.0/3")
        run("--json", "-r", "-t", "-o", "index.json", self.root, env=env)
        with open(self.path("index.json"), "rb") as f:
            document = json.loads(f.read())
        self.assertEqual(document["generator"], "QUILLDEX 1.0.7")
        self.assertEqual(document["directory"], "/")
        # The top of a recursive run lists the way up, as the table does.
        self.assertEqual(document["entries"][0]["name"], "..")
        self.assertEqual(document["entries"][0]["type"], "directory")
        self.assertEqual(document["entries"][1:], [
            {"name": "notes.txt", "type": "file", "size": 500, "modified": "2001-04-25T13:05:09Z"},
            {"name": 'odd "q" \\ \n\t.txt', "type": "file", "size": 0, "modified": "2001-04-25T13:05:09Z"},
            {"name": "page.html", "type": "file", "size": 50, "modified": "1999-12-31T23:59:59Z",
             "title": 'Caf\u00e9 & \u00e9\ufffd "menu"'},
            {"name": "plain.html", "type": "file", "size": 21, "modified": "2001-04-25T13:05:09Z"},
            {"name": "sub", "type": "directory", "modified": "2001-04-25T13:05:09Z"},
        ])
        with open(self.path("sub", "index.json"), "rb") as f:
            below = json.loads(f.read())
        self.assertEqual(below["directory"], "/sub/")
        self.assertEqual([e["name"] for e in below["entries"]], [".."])

    def test_recursive_default_name_is_index_json(self):
        os.mkdir(self.path("sub"))
        run("--json", "-r", self.root)
        self.assertTrue(os.path.exists(self.path("index.json")))
        self.assertTrue(os.path.exists(self.path("sub", "index.json")))
        self.assertFalse(os.path.exists(self.path("index.html")))

    def test_same_selection_and_order_as_the_table(self):
        for name, size in [("b10", 3), ("b9", 1), ("a.txt", 2), ("skip.tmp", 5)]:
            make_file(self.path(name), b"x" * size)
        args = ["--sort", "natural", "--reverse", "--exclude", "*.tmp", self.root]
        names = [e["name"] for e in json.loads(run("--json", *args))["entries"]]
        self.assertEqual(names, ["b10", "b9", "a.txt"])
        table = run("--no-size", *args).decode()
        self.assertEqual([line[8:-10] for line in table.split("\r\n")[1:-1]], names)

    def test_an_empty_selection_is_still_a_document(self):
        make_file(self.path("a.txt"))
        document = json.loads(run("--json", "-m", "*.none", self.root))
        self.assertEqual(document["entries"], [])

    def test_names_of_every_byte_round_trip_through_name_bytes(self):
        # Every byte a POSIX name can hold, in one name, and names that are
        # well-formed UTF-8 or broken in the usual ways.
        every_byte = bytes(b for b in range(1, 256) if b != ord("/"))
        names = [every_byte, b"caf\xe9.txt", b"\xc3\xa9t\xc3\xa9.txt", b"\xed\xa0\x80surrogate",
                 b"\xc0\xafoverlong", b"\xf4\x90\x80\x80big", b"cut\xe2\x82"]
        for name in names:
            make_file(self.path(name))
        entries = json.loads(run("--json", self.root))["entries"]
        self.assertEqual(len(entries), len(names))
        found = set()
        for entry in entries:
            if "name_bytes" in entry:
                raw = bytes.fromhex(entry["name_bytes"])
                self.assertEqual(entry["name_bytes"], entry["name_bytes"].lower())
                self.assertEqual(entry["name"], readable(raw))
            else:
                raw = entry["name"].encode("utf-8")
            found.add(raw)
        self.assertEqual(found, set(names))
        by_name = {e["name"]: e for e in entries}
        self.assertNotIn("name_bytes", by_name["\u00e9t\u00e9.txt"])
        self.assertEqual(by_name["caf\ufffd.txt"]["name_bytes"], "636166e92e747874")


def main():
    global CLI
    CLI = sys.argv.pop(1)
    unittest.main(verbosity=1)


if __name__ == "__main__":
    main()
