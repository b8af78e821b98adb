#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need and this machine lacks.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev libxcb1-dev libgtest-dev googletest
          xvfb xdotool x11-utils openbox locales fonts-dejavu-core
          help2man desktop-file-utils appstream dpkg-dev file
          libasio-dev libcli11-dev libtomlplusplus-dev nlohmann-json3-dev python3-junitparser
          libcpp-httplib-dev pkg-config python3-pytest python3-prometheus-client
          libjs-chart.js chromium chromium-driver python3-selenium liburing-dev
          python3-pytest-xdist libpcap-dev libtins-dev tcpdump zlib1g-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The record text must not follow the locale; the tests prove it under a German one.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi
