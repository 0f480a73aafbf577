#!/bin/sh
# Installs the third-party remote console clients that the tests drive, from
# npm, exactly as tests/remote/package-lock.json pins them. Nothing is fetched
# while the installed ones are as new as the lock file, so a machine that has
# them runs the tests offline.
set -eu
cd "$(dirname "$0")/../tests/remote"
marker=node_modules/.package-lock.json
if [ -f "$marker" ] && [ ! package-lock.json -nt "$marker" ]; then
    exit 0
fi
echo "Installing the remote console's test clients from npm (tests/remote)" >&2
npm ci --no-audit --no-fund --loglevel=error
