#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, then configures and builds.
# Usage: scripts/setup.sh [--tests]   (--tests adds what the test suite needs)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(cmake g++ make ccache pkg-config
          qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-translations-l10n
          libharfbuzz-dev libfreetype-dev zlib1g-dev
          fonts-ipafont fonts-noto-cjk fonts-liberation2 fonts-crosextra-carlito
          fonts-crosextra-caladea fontconfig
          shared-mime-info desktop-file-utils xdg-utils)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(libreoffice-writer-nogui antiword xvfb xauth poppler-utils python3-numpy python3-pil)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="${TAMAPIKO_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
