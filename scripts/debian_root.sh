# A minimal Debian 12 root, for checks that must start from a fresh machine: made with mmdebstrap
# (--variant=minbase bookworm) from this machine's own Debian sources, the host's /proc, /sys,
# /dev and /dev/pts mounted into it, and taken down again. Sourced by scripts/fresh_machine.sh
# and tests/release/check_files.sh; needs root (chroot, mounts) and mmdebstrap (the group
# fresh-machine of scripts/deps.txt).

# This machine's own apt source files that name bookworm (the only mirror there may be), one a
# line.
debian_root_sources() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        if [ -f "$file" ] && grep -Eq '^[^#]*(^|[[:space:]])bookworm(-[a-z]+)?([[:space:]]|$)' "$file"; then
            echo "$file"
        fi
    done
}

# debian_root_make ROOT LOG PACKAGES: makes the root in the empty folder ROOT, with the packages
# named (comma-separated) beside the minimal set, mmdebstrap's output in LOG; then gives it what
# an installed machine has beside (name resolution, localhost) and mounts the host's /proc,
# /sys, /dev and /dev/pts in it. Its command runs in the background, in a process group of its
# own, its process id in debian_root_child while it runs, so that a signal is handled at once.
debian_root_child=""
debian_root_make() {
    local root=$1 log=$2 packages=$3 sources status=0
    mapfile -t sources < <(debian_root_sources)
    if [ ${#sources[@]} -eq 0 ]; then
        echo "no Debian 12 (bookworm) apt sources on this machine to make the root from" >"$log"
        return 1
    fi
    # Readable by the root's own users (apt downloads as _apt).
    chmod 755 "$root"
    setsid mmdebstrap --variant=minbase --include="$packages" bookworm "$root" "${sources[@]}" \
        >"$log" 2>&1 </dev/null &
    debian_root_child=$!
    wait "$debian_root_child" || status=$?
    debian_root_child=""
    [ "$status" -eq 0 ] || return "$status"

    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # The host names every installed Debian has from its installer (or cloud-init), which a
    # minbase root lacks: without them "localhost" does not resolve, and a test talking to a
    # local server by that name fails for a reason no real machine has.
    printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
    local mount
    for mount in /proc /sys /dev /dev/pts; do
        mkdir -p "$root$mount"
        mount --bind "$mount" "$root$mount"
    done
}

# debian_root_remove ROOT: ends the process group debian_root_child if one still runs, then
# whatever else runs inside the root, unmounts everything under it (the last mounted first) and
# removes it, without crossing into anything still mounted. Fails when the root could not be
# removed entirely.
debian_root_remove() {
    local root=$1 pid mounts mount
    if [ -n "$debian_root_child" ]; then
        # The step's whole process group: asked first, then made to stop.
        kill -TERM -- "-$debian_root_child" 2>/dev/null || true
        for _ in $(seq 10); do
            kill -0 -- "-$debian_root_child" 2>/dev/null || break
            sleep 0.5
        done
        kill -KILL -- "-$debian_root_child" 2>/dev/null || true
    fi
    for _ in 1 2 3; do
        for pid in /proc/[0-9]*; do
            if [ "$pid/root" -ef "$root" ]; then
                kill -KILL "${pid#/proc/}" 2>/dev/null || true
            fi
        done
        sleep 0.2
    done
    if [ -n "$debian_root_child" ]; then
        wait "$debian_root_child" 2>/dev/null || true
        debian_root_child=""
    fi
    mounts=$(awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/self/mounts | tac)
    for mount in $mounts; do
        umount "$mount" 2>/dev/null || umount -l "$mount" || true
    done
    rm -rf --one-file-system "$root"
    [ ! -e "$root" ]
}

# debian_root_run ROOT LOG COMMAND: runs the bash command line in the root as a login with no
# display would (a clean environment, root's home, C.UTF-8), output in LOG, in the background in
# a process group of its own as above.
debian_root_run() {
    local root=$1 log=$2 status=0
    setsid chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "$3" >"$log" 2>&1 </dev/null &
    debian_root_child=$!
    wait "$debian_root_child" || status=$?
    debian_root_child=""
    return "$status"
}
