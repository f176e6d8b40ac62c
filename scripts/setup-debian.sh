#!/usr/bin/env bash
# Installs what Sondrel needs to build, run and test on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n qt6-qpa-plugins
  libmpg123-dev libmp3lame-dev libsoxr-dev libavcodec-dev libavformat-dev libavutil-dev
  libtag1-dev libgtest-dev fonts-liberation
)
if [ "${1:-}" = "--tests" ]; then
  # Outside references the tests and benchmarks compare against.
  packages+=(ccache lame mpg123 sox libsox-fmt-all ffmpeg libimage-exiftool-perl mediainfo xvfb xauth imagemagick python3-mutagen time id3v2 strace clang-14 libclang-rt-14-dev valgrind openbox x11-utils xdotool dbus at-spi2-core python3-pyatspi desktop-file-utils lintian appstream)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
