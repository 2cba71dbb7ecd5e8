#!/bin/sh
# An interrupt (Ctrl+C; under Wine a SIGINT to the program) while an index
# is written removes the temporary file, keeps the old index and sets the
# directory's time back.
#   win32_interrupt_test.sh CHILD EMULATOR...
set -eu

child=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree
mkdir "$tree"
printf 'old index\r\n' >"$tree/index.html"
touch -d '2001-01-01 00:00:00 UTC' "$tree"

"$@" "$child" "Z:$tree" "Z:$work/ready" &
runner=$!
waited=0
while [ ! -e "$work/ready" ]; do
	if [ $waited -ge 600 ] || ! kill -0 $runner 2>/dev/null; then
		echo "the child never got its temporary file made" >&2
		exit 1
	fi
	sleep 0.1
	waited=$((waited + 1))
done
if ! ls -A "$tree" | grep -q '^\.quilldex-tmp-'; then
	echo "no temporary file while the index is written" >&2
	exit 1
fi

# Wine's process for the program shows the program and its arguments.
program=$(ps -eo pid=,args= | awk -v tree="Z:$tree" 'index($0, tree) && !/awk/ && !/wine-run/ { print $1; exit }')
kill -INT "$program"
wait $runner || true

failed=0
left=$(ls -A "$tree")
if [ "$left" != index.html ]; then
	echo "left in the directory: $left" >&2
	failed=1
fi
if [ "$(cat "$tree/index.html")" != "$(printf 'old index\r\n')" ]; then
	echo "the old index changed" >&2
	failed=1
fi
if [ "$(stat -c %Y "$tree")" != 978307200 ]; then
	echo "the directory's time was not set back: $(stat -c %y "$tree")" >&2
	failed=1
fi
exit $failed
