#!/usr/bin/env bash
# Installs every Debian 12 package that building and testing Tabulonix needs.
# Idempotent: when everything is already there it installs nothing.
set -euo pipefail

packages=(
    build-essential g++ clang clang-format cmake pkg-config ninja-build
    libjpeg62-turbo-dev zlib1g-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-pil netpbm libtiff-tools imagemagick libjpeg-turbo-progs libwmf-bin gsfonts emf2svg
    libclang-rt-14-dev
    xvfb xauth xdotool netbase
    desktop-file-utils appstream groff-base dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "bootstrap: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
