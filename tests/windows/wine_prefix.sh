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
# One server for every Wine test of the run (wine_stop.sh ends it): each program starts without
# starting a server, and never while the last one's server is going away.
"$wineserver" -w
"$wineserver" -p </dev/null >/dev/null 2>&1
echo "wine prefix ready: $WINEPREFIX"
