#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing, and says which.
# Usage: scripts/install_deps.sh GROUP...   (build, run, capture, test, hardening, windows, fuzz,
# tidy, fresh-machine: the groups of scripts/deps.txt)
set -euo pipefail

declaration="$(dirname "${BASH_SOURCE[0]}")/deps.txt"

# The packages of each group named, from the declaration of everything the project uses.
wanted=()
for group in "$@"; do
    mapfile -t found < <(awk -v group="$group" '
        { sub(/#.*/, "") }
        NF >= 4 && index("," $4 ",", "," group ",") && !seen[$3]++ { print $3 }
    ' "$declaration")
    if [ ${#found[@]} -eq 0 ]; then
        echo "install_deps: unknown package group: $group (the groups are in scripts/deps.txt)" >&2
        exit 2
    fi
    wanted+=("${found[@]}")
done

# What is installed, from one look at dpkg's records (one query a package took most of a minute
# for the windows group on a loaded machine): each package by name:architecture, and by its name
# alone where it is of this machine's architecture or of none.
native=$(dpkg --print-architecture)
declare -A installed=()
while IFS=$'\t' read -r name arch status; do
    if [ "${status:0:2}" = ii ]; then
        installed["$name:$arch"]=1
        if [ "$arch" = "$native" ] || [ "$arch" = all ]; then
            installed["$name"]=1
        fi
    fi
done < <(dpkg-query -W -f='${Package}\t${Architecture}\t${db:Status-Abbrev}\n')

missing=()
for package in "${wanted[@]}"; do
    if [ -z "${installed[$package]:-}" ]; then
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
