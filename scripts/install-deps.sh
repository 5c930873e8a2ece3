#!/usr/bin/env bash
# Installs the Debian packages that Orvo needs to build, run and test; only the missing ones.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev libqt6sql6-sqlite libsqlite3-dev
    mdbtools-dev
    fonts-liberation2
    desktop-file-utils appstream
    # make deb and its test: CPack finds the libraries' packages with dpkg-shlibdeps (dpkg-dev)
    # and the programs with file; lintian checks the package; the test completes with
    # bash-completion's functions.
    dpkg-dev file lintian bash-completion
)

# `make fuzz` alone needs clang and its libFuzzer runtime.
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
