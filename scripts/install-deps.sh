#!/bin/sh
# Installs the Debian packages that building and running Dovrane need; with --tests also what
# its tests, format check, fuzz harnesses and benchmarks add. Knows Debian and Ubuntu (dpkg and
# apt-get); elsewhere it names what is needed and leaves installing it to you. Idempotent: when
# everything is present it only asks dpkg and returns. Installing asks for sudo unless you are
# root; without it the packages are named with the command that installs them, and it fails.
set -eu

# Building the program, its tool stand-ins and its module.
BUILD="
cmake
ninja-build
g++
pkg-config
nlohmann-json3-dev
libplist-dev
libicu-dev
libpcre2-dev
libcurl4-openssl-dev
libsodium-dev
libexpat1-dev
libarchive-dev
libappimage-dev
libflatpak-dev
libgit2-dev
qt6-base-dev
qt6-svg-dev
qt6-tools-dev
qt6-tools-dev-tools
qt6-l10n-tools
"

# What the program opens or runs while it runs: its database driver, Qt's German texts, the
# image formats of app icons, the icons and the font it falls back on, 7-Zip for disk images,
# and polkit's pkexec, through which the moves that need administrator rights run.
RUN="
libqt6sql6-sqlite
qt6-translations-l10n
qt6-image-formats-plugins
adwaita-icon-theme
fonts-dejavu-core
7zip
pkexec
"

# What the tests, the format check, the clang build with its sanitizers and fuzz harnesses, and
# the benchmarks add: the test frameworks, OpenSSL for the loopback https server, the programs the
# tests build fixtures with or check the install by (git among them, and mkfs.ext4 for a disk whose
# power a test cuts), a private session bus and /usr/bin/time.
TESTS="
clang
libclang-rt-14-dev
clang-format
libgtest-dev
libgmock-dev
libssl-dev
libsqlite3-dev
flatpak
squashfs-tools
e2fsprogs
desktop-file-utils
appstream
dbus-daemon
git
time
"

case "${1:-}" in
"") PACKAGES="$BUILD $RUN" ;;
--tests) PACKAGES="$BUILD $RUN $TESTS" ;;
*)
    echo "usage: $0 [--tests]" >&2
    exit 2
    ;;
esac

# One line, for the messages below.
list=$(echo $PACKAGES)

if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    echo "This system has no dpkg and apt-get, so Dovrane installs nothing here. It needs these Debian" >&2
    echo "packages or your system's equivalents (Qt 6.4 or newer among them):" >&2
    echo "  $list" >&2
    echo "Install them with your package manager; the build then says if something is still missing." >&2
    exit 0
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    why=""
    if ! command -v sudo >/dev/null 2>&1; then
        why="sudo is not installed"
    elif ! sudo -v; then
        why="sudo did not give them"
    fi
    if [ -n "$why" ]; then
        echo "Dovrane needs these packages, which are not installed:$missing" >&2
        echo "Installing them needs administrator rights, and $why. As root, run:" >&2
        echo "  apt-get update && apt-get install --no-install-recommends$missing" >&2
        exit 1
    fi
    SUDO="sudo"
fi

echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
