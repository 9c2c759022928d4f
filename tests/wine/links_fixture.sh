#!/usr/bin/env bash
# Unix symbolic links inside the sandbox's drive C: for the link tests of the cleanup and the report file
# (Wine 8 has no call that makes one, but shows a Unix link to a folder as a reparse point), made as the
# sandbox's Wine user.
#   tests/wine/links_fixture.sh SANDBOX_DIR create|remove
set -euo pipefail
sandbox=$1
action=$2
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck disable=SC2016 # expanded inside the sandbox, where WINEPREFIX is set
case $action in
    create)
        exec "$here/../../scripts/sandbox" exec "$sandbox" sh -euc '
            c="$WINEPREFIX/drive_c"
            targets="$c/velmora-link-targets"
            # Whichever case the folder has on disk: a second "temp" beside "Temp" would be a new folder.
            temp=$(find "$c/windows" -maxdepth 1 -type d -iname temp | head -n 1)
            [ -n "$temp" ] || { echo "no C:\\Windows\\Temp in the sandbox" >&2; exit 1; }
            rm -rf "$targets" "$temp/velmora-link-nest" "$c/velmora-linked-temp"
            rm -f "$temp/velmora-link-folder" "$temp/velmora-link-empty" "$temp/velmora-link-file"
            mkdir -p "$targets/folder/inner" "$targets/empty" "$temp/velmora-link-nest/sub"
            echo keep >"$targets/folder/keep.txt"
            echo deep >"$targets/folder/inner/deep.txt"
            echo file >"$targets/file.txt"
            ln -s "$targets/folder" "$temp/velmora-link-folder"
            ln -s "$targets/empty" "$temp/velmora-link-empty"
            ln -s "$targets/file.txt" "$temp/velmora-link-file"
            ln -s "$targets/folder" "$temp/velmora-link-nest/sub/velmora-link-folder"
            # A user temporary folder named Temp that leads to a folder of ordinary files.
            mkdir -p "$c/velmora-linked-temp"
            ln -s "$targets/folder" "$c/velmora-linked-temp/Temp"
        '
        ;;
    remove)
        # rm removes the links themselves, never what they point at.
        exec "$here/../../scripts/sandbox" exec "$sandbox" sh -euc '
            c="$WINEPREFIX/drive_c"
            find "$c/windows" -mindepth 2 -maxdepth 2 -type l -name "velmora-link-*" -delete
            find "$c/windows" -mindepth 2 -maxdepth 2 -type d -name velmora-link-nest -exec rm -rf {} +
            rm -rf "$c/velmora-link-targets" "$c/velmora-linked-temp"
        '
        ;;
    *)
        echo "usage: $0 SANDBOX_DIR create|remove" >&2
        exit 2
        ;;
esac
