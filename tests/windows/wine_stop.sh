#!/usr/bin/env bash
# Ends the Wine server the prefix's test started for the run.
set -uo pipefail
work=$1
source "$(dirname "$0")/wine_env.sh"
"$wineserver" -k 2>/dev/null || true
