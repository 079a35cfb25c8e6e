# debian-root.sh: sourced by the scripts that work in a Debian root of the project's own, kept in a
# build folder: made once with debootstrap from the mirror the system's apt sources name, brought
# up to date once a day, with the system's /proc, /sys and /dev mounted in it only while the
# script runs. Needs root, for debootstrap, chroot and mounts.
#
# root_make ROOT RELEASE [DEBOOTSTRAP_OPTION...]: ROOT holds Debian RELEASE (trixie, Debian 13;
# forky, Debian 14, the testing release; bookworm), made the first time.
# root_enter fresh|shared: mounts /proc, /sys and /dev, and a fresh /tmp or the system's own; the
# root then trusts what the system trusts, and is brought up to date once a day.
# in_root COMMAND...: runs COMMAND in the root with a plain environment; apt_in_root, apt-get so.
root=
[ "$(id -u)" -eq 0 ] || { echo "FAIL: $(basename "$0") needs root (debootstrap, chroot and mounts)" >&2; exit 1; }

# rslave keeps the unmounting from reaching the system's own /dev.
mounted=
root_unmount() {
    [ -n "$mounted" ] || return 0
    for m in tmp dev sys proc; do
        umount -R "$root/$m" 2>/dev/null || umount -R -l "$root/$m" 2>/dev/null || true
    done
    mounted=
}
trap root_unmount EXIT
trap 'exit 130' INT TERM HUP

root_enter() {
    mounted=1
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
    mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
    if [ "$1" = shared ]; then
        mount --bind /tmp "$root/tmp"
    else
        mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    fi
    # The certificate authorities this system trusts beyond Debian's own, which its network may
    # need (npm's registry through a proxy that signs with one of them).
    if [ -n "$(ls /usr/local/share/ca-certificates 2>/dev/null)" ] && [ -x "$root/usr/sbin/update-ca-certificates" ]; then
        mkdir -p "$root/usr/local/share/ca-certificates"
        cp -R /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
        in_root update-ca-certificates >/dev/null
    fi
    if [ -n "$(find "$root/.velmorade-ready" -mmin +1440)" ]; then
        apt_in_root update
        apt_in_root upgrade -y
        touch "$root/.velmorade-ready"
    fi
}

in_root() { chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }
# apt_in_root ARGUMENT...: apt-get in the root, asking nothing.
apt_in_root() { in_root env DEBIAN_FRONTEND=noninteractive apt-get -q "$@"; }

root_make() {
    root=$1
    local release=$2 build script=
    shift 2
    build=$(dirname "$root")
    # debootstrap knows testing by sid's script, and its Release file may be past its
    # Valid-Until between two syncs of the mirror.
    case $release in bookworm | trixie) ;; *) script=/usr/share/debootstrap/scripts/sid ;; esac
    if [ ! -f "$root/.velmorade-ready" ]; then
        if findmnt -rn -o TARGET | grep -q "^$root/"; then
            echo "FAIL: something is still mounted under $root" >&2
            exit 1
        fi
        rm -rf "$root"
        echo "Making a Debian $release system in $root"
        debootstrap --variant=minbase "$@" "$release" "$root" "$("$(dirname "${BASH_SOURCE[0]}")/debian-mirror.sh")" \
            $script >"$build/debootstrap-${root##*/}.log" 2>&1 || { tail -20 "$build/debootstrap-${root##*/}.log" >&2; exit 1; }
        [ -z "$script" ] || echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99velmorade-testing"
        touch "$root/.velmorade-ready"
    fi
    cp /etc/resolv.conf "$root/etc/resolv.conf"
}

# root_project: the project as it stands here, edits included, without anything built, in the
# root's /root/velmorade.
project=/root/velmorade
root_project() {
    local src
    src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    rm -rf "${root:?}$project"
    mkdir -p "$root$project"
    git -C "$src" ls-files -z --cached --others --exclude-standard | tar -C "$src" --null -T - -cf - |
        tar -xf - -C "$root$project"
}
