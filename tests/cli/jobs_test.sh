#!/bin/bash
# Many jobs against one: over a real tree, quilldex-cli -j 8 writes every
# index file byte for byte as -j 1 does, in every form and with every
# option that changes an index; its messages and --check lines come in the
# same order; and no run changes its current directory. Given a
# ThreadSanitizer build, the same runs show any data race.
#   jobs_test.sh QUILLDEX_CLI
set -u

cli=$1
failed=0
fail() {
	echo "FAILED: $*" >&2
	failed=1
}

work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT

# A tree wide and deep enough that jobs overlap: 4 x 4 x 3 directories,
# files of several sizes, times and names (spaces, '#', bytes outside
# ASCII, a line feed), titled pages, links inside and out.
make_tree() {
	local top=$1
	python3 - "$top" <<'PY'
import os, sys
top = sys.argv[1]
names = ["plain", "with space", "hash#mark", "caf\u00e9", "Zeta", "alpha10", "alpha9"]
for a in range(4):
    for b in range(4):
        for c in range(3):
            d = os.path.join(top, f"a{a}", f"b{b} {a}", f"c{c}")
            os.makedirs(d, exist_ok=True)
            for i, n in enumerate(names):
                p = os.path.join(d, f"{n}-{i}.txt")
                with open(p, "wb") as f:
                    f.write(b"x" * (i * 700 + a * 3 + b))
                os.utime(p, (1000000000 + i * 86400, 1000000000 + i * 86400))
            with open(os.path.join(d, "page.html"), "w") as f:
                f.write(f"<title>Page {a}{b}{c} &amp; more</title>")
            os.utime(os.path.join(d, "page.html"), (1200000000, 1200000000))
os.symlink("../a0", os.path.join(top, "a1", "up-link"))
os.symlink("/etc/hostname", os.path.join(top, "a2", "out-link"))
os.makedirs(os.path.join(top, "odd\nline"), exist_ok=True)
for d, _, _ in os.walk(top):
    os.utime(d, (1100000000, 1100000000))
PY
}

# Every file below $1, path and bytes, as one text to compare.
contents() {
	(cd "$1" && find . -type f -name 'index.*' -print0 | sort -z | xargs -0 sha256sum)
}

option_sets=(
	"-r"
	"-r -l -t --time --date -s bytes"
	"-r --page -l -t --date --sort natural --dirs-first"
	"-r --page --sort size --reverse -m *.txt -m *.html"
	"-r --json -t --exclude c1 --no-hidden"
	"-r -l -p https://example.org/pub/ --sort time -s mb"
	"-r --page --dir-sizes -s human --sort size -t"
	"-r --json --dir-sizes --exclude c1"
)

for options in "${option_sets[@]}"; do
	# Trees of the same name, since a page names its top by it.
	rm -rf "$work/one" "$work/many"
	make_tree "$work/one/tree"
	make_tree "$work/many/tree"
	# The top's ".." row shows the time of the folder above it.
	touch -d @1100000000 "$work/one" "$work/many"
	# shellcheck disable=SC2086
	TZ=UTC "$cli" -q -j 1 $options "$work/one/tree" 2>"$work/one.err" || fail "-j 1 $options: exit $?"
	# shellcheck disable=SC2086
	TZ=UTC "$cli" -q -j 8 $options "$work/many/tree" 2>"$work/many.err" || fail "-j 8 $options: exit $?"
	[ "$(contents "$work/one")" = "$(contents "$work/many")" ] || fail "-j 8 $options: index files differ from -j 1"
	[ -s "$work/many.err" ] && fail "-j 8 $options: $(head -3 "$work/many.err")"
	# A second run over the unchanged tree writes nothing, and a check
	# finds nothing stale.
	# shellcheck disable=SC2086
	TZ=UTC "$cli" -q -j 8 --check $options "$work/many/tree" >"$work/check" 2>&1 || fail "-j 8 --check $options: $(head -3 "$work/check")"
done

# Messages and check lines in one order, whatever the number of jobs:
# unreadable directories and kept files all over the tree, as an
# unprivileged user where the tests run as root.
rm -rf "$work/order"
make_tree "$work/order"
for d in a0/"b1 0" a1/"b2 1"/c0 a3 a2/"b0 2"/c2; do
	chmod 311 "$work/order/$d"
done
for d in a0/"b0 0" a2/"b3 2"/c1 a3/"b1 3"; do
	echo "<p>hand-written</p>" >"$work/order/$d/index.html"
done
chmod -R o+w "$work/order"
as_user=()
[ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
# With folder totals each index is written after its subdirectories': the
# same order all the same.
for totals in "" --dir-sizes; do
	# shellcheck disable=SC2086
	"${as_user[@]}" "$cli" -q -r -j 1 --check $totals "$work/order" >"$work/check1" 2>"$work/err1"
	status1=$?
	for round in 1 2 3; do
		# shellcheck disable=SC2086
		"${as_user[@]}" "$cli" -q -r -j 8 --check $totals "$work/order" >"$work/check8" 2>"$work/err8"
		status8=$?
		[ "$status8" = "$status1" ] || fail "--check -j 8 $totals exits $status8, -j 1 $status1"
		cmp -s "$work/check1" "$work/check8" || fail "round $round: --check $totals lines differ between -j 1 and -j 8"
		cmp -s "$work/err1" "$work/err8" || fail "round $round: $totals messages differ between -j 1 and -j 8"
	done
done
"${as_user[@]}" "$cli" -q -r -j 1 "$work/order" >/dev/null 2>"$work/run1"
[ "$(grep -c 'open(' "$work/err1")" -ge 4 ] || fail "expected the unreadable directories named: $(cat "$work/err1")"
grep -q 'kept(' "$work/run1" || fail "expected the kept files noted: $(cat "$work/run1")"

# No run changes its current directory, whatever it indexes.
if command -v strace >/dev/null 2>&1; then
	rm -rf "$work/trace"
	make_tree "$work/trace"
	strace -f -qq -e trace=chdir,fchdir -o "$work/strace" "$cli" -q -r -j 4 -t "$work/trace" >/dev/null 2>&1
	if grep -q 'chdir' "$work/strace"; then
		fail "a run changed its current directory: $(head -3 "$work/strace")"
	fi
else
	echo "skipped: no strace, so the current directory is not watched" >&2
fi

exit $failed
