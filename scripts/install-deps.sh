#!/usr/bin/env bash
# Installs every Debian package that building, testing and running need.
# Idempotent: when everything is installed already it touches nothing; else it
# runs apt-get update once and installs what is missing, non-interactively.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev zlib1g-dev libpng-dev libjpeg-dev libmicrohttpd-dev libcurl4-openssl-dev
  libglib2.0-dev media-types
  libcairo2-dev libpango1.0-dev librsvg2-dev fonts-dejavu-core libxml2-dev poppler-utils
  python3-fonttools fontconfig
  libgtk-3-dev libwebkit2gtk-4.1-dev libayatana-appindicator3-dev libfontconfig-dev
  xvfb xauth xclip xdotool dbus curl libglib2.0-bin
  clang
  librsvg2-bin desktop-file-utils appstream file
  kiwix-tools zim-tools wrk
  nginx chromium
  nodejs npm
)

missing=()
for p in "${packages[@]}"; do
  # Some builds of nodejs bring npm themselves and conflict with the package npm.
  if [ "$p" = npm ] && command -v npm >/dev/null 2>&1; then continue; fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
