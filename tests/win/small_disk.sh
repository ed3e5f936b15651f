#!/bin/sh
# Usage: small_disk.sh mount|unmount DRIVE
# Gives the Wine prefix ($WINEPREFIX) a 1 MiB tmpfs as drive DRIVE (e.g. t:), so a save can
# fill a disk. Mounting needs root; when it cannot be done the drive is simply absent and the
# test that needs it skips, saying why.
set -u
drive="$2"
if [ -z "${WINEPREFIX:-}" ]; then
    echo "small_disk: WINEPREFIX is not set (run under scripts/with-wine); no drive $drive"
    exit 0
fi
point="$WINEPREFIX/small_disk"
link="$WINEPREFIX/dosdevices/$drive"

case "$1" in
mount)
    mkdir -p "$point" || exit 0
    mountpoint -q "$point" && umount "$point"
    if ! mount -t tmpfs -o size=1m tmpfs "$point"; then
        echo "small_disk: cannot mount a tmpfs at $point; no drive $drive"
        rmdir "$point"
        exit 0
    fi
    ln -sfn "$point" "$link"
    echo "small_disk: $drive is a 1 MiB tmpfs at $point"
    ;;
unmount)
    rm -f "$link"
    if mountpoint -q "$point"; then
        umount "$point" || exit 1
    fi
    [ ! -d "$point" ] || rmdir "$point"
    ;;
*)
    echo "usage: $0 mount|unmount DRIVE" >&2
    exit 2
    ;;
esac
