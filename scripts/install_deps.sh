#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing, and says which.
# Usage: scripts/install_deps.sh build|test|fuzz|capture ...
set -euo pipefail

packages_for() {
    case "$1" in
    build) echo "cmake g++ make pkg-config libsdl2-dev libgl1-mesa-dev libglu1-mesa-dev" ;;
    run) echo "libgl1-mesa-dri" ;;
    test) echo "googletest libgtest-dev libbenchmark-dev libgl1-mesa-dri libegl-dev libegl-mesa0 \
xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick python3 valgrind clang-format" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    *) echo "unknown package group: $1" >&2; exit 2 ;;
    esac
}

wanted=()
for group in "$@"; do
    for package in $(packages_for "$group"); do
        wanted+=("$package")
    done
done

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install_deps: everything needed for '$*' is installed"
    exit 0
fi

echo "install_deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install_deps: done"
