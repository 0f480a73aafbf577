#!/bin/sh
# Maps (or unmaps) a drive letter of the build's Wine prefix to a directory,
# the way Wine's own configuration does: a symbolic link in the prefix's
# dosdevices folder. The tests of a start at a drive root need one; a program
# inside Wine cannot make it.
#
#   map_drive.sh map PREFIX LETTER DIRECTORY WINE_RUN
#   map_drive.sh unmap PREFIX LETTER
set -e
action=$1
prefix=$2
letter=$3
link="$prefix/dosdevices/$letter"
case "$action" in
map)
    directory=$4
    # The first run of a program creates the prefix.
    [ -f "$prefix/system.reg" ] || "$5" cmd /c exit 0 >/dev/null 2>&1
    mkdir -p "$directory"
    ln -sfn "$directory" "$link"
    ;;
unmap)
    if [ -L "$link" ]; then rm -f "$link"; fi
    ;;
*)
    echo "usage: map_drive.sh map|unmap PREFIX LETTER [DIRECTORY WINE_RUN]" >&2
    exit 2
    ;;
esac
