#!/bin/sh
# Runs a test executable as the unprivileged user nobody when started as
# root, who ignores permission bits; as it is otherwise.
#   run_unprivileged.sh EXECUTABLE [ARGUMENT...]
# The executable is copied to a folder of its own that nobody can read and
# runs there, since the build tree may lie where nobody cannot go (/root).
set -eu

if [ "$(id -u)" != 0 ]; then
	exec "$@"
fi
if ! command -v setpriv >/dev/null 2>&1; then
	echo "skipped: setpriv (util-linux) is missing, so root cannot drop its privileges"
	exit 77
fi

program=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/quilldex-unprivileged.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$program" "$work/"
cd "$work"
setpriv --reuid=65534 --regid=65534 --clear-groups "$work/$(basename "$program")" "$@"
