#!/bin/sh
# Builds quilldex-cli if it is missing or out of date, then runs it with the
# arguments given, in the directory this was started from.
#   ./run.sh [OPTIONS] [DIRECTORY]     (./run.sh --help for the options)
set -eu

root=$(cd "$(dirname "$0")" && pwd)
log="$root/build/run-build.log"

"$root/scripts/install-deps.sh" native
mkdir -p "$root/build"
if ! (
	cd "$root"
	# Configuring every time is quick when nothing changed, and brings a
	# changed preset into the cache.
	cmake --preset release
	cmake --build --preset release --target quilldex-cli
) >"$log" 2>&1; then
	cat "$log" >&2
	echo "run.sh: the build failed (log: $log)" >&2
	exit 1
fi

exec "$root/build/release/src/cli/quilldex-cli" "$@"
