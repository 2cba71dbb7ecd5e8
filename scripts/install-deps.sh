#!/bin/sh
# Installs the Debian packages the build and the tests need, and nothing
# that is already there. Run as root on Debian 12; safe to run repeatedly.
# This is the one list of the packages the project uses.
#   install-deps.sh native   compiler, CMake and Ninja: what run.sh needs
#   install-deps.sh bench    also what bench/run.sh needs
#   install-deps.sh format   clang-format, for scripts/format.sh
#   install-deps.sh all      everything: also what ./test.sh needs
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)

want=${1:-all}

# Building quilldex-cli; cmark-gfm and its extensions render README files
# written in Markdown (--readme).
native="g++ cmake ninja-build libcmark-gfm-dev libcmark-gfm-extensions-dev"
# The native tests (GoogleTest), the manual page check (mandoc) and the
# Debian package (dpkg-shlibdeps from dpkg-dev, which CPack runs through
# file). The 32-bit and 64-bit Windows cross compilers, Wine and Wine's
# fonts for the Windows tests; Xvfb and xauth (which xvfb-run needs) for the
# dialog tests, ImageMagick's import for their screenshot. clang and its
# fuzzing runtime for the fuzzers. Java to run the Nu HTML Checker (npm,
# below) and Chromium driven through Selenium for the page tests; strace to
# see that a run never changes its current directory.
extra="libgtest-dev mandoc dpkg-dev file
	g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 fonts-wine
	xvfb xauth imagemagick
	clang libclang-rt-14-dev
	default-jre-headless chromium chromium-driver python3-selenium
	strace"
# The microbenchmarks (Google Benchmark), a listing tool to time against,
# strace for the system call counts, and FUSE (fusermount3) with its Python
# binding for the network-like file system of bench/slow_fs.py; headless
# Chromium through Selenium to time the search of a whole tree.
bench="libbenchmark-dev tree time strace fuse3 python3-fusepy chromium chromium-driver python3-selenium"

case $want in
native) packages=$native ;;
format) packages=clang-format ;;
bench) packages="$native $bench" ;;
all) packages="$native $extra $bench" ;;
*)
	echo "usage: install-deps.sh [native|bench|format|all]" >&2
	exit 2
	;;
esac
# Node's own builds bring npm with them; Debian's nodejs needs its npm.
[ "$want" = all ] && ! command -v npm >/dev/null && packages="$packages npm"
# npm packages for ./test.sh, pinned, installed under build/tools/node_modules:
# the Nu HTML Checker and the axe-core accessibility engine for the page tests.
npm_packages="vnu-jar@26.9.27 axe-core@4.14.1"

# The C source of cmark-gfm for the Windows builds, which Debian has no
# MinGW build of: as npm's cmark-gfm package ships it (its vendor/cmark),
# unpacked under build/tools. Only its source is used; nothing of the
# package is run.
cmark_source="cmark-gfm@0.9.0"

missing=
for p in $packages; do
	status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
	case $status in
	*"install ok installed"*) ;;
	*) missing="$missing $p" ;;
	esac
done

# Installs the npm packages that build/tools does not hold yet.
install_npm() {
	[ "$want" = all ] || return 0
	wanted=
	for p in $npm_packages; do
		grep -qs "\"version\": \"${p##*@}\"" "$root/build/tools/node_modules/${p%@*}/package.json" ||
			wanted="$wanted $p"
	done
	[ -z "$wanted" ] && return 0
	mkdir -p "$root/build/tools"
	# All of them at once: an install with --no-save removes the packages
	# it was not given.
	npm install --prefix "$root/build/tools" --no-save --no-audit --no-fund --loglevel=error $npm_packages >/dev/null
}

# Unpacks the cmark-gfm source unless build/tools holds it already.
install_cmark_source() {
	[ "$want" = all ] || return 0
	dir="$root/build/tools/cmark-gfm-${cmark_source##*@}"
	[ -f "$dir/package/vendor/cmark/cmark-gfm.h" ] && return 0
	mkdir -p "$dir"
	tarball=$(cd "$dir" && npm pack --silent "$cmark_source")
	tar -xzf "$dir/$tarball" -C "$dir" package/vendor/cmark package/package.json
	rm -f "$dir/$tarball"
}

if [ -z "$missing" ]; then
	install_npm
	install_cmark_source
	exit 0
fi

if [ "$(id -u)" != 0 ]; then
	echo "install-deps.sh: missing packages:$missing (run as root to install)" >&2
	exit 1
fi

case $missing in
*:i386*)
	if ! dpkg --print-foreign-architectures | grep -qx i386; then
		dpkg --add-architecture i386
	fi
	;;
esac

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
install_npm
install_cmark_source
