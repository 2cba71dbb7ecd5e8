#!/bin/sh
# The native quilldex-cli and the Windows quilldex-cli.exe (under Wine) index
# the same trees with the same options and must write the same bytes.
#   cross_platform_test.sh NATIVE_CLI WINDOWS_CLI EMULATOR [ARGUMENT...]
#
# The fixture holds only names that mean the same to both systems (no
# case twins, no bytes above 0x7F, none of the characters Windows forbids)
# and the masks are those on which Wine and Windows agree (*.*, *, *.html,
# *.txt, a*, *.tar.*, whole names); Wine's invented 8.3 short names and its
# own reading of the DOS wildcards play no part. Both programs sort their
# listings the same way, so the files are compared as they are, unsorted.
# Times and dates are shown in UTC on both sides; recursive runs that show
# them use masks that list no directory, whose times change as the run
# writes into them. Links to directories are listed and never entered.
#
# A full page (--page) declares the encoding of its names: the Windows
# program's must name the code page (windows-1252) and, converted to UTF-8,
# equal the native page. A second fixture holds names in that code page
# whose order is the same in both encodings; page runs that list
# directories or ".." are single runs, whose rows' raw times stay fixed.
set -eu

native=$1
windows=$2
shift 2

if [ ! -x "$native" ]; then
	echo "skipped: no native quilldex-cli to compare with (configure with -DQUILLDEX_NATIVE_CLI=...)"
	exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC

# The Windows program behind one command, whatever the emulator's words.
{
	echo '#!/bin/sh'
	printf exec
	for word in "$@" "$windows"; do
		printf " '%s'" "$(printf '%s' "$word" | sed "s/'/'\\\\''/g")"
	done
	echo ' "$@"'
} >windows-cli
chmod +x windows-cli

make_tree() {
	mkdir -p "$1"
	(
		cd "$1"
		mkdir -p sub/deeper "space dir" a.dir empty
		# Sizes around each step of the size forms; the large ones are sparse.
		truncate -s 0 a
		truncate -s 1 README
		truncate -s 500 notes.txt
		truncate -s 2047 "my file.txt"
		truncate -s 2048 "a&b.txt"
		truncate -s 1048575 Zebra.txt
		truncate -s 1048576 _under.txt
		truncate -s 1179648 "~tilde.txt"
		truncate -s 3500000 apple.TXT
		truncate -s 1703936 x.tar.gz
		truncate -s 5368709120 big.bin
		truncate -s 10 .hidden.txt
		for name in "semi;colon.txt" "percent%.txt" "plus+sign.txt" "comma,file.txt" \
			"bracket[1].txt" "'quote'.txt" "#hash.txt" "b=c.txt"; do
			printf 'text of %s\n' "$name" >"$name"
		done
		printf '<html><head><title>My Page</title></head></html>\n' >page.html
		printf '<TITLE>Over\r\ntwo lines</TITLE>\n' >two.html
		printf '<Title>not a tag we read</Title>\n' >other.html
		printf '<title></title>\n' >empty.html
		printf 'plain text holding <title>a title</title>\n' >title.txt
		printf 'inner\n' >sub/inner.txt
		printf '<title>Deep</title>' >sub/deeper/deep.html
		printf 'x' >"space dir/in space.txt"
		printf 'y' >a.dir/a.txt
		# Wine shows a link to a directory as a reparse point and one to a
		# file as the file itself; a broken link it leaves out, so there is
		# none here. Neither walk enters a linked directory.
		ln -s sub linked
		ln -s ../.. sub/up
		ln -s notes.txt notes-link.txt
		# A title is read through a link only inside the top of the run.
		ln -s page.html page-link.html
		ln -s "$work/outside.html" outside-link.html
	)
	# Fixed times, one day and an hour, minute and second apart.
	seconds=978307200
	find "$1" | sort | while IFS= read -r path; do
		touch -h -d "@$seconds" "$path"
		seconds=$((seconds + 90061))
	done
}

# Names in windows-1252 that sort alike as its bytes and as UTF-8.
make_latin_tree() {
	mkdir -p "$1/Überblick" "$1/naïve dir"
	printf 'x' >"$1/café menü.txt"
	printf 'xy' >"$1/naïve ©.txt"
	printf '<title>Plain title</title>' >"$1/Ærø.html"
	printf 'z' >"$1/Überblick/Grüße.txt"
	printf 'w' >"$1/naïve dir/½.txt"
	seconds=978307200
	find "$1" | sort | while IFS= read -r path; do
		touch -d "@$seconds" "$path"
		seconds=$((seconds + 90061))
	done
}

runs=0
failures=0
# The tree that single and recursive runs index.
fixture=fixture/top

# as_native FILE LABEL OPTION...: a page of the Windows program converted
# from its code page to UTF-8, as the native program writes it.
as_native() {
	converted=$1
	converted_label=$2
	shift 2
	case " $* " in
	*" --page "*) ;;
	*) return 0 ;;
	esac
	if ! grep -q '<meta charset="windows-1252">' "$converted"; then
		echo "FAIL ($converted_label): $converted does not declare the code page windows-1252"
		failures=$((failures + 1))
		return 0
	fi
	iconv -f windows-1252 -t utf-8 "$converted" |
		sed 's/<meta charset="windows-1252">/<meta charset="utf-8">/' >"$converted.utf-8"
	mv "$converted.utf-8" "$converted"
}

