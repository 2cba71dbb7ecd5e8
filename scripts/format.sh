#!/bin/sh
# Lays out the C++ sources with clang-format, by the .clang-format at the
# top of the repository.
#   scripts/format.sh           format every tracked C++ file in place
#   scripts/format.sh --check   change nothing; name the files whose layout
#                               differs, and exit 1 if there is any
set -eu

cd "$(dirname "$0")/.."
./scripts/install-deps.sh format

files=$(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
	status=0
	for file in $files; do
		if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
			echo "$file"
			status=1
		fi
	done
	exit $status
fi
# shellcheck disable=SC2086 # the names are git's, without blanks
clang-format -i $files
