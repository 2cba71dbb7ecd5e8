#!/bin/sh
# Builds the packages and tries them as their users would. The Debian
# package (preset deb) must install on this system and is unpacked into a
# throwaway root, where its quilldex-cli runs and writes the same index as
# the build's, and its manual page and bash completion are read. The
# Windows .zip (preset zip) must hold both programs, the guide and the
# licence of the Markdown library built into them.
set -eu

cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quilldex-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^#define QUILLDEX_VERSION_TEXT "\(.*\)"$/\1/p' src/version.h)

fail() {
	echo "test-package.sh: $*" >&2
	exit 1
}

# Runs a build step, showing its log only when it fails.
quietly() {
	log=$work/step.log
	"$@" >"$log" 2>&1 || {
		cat "$log" >&2
		fail "failed: $*"
	}
}

# The Debian package.
quietly cmake --preset release
quietly cmake --build --preset release
rm -f build/release/packages/*.deb
quietly cpack --preset deb
deb=$(ls build/release/packages/*.deb)
quietly dpkg --dry-run -i "$deb"
dpkg -x "$deb" "$work/root"
cli=$work/root/usr/bin/quilldex-cli
[ "$("$cli" --version)" = "quilldex-cli $version" ] || fail "the packaged quilldex-cli does not run: $("$cli" --version 2>&1)"
mkdir -p "$work/tree/sub"
printf 'hello\n' >"$work/tree/a.txt"
printf '<title>Page</title>' >"$work/tree/page.html"
"$cli" -l -t --date -o "$work/packaged.html" "$work/tree"
build/release/src/cli/quilldex-cli -l -t --date -o "$work/built.html" "$work/tree"
[ -s "$work/packaged.html" ] && cmp -s "$work/packaged.html" "$work/built.html" || fail "the packaged quilldex-cli writes another index than the build's"
manual=$work/root/usr/share/man/man1/quilldex-cli.1
[ -f "$manual" ] || fail "no manual page in $deb"
lint=$(mandoc -T lint -W warning "$manual" 2>&1) || fail "the manual page: $lint"
mandoc -T markdown "$manual" | grep -q '^# EXIT STATUS' || fail "the manual page does not read"
completion=$work/root/usr/share/bash-completion/completions/quilldex-cli
bash -c '. "$1" && complete -p quilldex-cli' sh "$completion" >/dev/null || fail "no bash completion in $deb"
echo "package: $(basename "$deb"): installs; quilldex-cli, its manual page and completion work"

# The Windows archive, from the 32-bit build.
quietly cmake --preset win32
quietly cmake --build --preset win32 --target quilldex quilldex-cli
rm -f build/win32/packages/*.zip
quietly cpack --preset zip
zip=$(ls build/win32/packages/*.zip)
folder=quilldex-$version-win32
listing=$(cd "$work" && cmake -E tar tf "$root/$zip" | sort | tr '\n' ' ')
[ "$listing" = "$folder/cmark-gfm-licence.txt $folder/quilldex-cli.exe $folder/quilldex.exe $folder/quilldex.txt " ] ||
	fail "$zip holds: $listing"
(cd "$work" && cmake -E tar xf "$root/$zip")
for program in quilldex.exe quilldex-cli.exe; do
	i686-w64-mingw32-objdump -f "$work/$folder/$program" | grep -q 'file format pei-i386' ||
		fail "$program in $zip is not a 32-bit Windows program"
done
guide=$work/$folder/quilldex.txt
grep -q "^QUILLDEX $version - user's guide" "$guide" || fail "quilldex.txt does not name version $version"
[ "$(grep -c "$(printf '\r')\$" "$guide")" = "$(wc -l <"$guide")" ] || fail "quilldex.txt has lines without CR LF"
echo "package: $(basename "$zip"): quilldex.exe, quilldex-cli.exe, quilldex.txt and cmark-gfm's licence"
