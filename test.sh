#!/bin/sh
# Installs what the tests need, builds every test and runs them all:
# the native suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the Windows suite under Wine, and each fuzzer for a short fixed time.
set -eu

cd "$(dirname "$0")"

./scripts/install-deps.sh all

stage() {
	echo
	echo "=== $1"
	shift
	"$@"
}

stage "native tests (ASan, UBSan)" ./scripts/test-native.sh
stage "Windows tests (Wine)" ./scripts/test-windows.sh
stage "fuzzers" ./scripts/test-fuzz.sh

echo
echo "test.sh: every stage passed"
