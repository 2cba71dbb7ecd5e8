#!/bin/sh
# The full page in the hands of its readers: the Nu HTML Checker validates
# pages of a tree of hostile names, and headless Chromium sorts, filters and
# follows links from file://. Uses the sanitizer build's quilldex-cli; the
# screenshot and any page that failed validation go to build/page.
set -eu

cd "$(dirname "$0")/.."

vnu=build/tools/node_modules/vnu-jar/build/dist/vnu.jar
axe=build/tools/node_modules/axe-core/axe.min.js
for tool in "$vnu" "$axe"; do
	if [ ! -f "$tool" ]; then
		echo "test-page.sh: $tool is missing (scripts/install-deps.sh all installs it)" >&2
		exit 1
	fi
done

cmake --preset asan >/dev/null
cmake --build --preset asan --target quilldex-cli >/dev/null

# Debian's Python, which holds Selenium.
/usr/bin/python3 tests/index/page_test.py --cli build/asan/src/cli/quilldex-cli --vnu "$vnu" --axe "$axe" \
	--out build/page "$@"
