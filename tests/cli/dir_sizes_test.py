#!/usr/bin/env python3
"""quilldex-cli -r --dir-sizes: every folder total, in every form, equals the
sum this test works out from the tree itself.

usage: dir_sizes_test.py QUILLDEX_CLI
"""
import fnmatch
import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI = None
NOBODY = 65534


def run(*args, expect=0, unprivileged=False, limit_files=None):
    command = [CLI, *args]
    # Root reads any directory: the unreadable one is met as nobody.
    if unprivileged and os.geteuid() == 0:
        command = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", *command]

    def limit():
        if limit_files:
            resource.setrlimit(resource.RLIMIT_NOFILE, (limit_files, limit_files))

    result = subprocess.run(command, capture_output=True, check=False, preexec_fn=limit)
    if result.returncode != expect:
        raise AssertionError(f"{command}: exit {result.returncode}: {result.stderr!r}")
    return result


def write(path, size=0, sparse=False):
    with open(path, "wb") as f:
        if sparse:
            f.truncate(size)
        else:
            f.write(b"x" * size)


def make_tree(top):
    """Files at several depths, a 5 GiB sparse file, links to a file and to
    a directory, a hidden file and an excluded directory."""
    for d in ["a/b/c", "a/empty", "big", "skip/deep", "links"]:
        os.makedirs(os.path.join(top, d))
    sizes = {"top.txt": 5, "a/one.txt": 10, "a/two.log": 20, "a/b/three.txt": 300,
             "a/b/c/four.txt": 4000, "a/.hidden.txt": 7, "skip/x.txt": 11, "skip/deep/y.txt": 13,
             "links/real.txt": 17}
    for name, size in sizes.items():
        write(os.path.join(top, name), size)
    write(os.path.join(top, "big", "five-gib.bin"), 5 << 30, sparse=True)
    os.symlink("real.txt", os.path.join(top, "links", "to-file"))
    os.symlink("../a", os.path.join(top, "links", "to-dir"))


def expected_totals(top, output, masks=("*",), exclude=(), no_hidden=False):
    """{directory path from the top: (bytes, files)} of every directory the
    walk enters, counting what the indexes list."""
    def listed(name):
        return any(fnmatch.fnmatchcase(name, m) for m in masks)

    def skipped(name):
        return any(fnmatch.fnmatchcase(name, m) for m in exclude) or (no_hidden and name.startswith("."))

    totals = {}

    def walk(path, rel):
        size = files = 0
        for entry in os.scandir(path):
            if skipped(entry.name) or entry.name == output:
                continue
            if entry.is_symlink():
                continue
            if entry.is_dir():
                below = walk(entry.path, f"{rel}/{entry.name}" if rel else entry.name)
                size, files = size + below[0], files + below[1]
            elif listed(entry.name):
                size, files = size + entry.stat().st_size, files + 1
        totals[rel] = (size, files)
        return size, files

    walk(top, "")
    return totals


def json_totals(top, output):
    """{directory path: (total_size, file_count, lower bound)} read from the
    JSON indexes of a run."""
    found = {}
    for path, _, files in os.walk(top):
        if output not in files:
            continue
        rel = os.path.relpath(path, top)
        with open(os.path.join(path, output), encoding="utf-8") as f:
            for entry in json.load(f)["entries"]:
                if "total_size" in entry:
                    name = entry["name"] if rel == "." else f"{rel}/{entry['name']}"
                    found[name] = (entry["total_size"], entry["file_count"],
                                   entry.get("total_is_lower_bound", False))
    return found


def snapshot(top):
    return {os.path.join(p, f): open(os.path.join(p, f), "rb").read()
            for p, _, files in os.walk(top) for f in files if f.startswith("index")}


