#!/usr/bin/env bash
# The players' zip holds the plug-in, its commented settings and the install text, nothing else.
set -euo pipefail
zip=$(realpath "$1")
[ -f "$zip" ] || { echo "FAIL: no package at $zip"; exit 1; }
contents=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "package: $contents"
[ "$contents" = "INSTALL.txt Tarnwick.asi Tarnwick.ini " ] || { echo "FAIL: unexpected contents"; exit 1; }

# Shipped stripped: no debugging sections, and so about a third of the unstripped size.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
if "$objdump" -h "$work/Tarnwick.asi" | grep -q '\.debug_'; then
    echo "FAIL: Tarnwick.asi carries debugging sections"
    exit 1
fi
echo "Tarnwick.asi: $(stat -c %s "$work/Tarnwick.asi") bytes, stripped"
