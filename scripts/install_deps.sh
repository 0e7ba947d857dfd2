#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing, and says which.
# Usage: scripts/install_deps.sh build|run|test|capture|hardening|windows|fuzz|web ...
set -euo pipefail

packages_for() {
    case "$1" in
    build) echo "cmake g++ make pkg-config libsdl2-dev libx11-dev libgl1-mesa-dev libglu1-mesa-dev" ;;
    run) echo "libgl1-mesa-dri" ;;
    capture) echo "ffmpeg libegl-dev libegl-mesa0 libgl1-mesa-dri" ;;
    test) echo "googletest libgtest-dev libbenchmark-dev libgl1-mesa-dri libegl-dev libegl-mesa0 libgles-dev \
xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick python3 valgrind clang-format" ;;
    # The Windows executables cross-compiled with MinGW-w64 and tested under Wine, 32-bit Wine from
    # Debian's i386 architecture. Wine's X11 driver loads libGL and the X extension libraries at
    # run time, for each architecture; it only recommends them, so they are named here.
    windows) echo "g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest cmake make wine wine64 \
wine32:i386 xvfb xauth openbox xdotool x11-utils imagemagick libgl1:amd64 libgl1:i386 \
libgl1-mesa-dri:amd64 libgl1-mesa-dri:i386 libxrandr2:amd64 libxrandr2:i386 libxxf86vm1:amd64 \
libxxf86vm1:i386 libxrender1:amd64 libxrender1:i386 libxcursor1:amd64 libxcursor1:i386 \
libxi6:amd64 libxi6:i386 libxinerama1:amd64 libxinerama1:i386 libxcomposite1:amd64 \
libxcomposite1:i386 libxfixes3:amd64 libxfixes3:i386" ;;
    hardening) echo "libasan8 libubsan1 libx11-dev valgrind x11-utils xvfb openbox xdotool" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    web) echo "emscripten chromium chromium-driver python3-selenium libgles-dev libegl-dev libegl-mesa0 libgl1-mesa-dri" ;;
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
# Packages of another architecture (name:i386) need that architecture known to dpkg first.
for package in "${missing[@]}"; do
    case "$package" in
    *:i386)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            echo "install_deps: adding the i386 architecture"
            $sudo dpkg --add-architecture i386
        fi
        break
        ;;
    esac
done
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install_deps: done"
