#!/bin/sh
# Runs a Windows program under Wine; CMake's emulator for the Windows trees.
#   wine-run.sh 32|64 PREFIX PROGRAM [ARGUMENT...]
# The program runs in the Wine prefix named by WINEPREFIX if that is set,
# else in PREFIX (a folder in the build tree), which is made on first use.
# Wine's own messages are silenced so that test output stays clean.
set -eu

bits=$1
prefix=$2
shift 2

export WINEPREFIX="${WINEPREFIX:-$prefix}"
# Wine writes Windows names into Unix file names in the locale's character
# set. Without a UTF-8 locale (none is set on a bare system) it cannot make
# or list a name outside ASCII, so it then runs under C.UTF-8, which glibc
# always has.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
	export LC_ALL=C.UTF-8
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Debian's "wine" starts the 32-bit loader when wine32 is installed; the
# 64-bit loader is called directly, since "wine" would pick the other one.
if [ "$bits" = 64 ] && [ -x /usr/lib/wine/wine64 ]; then
	loader=/usr/lib/wine/wine64
elif [ "$bits" = 64 ] && command -v wine64 >/dev/null 2>&1; then
	loader=wine64
else
	loader=wine
fi

# A new prefix takes some seconds to set up and prints while it does; tests
# that run side by side wait for the first to finish it.
ready="$WINEPREFIX/.quilldex-ready"
if [ ! -f "$ready" ]; then
	mkdir -p "$(dirname "$WINEPREFIX")"
	(
		flock 9
		if [ ! -f "$ready" ]; then
			if ! "$loader" wineboot --init >"$WINEPREFIX.log" 2>&1; then
				echo "wine-run.sh: could not set up the Wine prefix $WINEPREFIX:" \
					"$(tail -n 1 "$WINEPREFIX.log")" >&2
				exit 1
			fi
			touch "$ready"
		fi
	) 9>"$WINEPREFIX.lock"
fi

# Wine's desktop belongs to the session of the prefix, which lasts until its
# last program has ended. A program that is given a display must not join a
# session that a program without one started a moment ago (a console test):
# its windows would go to a desktop that shows nothing. So it waits for such
# a session to end.
if [ -n "${DISPLAY:-}" ]; then
	server=/usr/lib/wine/wineserver64
	[ "$bits" = 64 ] && [ -x "$server" ] || server=wineserver
	"$server" -w || true
fi

exec "$loader" "$@"
