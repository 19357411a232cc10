#!/usr/bin/env bash
# The commands the players' texts give run as typed in cmd and in PowerShell: the tool started as
# .\tarnwick-sim.exe or .\tools\tarnwick-sim.exe, since PowerShell runs nothing from the current
# folder by its bare name. The tool named in prose ("drop it onto tarnwick-sim.exe") is no command.
#   typed_commands.sh FILE...
set -euo pipefail
words='doctor|settings|replay|tune|report|run|scenario|--'
bare=$(grep -nP "(?<!\.\\\\)(?<!\.\\\\tools\\\\)tarnwick-sim\.exe ($words)" "$@" || true)
if [ -n "$bare" ]; then
    echo "FAIL: commands that PowerShell does not run as written:"
    echo "$bare"
    exit 1
fi
echo "$(grep -ocP "tarnwick-sim\.exe ($words)" "$@" | awk -F: '{ n += $2 } END { print n }') passed, 0 failed"
