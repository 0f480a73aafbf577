#!/bin/sh
# Checks that dependencies between the product folders run one way. Layers,
# top to bottom:
#   app
#   console, automation, camera, remote
#   log, engine   (log uses the platform record: log may include engine)
#   framework
# A file may include headers of its own folder and of the layers below it;
# res/ (resource ids) lies outside the layers. Each "#include "..."" is
# resolved as the compiler resolves it: the including file's folder first,
# then the include roots (the source root, app/, res/, framework/), so a bare
# "VelmorApp.h" is app/VelmorApp.h. Includes that resolve to no file here
# (system headers) are not checked.
#
# Also checks that no code outside engine/ calls an entry point of the engine
# library itself: engine/EngineCalls.h runs each call in the fault guard.
#
# The exceptions, one a line, live in tools/layer-exceptions under the root;
# one that no longer matches anything is an error too, so the list only
# shrinks. Prints one line per violation and exits 1 when there is any.
#
# Usage: check-layers.sh [source root]
set -eu
cd "${1:-$(dirname "$0")/..}"

folders="app console automation camera remote log engine framework"
entry_points="pInitAll|pExitAll|pServerTick|edsrvProcess|linktopicProcessClientRequest|linktopicProcessClientData"

layer() {
    case $1 in
    app) echo 3 ;;
    console | automation | camera | remote) echo 2 ;;
    log | engine) echo 1 ;;
    framework) echo 0 ;;
    *) echo - ;;
    esac
}

exceptions=$(grep -v '^[[:space:]]*\(#\|$\)' tools/layer-exceptions 2>/dev/null || true)
used=""
failed=0

excepted() {
    if printf '%s\n' "$exceptions" | grep -qxF "$1"; then
        used="$used
$1"
        return 0
    fi
    return 1
}

report() {
    echo "$1" >&2
    failed=1
}

resolve() {  # resolve FOLDER HEADER: the header's path from the root, or nothing
    for candidate in "$1/$2" "$2" "app/$2" "res/$2" "framework/$2"; do
        if [ -f "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
}

for folder in $folders; do
    [ -d "$folder" ] || continue
    for file in $(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \) | sort); do
        dir=$(dirname "$file")
        for header in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
            target=$(resolve "$dir" "$header")
            [ -n "$target" ] || continue
            to=${target%%/*}
            [ "$to" != "$folder" ] || continue
            from_layer=$(layer "$folder")
            to_layer=$(layer "$to")
            [ "$to_layer" != - ] || continue
            [ "$to_layer" -lt "$from_layer" ] && continue
            [ "$folder/$to" = log/engine ] && continue
            excepted "$file -> $target" && continue
            if [ "$to_layer" -eq "$from_layer" ]; then
                report "$file: includes \"$header\" ($target): $to/ is beside $folder/, not below it"
            else
                report "$file: includes \"$header\" ($target): $to/ is above $folder/"
            fi
        done
        [ "$folder" != engine ] || continue
        calls=$(sed 's://.*::' "$file" | grep -nE "(^|[^A-Za-z0-9_])($entry_points)[[:space:]]*\(" || true)
        [ -n "$calls" ] || continue
        excepted "$file -> engine entry points" && continue
        printf '%s\n' "$calls" | while IFS= read -r call; do
            echo "$file:${call%%:*}: calls the engine library outside engine/EngineCalls.h: ${call#*:}" >&2
        done
        failed=1
    done
done

printf '%s\n' "$exceptions" | while IFS= read -r exception; do
    [ -n "$exception" ] || continue
    if ! printf '%s\n' "$used" | grep -qxF "$exception"; then
        echo "tools/layer-exceptions: \"$exception\" no longer happens: take it out" >&2
        exit 1
    fi
done || failed=1

[ "$failed" -eq 0 ] && echo "Dependencies between the product folders run one way."
exit "$failed"
