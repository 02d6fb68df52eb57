#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  libsmbclient-dev smbclient samba samba-common-bin
  libsecret-1-dev
  libzip-dev libexpat1-dev libpoppler-cpp-dev poppler-data
  poppler-utils unzip python3-cairo
  libgtest-dev libbenchmark-dev shared-mime-info
  clang libclang-rt-14-dev
  iproute2 procps ripgrep cups-client libglib2.0-bin
  xvfb xauth fonts-noto-cjk imagemagick
  python3 wsdd avahi-daemon
  desktop-file-utils appstream librsvg2-bin man-db groff-base
  dpkg-dev file lintian
)
# Run by the Samba test LAN inside its own network namespaces only; the
# install must not start them (nor enable them) on the machine itself.
lan_only_services=(wsdd avahi-daemon)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"

# invoke-rc.d and deb-systemd-invoke ask /usr/sbin/policy-rc.d whether a
# package's postinst may start its service; 101 means no.  Put one in place
# for this install unless the machine has its own.
new_services=()
for s in "${lan_only_services[@]}"; do
  for p in "${missing[@]}"; do [ "$p" = "$s" ] && new_services+=("$s"); done
done
policy=""
if [ ${#new_services[@]} -gt 0 ] && [ ! -e /usr/sbin/policy-rc.d ]; then
  policy=/usr/sbin/policy-rc.d
  printf '#!/bin/sh\n# Put here by scripts/install-deps.sh for one install.\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 0755 "$policy"
  trap '$sudo rm -f "$policy"' EXIT
fi

$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

# With systemd, the packages also enable their units for the next boot.
if [ ${#new_services[@]} -gt 0 ] && [ -d /run/systemd/system ] && command -v systemctl >/dev/null; then
  for s in "${new_services[@]}"; do
    units=("$s.service")
    [ "$s" = avahi-daemon ] && units+=(avahi-daemon.socket)
    $sudo systemctl disable --now "${units[@]}" >/dev/null 2>&1 || true
  done
fi
