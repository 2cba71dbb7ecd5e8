#!/bin/sh
# Installs the Debian packages the build and the tests need, and nothing
# that is already there. Run as root on Debian 12; safe to run repeatedly.
#   install-deps.sh native   compiler, CMake, Ninja, GoogleTest
#   install-deps.sh all      also the 32-bit Windows cross compiler, Wine,
#                            Xvfb and clang's fuzzing runtime
set -eu

want=${1:-all}

native="g++ cmake ninja-build libgtest-dev libgmock-dev"
extra="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 xvfb clang libclang-rt-14-dev x11-apps imagemagick fonts-wine"

packages=$native
[ "$want" = all ] && packages="$native $extra"

missing=
for p in $packages; do
	status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
	case $status in
	*"install ok installed"*) ;;
	*) missing="$missing $p" ;;
	esac
done

[ -z "$missing" ] && exit 0

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
