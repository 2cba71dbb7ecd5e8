#!/bin/sh
# Builds the native test suite with the sanitizers and runs it.
set -eu

cd "$(dirname "$0")/.."

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j "$(nproc)" --output-log build/asan/ctest.log

# The walk of many jobs under ThreadSanitizer: the same test as above, on a
# build that reports any data race (and exits 66 on one).
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target quilldex-cli
bash tests/cli/jobs_test.sh build/tsan/src/cli/quilldex-cli
