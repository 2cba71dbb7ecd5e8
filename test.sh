#!/bin/sh
# Installs what the tests need, builds every test and runs them all:
# the native suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the full page in a validator and a real browser, the Windows suite under
# Wine, the Debian package and the Windows .zip, and each fuzzer for a
# short fixed time. Ends with the tests that were skipped, and why.
set -eu

cd "$(dirname "$0")"

./scripts/install-deps.sh all

# Each test stage leaves CTest's log in build/PRESET/ctest.log; only those
# of this run count in the summary.
rm -f build/*/ctest.log

stage() {
	echo
	echo "=== $1"
	shift
	"$@"
}

stage "native tests (ASan, UBSan)" ./scripts/test-native.sh
stage "full page (HTML checker, headless Chromium)" ./scripts/test-page.sh
stage "Windows tests (Wine)" ./scripts/test-windows.sh
stage "packages (.deb, Windows .zip)" ./scripts/test-package.sh
stage "fuzzers" ./scripts/test-fuzz.sh

# A test that skips says why on a line that starts with "skipped: ".
skipped=0
reasons=
for log in build/*/ctest.log; do
	[ -f "$log" ] || continue
	count=$(grep -c '(Skipped)$' "$log" || true)
	skipped=$((skipped + count))
	if [ "$count" -gt 0 ]; then
		dir=$(dirname "$log")
		reasons="$reasons$(grep '^skipped: ' "$dir/Testing/Temporary/LastTest.log" | sed "s|^|  $(basename "$dir"): |")
"
	fi
done

echo
if [ "$skipped" -gt 0 ]; then
	echo "test.sh: every stage passed; $skipped tests skipped:"
	printf '%s' "$reasons"
else
	echo "test.sh: every stage passed; no test skipped"
fi