# Compares two files and tells the first difference.
same() {
	if ! cmp -s "$1" "$2"; then
		echo "FAIL ($3): $1 and $2 differ"
		diff "$1" "$2" | head -n 20 || true
		failures=$((failures + 1))
	fi
}

# single LABEL OPTION...: one index of the fixture's top directory.
single() {
	label=$1
	shift
	runs=$((runs + 1))
	mkdir -p "native/$runs" "windows/$runs"
	"$native" -q "$@" -o "native/$runs/index.html" "$fixture"
	./windows-cli -q "$@" -o "windows/$runs/index.html" "$fixture"
	as_native "windows/$runs/index.html" "$label" "$@"
	same "native/$runs/index.html" "windows/$runs/index.html" "$label"
}

# recursive LABEL OUTPUT-NAME OPTION...: an index in every directory of a
# fresh copy of the fixture for each program; every file must match.
recursive() {
	label=$1
	output=$2
	shift 2
	runs=$((runs + 1))
	mkdir -p "native/$runs" "windows/$runs"
	cp -a "$fixture" "native/$runs/top"
	cp -a "$fixture" "windows/$runs/top"
	"$native" -q -r -o "$output" "$@" "native/$runs/top"
	./windows-cli -q -r -o "$output" "$@" "windows/$runs/top"
	(cd "native/$runs/top" && find . -name "$output" | sort) >"native/$runs.list"
	(cd "windows/$runs/top" && find . -name "$output" | sort) >"windows/$runs.list"
	same "native/$runs.list" "windows/$runs.list" "$label: the files written"
	while IFS= read -r file; do
		as_native "windows/$runs/top/$file" "$label" "$@"
		same "native/$runs/top/$file" "windows/$runs/top/$file" "$label"
	done <"native/$runs.list"
}

printf '<title>Outside the tree</title>\n' >"$work/outside.html"
make_tree fixture/top

single "defaults"
single "no size" --no-size
single "bytes, time and date" -s bytes --time --date
single "kilobytes" -s kb
single "megabytes, date" -s mb --date
single "links" -l
single "links with a prefix" -l -p "pub/files/"
single "titles" -t
single "links, titles, prefix, time, date" -l -t -p "../x y/" --time --date
single "mask *" -m "*"
single "mask *.html with titles" -m "*.html" -t
single "mask *.txt" -m "*.txt" -l
single "mask a*" -m "a*"
single "mask *.tar.*" -m "*.tar.*"
single "whole name" -m "README"
single "whole name, other case" -m "page.HTML" -t
single "mask matching nothing" -m "*.none"

recursive "recursive" index.html
recursive "recursive, links, sizes in mb" index.html -l -s mb
recursive "recursive, *.txt, links, time and date" list.htm -m "*.txt" -l --time --date
recursive "recursive, titles, links, prefix" idx.html -t -l -p "pub/"
recursive "recursive, mask a*" index.html -m "a*" -l

# Selection and order are the listing's own on both systems.
single "natural order, reversed" --sort natural --reverse
single "size order" --sort size -s bytes
single "time order, reversed" --sort time --reverse --time --date
single "masks and exclusions" -m "*.txt" -m "*.html" --exclude "a*" --exclude "*.tar.*"
single "JSON with titles" --json -t
recursive "recursive, directories first, natural order" index.html --dirs-first --sort natural -l
recursive "recursive, excluded directories" index.html --exclude sub --exclude "space dir" -l
recursive "recursive JSON, *.txt" index.json --json -m "*.txt" -t

# Folder totals: summed by the same walk on both systems.
single "folder sizes, single run" --dir-sizes -l -s bytes
recursive "folder sizes, by size" index.html --dir-sizes -l -s bytes --sort size
recursive "folder sizes, JSON, *.txt" index.json --json --dir-sizes -m "*.txt"

single "page" --page
single "page with folder sizes" --page --dir-sizes -s human -l
single "page, every column, links, titles, prefix" --page -l -t --time --date -s bytes \
	-p "https://example.org/a b/?q=1&r=2#"
single "page, mask matching nothing" --page -m "*.none"
recursive "page, recursive, *.txt, links, titles" index.html --page -m "*.txt" -l -t --time --date

make_latin_tree fixture/latin
fixture=fixture/latin
single "page, names in the code page" --page -l -t --time --date
recursive "page, recursive, names in the code page" index.html --page -m "*.txt" -l

# Standard output too: the program must not add a CR of its own there.
runs=$((runs + 1))
"$native" -l fixture/top >"native/stdout.html"
./windows-cli -l fixture/top >"windows/stdout.html"
same native/stdout.html windows/stdout.html "standard output"

echo "$runs runs compared, $failures differences"
[ "$failures" -eq 0 ]
