#!/usr/bin/env bash
# The players' zip holds the plug-in, its commented settings and the install text, nothing else.
set -euo pipefail
zip=$1
[ -f "$zip" ] || { echo "FAIL: no package at $zip"; exit 1; }
contents=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "package: $contents"
[ "$contents" = "INSTALL.txt Tarnwick.asi Tarnwick.ini " ] || { echo "FAIL: unexpected contents"; exit 1; }
