#!/bin/sh
# Builds the libFuzzer targets (fuzz preset, clang, ASan and UBSan) and runs
# each for a fixed time, starting from its committed corpus in
# fuzz/corpus/<target>/. Exits non-zero when any target finds a fault; the
# input that caused it is kept in build/fuzz/artifacts/ to reproduce with
#   build/fuzz/fuzz/<target> build/fuzz/artifacts/<file>
# QUILLDEX_FUZZ_SECONDS sets the time per target (default 20).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${QUILLDEX_FUZZ_SECONDS:-20}
targets="wildcard_fuzzer title_fuzzer name_cell_fuzzer readme_fuzzer"

cd "$root"
cmake --preset fuzz >/dev/null
# Only the targets: they compile the sources they test themselves, with
# the fuzzer's instrumentation.
cmake --build --preset fuzz --target $targets

artifacts=$root/build/fuzz/artifacts
mkdir -p "$artifacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/quilldex-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=
for target in $targets; do
	# New inputs go to the scratch corpus, so the committed one stays as it
	# is. Paths are absolute: the cell targets work in a directory of their own.
	mkdir "$work/$target"
	if "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=2048 -timeout=10 \
		-artifact_prefix="$artifacts/$target-" "$work/$target" "$root/fuzz/corpus/$target" \
		>"$work/$target.log" 2>&1; then
		echo "fuzz: $target: $(grep -E '^Done [0-9]+ runs' "$work/$target.log" || echo done), no fault"
	else
		echo "fuzz: $target: FAULT FOUND" >&2
		tail -n 40 "$work/$target.log" >&2
		failed=1
	fi
done

[ -z "$failed" ]
