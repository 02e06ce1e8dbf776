#!/bin/sh
# Installs every Debian package that building, testing and benchmarking Dovrane needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -eu

PACKAGES="
cmake
ninja-build
clang-format
g++
clang
libclang-rt-14-dev
pkg-config
libgtest-dev
libgmock-dev
nlohmann-json3-dev
libplist-dev
libicu-dev
libpcre2-dev
libcurl4-openssl-dev
libssl-dev
libsodium-dev
libexpat1-dev
libarchive-dev
libappimage-dev
libflatpak-dev
flatpak
squashfs-tools
7zip
time
qt6-base-dev
libqt6sql6-sqlite
libsqlite3-dev
qt6-tools-dev
qt6-tools-dev-tools
qt6-l10n-tools
qt6-translations-l10n
desktop-file-utils
appstream
dbus-daemon
pkexec
qt6-svg-dev
qt6-image-formats-plugins
adwaita-icon-theme
fonts-dejavu-core
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
