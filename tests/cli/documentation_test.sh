#!/bin/bash
# The manual page and the bash completion against the program: every long
# option that --help lists is documented in the manual page and offered by
# the completion, the completion offers the size styles and files where the
# options take them, and the manual page is clean under mandoc's checks.
#   documentation_test.sh CLI MANUAL_PAGE COMPLETION
set -u

cli=$1
manual=$2
completion=$3
failed=0

fail() {
	echo "FAILED: $*"
	failed=1
}

# source the completion as bash would, and complete the words given.
source "$completion"
complete_words() {
	COMP_WORDS=(quilldex-cli "$@")
	COMP_CWORD=$#
	COMPREPLY=()
	_quilldex_cli "$cli" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
	echo "${COMPREPLY[*]}"
}

options=$("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "--help lists no long options"
offered=" $(complete_words --) "
for option in $options; do
	# In the page's source "--no-size" is written "Fl \-no\-size".
	grep -qF "Fl $(printf '%s' "${option#-}" | sed 's/-/\\-/g')" "$manual" ||
		fail "the manual page does not document $option"
	case $offered in
	*" $option "*) ;;
	*) fail "the completion does not offer $option" ;;
	esac
done

check_completion() {
	local expected=$1
	shift
	local got
	got=$(complete_words "$@")
	[ "$got" = "$expected" ] || fail "completing '$*': got '$got', expected '$expected'"
}
check_completion "auto bytes kb mb human" -s ""
check_completion "kb" --size-style k
check_completion "natural" --sort nat
check_completion "" -m ""
check_completion "--recursive" -l --rec
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder"
touch "$work/file.html"
check_completion "$work/file.html" -o "$work/fi"
check_completion "$work/folder" "$work/f"

if ! command -v mandoc >/dev/null 2>&1; then
	[ "$failed" = 0 ] || exit 1
	echo "skipped: the manual page's check (mandoc is missing)"
	exit 77
fi
lint=$(mandoc -T lint -W warning "$manual" 2>&1) || fail "mandoc -T lint: $lint"
exit $failed
