#!/bin/sh
# Builds the native test suite with the sanitizers and runs it.
set -eu

cd "$(dirname "$0")/.."

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j "$(nproc)" --output-log build/asan/ctest.log
