#!/usr/bin/env bash
# desktop-file-validate on the menu entry; errors and warnings both fail.
# Skipped (77) where desktop-file-utils is not installed.
# Usage: DesktopEntry.sh FILE.desktop
set -uo pipefail
if ! command -v desktop-file-validate >/dev/null; then
    echo "DesktopEntry: desktop-file-validate not installed (package desktop-file-utils); skipped"
    exit 77
fi
report=$(desktop-file-validate "$1" 2>&1)
status=$?
if [[ $status -ne 0 || "$report" == *error:* || "$report" == *warning:* ]]; then
    echo "$report" >&2
    exit 1
fi
echo "DesktopEntry: $1 is valid"
