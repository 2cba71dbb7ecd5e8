#!/bin/sh
# Builds the native test suite with the sanitizers and runs it.
set -eu

cd "$(dirname "$0")/.."

[ -f build/asan/build.ninja ] || cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j "$(nproc)"