class FolderSizes(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quilldex-sizes-")
        os.chmod(self.work, 0o755)
        self.top = os.path.join(self.work, "top")
        make_tree(self.top)

    def tearDown(self):
        shutil.rmtree(self.work)

    def test_totals_equal_the_sums_of_the_tree_in_every_selection(self):
        # Options and the selection they make for the expected sums (the
        # page's totals are read in Chromium, tests/index/page_test.py).
        cases = [
            ([], {}),
            # Only the rows the masks list show totals; every directory
            # is summed.
            (["-m", "*.txt", "-m", "a", "-m", "b", "--exclude", "skip", "--no-hidden"],
             {"masks": ("*.txt", "a", "b"), "exclude": ("skip",), "no_hidden": True}),
        ]
        for options, selection in cases:
            with self.subTest(options=options):
                shutil.rmtree(self.top)
                make_tree(self.top)
                run("-r", "--json", "--dir-sizes", "-j", "4", *options, self.top)
                sums = expected_totals(self.top, "index.json", **selection)
                masks = selection.get("masks", ("*",))
                shown = {d: t for d, t in sums.items()
                         if d and any(fnmatch.fnmatchcase(os.path.basename(d), m) for m in masks)}
                found = json_totals(self.top, "index.json")
                self.assertEqual({d: (s, n) for d, (s, n, _) in found.items()}, shown)
                self.assertFalse(any(lower for _, _, lower in found.values()))
                self.assertEqual(sums["a"], (4337, 5) if not selection else (4310, 3))

    def test_the_table_shows_the_total_in_the_size_style_and_sorts_by_it(self):
        run("-r", "--dir-sizes", "-s", "bytes", "--sort", "size", self.top)
        with open(os.path.join(self.top, "index.html"), encoding="utf-8") as f:
            rows = re.findall(r"<tr><td>([^<]*)</td><td>(\d+) bytes</td></tr>", f.read())
        sums = expected_totals(self.top, "index.html")
        self.assertEqual([name for name, _ in rows], ["top.txt", "links", "skip", "a", "big"])
        for name in ["a", "big", "links", "skip"]:
            self.assertIn((name, str(sums[name][0])), rows)

    def test_any_number_of_jobs_writes_the_same_files_and_a_rerun_none(self):
        run("-r", "--dir-sizes", "--page", "-j", "1", self.top)
        one = snapshot(self.top)
        run("-r", "--dir-sizes", "--page", "-j", "8", self.top)
        self.assertEqual(snapshot(self.top), one)
        self.assertEqual(run("-r", "--dir-sizes", "--page", "--check", self.top).stdout, b"")

    def test_a_file_added_deep_down_makes_every_index_above_it_stale(self):
        run("-r", "--dir-sizes", "--json", self.top)
        write(os.path.join(self.top, "a", "b", "c", "new.txt"), 1)
        stale = run("-r", "--dir-sizes", "--json", "--check", self.top, expect=1).stdout.decode().split()
        # The directory that holds it and every one above: their listing
        # or a total in it changed; no other.
        base = os.path.join(self.top, "")
        self.assertEqual([p[len(base):] for p in stale],
                         ["index.json", "a/index.json", "a/b/index.json", "a/b/c/index.json"])

    def give_to_nobody(self):
        shutil.chown(self.work, NOBODY, NOBODY)
        for path, dirs, files in os.walk(self.top):
            for name in [path, *[os.path.join(path, n) for n in dirs + files]]:
                os.lchown(name, NOBODY, NOBODY)

    def test_a_directory_that_cannot_be_read_makes_the_totals_above_it_lower_bounds(self):
        if os.geteuid() == 0:
            self.give_to_nobody()
        os.chmod(os.path.join(self.top, "a", "b"), 0)
        try:
            result = run("-r", "--dir-sizes", "--json", self.top, expect=1, unprivileged=True)
            run("-r", "--dir-sizes", "--page", self.top, expect=1, unprivileged=True)
        finally:
            os.chmod(os.path.join(self.top, "a", "b"), 0o755)
        self.assertIn(b"open(a/b): Permission denied", result.stderr)
        found = json_totals(self.top, "index.json")
        self.assertEqual(found["a"], (37, 3, True))
        self.assertEqual(found["big"], (5 << 30, 1, False))
        self.assertNotIn("a/b", found)
        with open(os.path.join(self.top, "index.html"), encoding="utf-8") as f:
            page = f.read()
        # The JSON indexes of the first run are files of the tree now.
        self.assertRegex(page, r'<td>a/</td><td title="at least (\d+) bytes">&ge; \1 bytes &middot; 5 files</td>')
        self.assertRegex(page, r'<td>big/</td><td title="\d+ bytes">5120.00 mb &middot; 2 files</td>')

    def test_a_deep_chain_is_summed_within_a_few_descriptors(self):
        chain = os.path.join(self.work, "chain")
        path = chain
        for _ in range(600):
            path = os.path.join(path, "d")
        os.makedirs(path)
        write(os.path.join(path, "leaf.txt"), 3)
        write(os.path.join(chain, "d", "near.txt"), 4)
        run("-r", "--dir-sizes", "--json", "-j", "2", chain, limit_files=32)
        with open(os.path.join(chain, "index.json"), encoding="utf-8") as f:
            top_row = [e for e in json.load(f)["entries"] if e["name"] == "d"][0]
        self.assertEqual((top_row["total_size"], top_row["file_count"]), (7, 2))

    def test_a_single_run_lists_its_directories_with_the_totals_below_and_writes_nothing_there(self):
        before = sorted(os.walk(self.top))
        listing = json.loads(run("--dir-sizes", "--json", self.top).stdout)["entries"]
        self.assertEqual(sorted(os.walk(self.top)), before)
        sums = expected_totals(self.top, "")
        self.assertEqual({e["name"]: (e["total_size"], e["file_count"]) for e in listing if e["type"] == "directory"},
                         {d: t for d, t in sums.items() if d and "/" not in d})
        table = run("--dir-sizes", "-l", "-s", "bytes", self.top).stdout.decode()
        self.assertIn(f'<tr><td><a href="a/">a</a></td><td>{sums["a"][0]} bytes</td></tr>', table)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
