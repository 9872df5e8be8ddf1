#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (run as root or with sudo).
set -euo pipefail
# wine64-preloader reserves Wine's fixed addresses before anything else loads;
# without it a Wine process now and then fails to start.
packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  libz-mingw-w64-dev googletest wine64 wine64-preloader xvfb xauth fonts-dejavu-core openssl python3
  ca-certificates)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
