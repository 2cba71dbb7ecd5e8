#!/bin/sh
# Builds the Windows programs and runs every Windows test under Wine.
#
# The shipped product is the 32-bit build (preset win32), which must always
# build. Its tests run where Wine can start 32-bit programs. A kernel that
# cannot execute 32-bit Linux programs cannot run Wine's 32-bit loader, so
# there the same tests run from the 64-bit build (preset win64) instead.
#
# The cross-platform output test compares the Windows quilldex-cli with the
# native one: QUILLDEX_NATIVE_CLI names it, else the one of the asan or
# release build is taken, else the release build's is built.
set -eu

cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s)
# Each build runs its programs in a Wine prefix of its own, never in one
# that the caller uses.
unset WINEPREFIX

# Configures and builds one preset; the log is shown only on failure.
build() {
	preset=$1
	shift
	mkdir -p build
	log="build/$preset-build.log"
	if ! { cmake --preset "$preset" "$@" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
		cat "$log" >&2
		echo "test-windows.sh: the $preset build failed (log: $log)" >&2
		exit 1
	fi
	echo "built the $preset preset"
}

native_cli=${QUILLDEX_NATIVE_CLI:-}
if [ -z "$native_cli" ]; then
	for candidate in build/asan/src/cli/quilldex-cli build/release/src/cli/quilldex-cli; do
		if [ -x "$candidate" ]; then
			native_cli=$root/$candidate
			break
		fi
	done
fi
if [ -z "$native_cli" ]; then
	mkdir -p build
	if ! {
		cmake --preset release &&
			cmake --build --preset release --target quilldex-cli
	} >build/release-build.log 2>&1; then
		cat build/release-build.log >&2
		echo "test-windows.sh: the native quilldex-cli did not build" >&2
		exit 1
	fi
	native_cli=$root/build/release/src/cli/quilldex-cli
fi

build win32 "-DQUILLDEX_NATIVE_CLI=$native_cli"

# Can a 32-bit Windows program run here? The 32-bit quilldex-cli answers.
probe_log=build/win32/wine-probe.log
if timeout 120 scripts/wine-run.sh 32 "$root/build/win32/wineprefix" \
	build/win32/src/cli/quilldex-cli.exe --version >"$probe_log" 2>&1 &&
	grep -q '^quilldex-cli ' "$probe_log"; then
	preset=win32
else
	echo "32-bit Windows programs cannot run here ($(tail -n 1 "$probe_log")):" \
		"running the Windows tests from the 64-bit build (win64)"
	preset=win64
	build win64 "-DQUILLDEX_NATIVE_CLI=$native_cli"
fi

# The first start sets up the build's Wine prefix, which takes some seconds
# that should not count against the first test's time limit.
if [ "$preset" = win64 ] &&
	! scripts/wine-run.sh 64 "$root/build/win64/wineprefix" \
		build/win64/src/cli/quilldex-cli.exe --version >build/win64/wine-probe.log 2>&1; then
	cat build/win64/wine-probe.log >&2
	echo "test-windows.sh: the 64-bit Windows programs do not run under Wine either" >&2
	exit 1
fi

ctest --preset "$preset" -j "$(nproc)" --output-log "build/$preset/ctest.log"

echo "Windows stage ($preset tests) took $(($(date +%s) - started)) s"
