#!/usr/bin/env bash
# Creates the Wine prefix the other Wine tests share, once per test run.
set -euo pipefail
work=$1
source "$(dirname "$0")/wine_env.sh"
rm -rf "$WINEPREFIX"
mkdir -p "$work"
wine_run 300 wineboot --init
# The prefix is ready when a program runs in it.
wine_run 120 cmd /c exit 0
echo "wine prefix ready: $WINEPREFIX"
