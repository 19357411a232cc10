#!/usr/bin/env bash
# A player copies one file: the plug-in may import only from the hook, the kernel and the C
# runtime every Windows has, and exports nothing.
set -euo pipefail
asi=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
imports=$("$objdump" -p "$asi" | sed -n 's/^\s*DLL Name: //p' | sort)
echo "imports: $(echo $imports)"
status=0
for dll in $imports; do
    case $dll in
    ScriptHookV.dll | KERNEL32.dll | msvcrt.dll) ;;
    *) echo "FAIL: imports $dll, which a player does not have"; status=1 ;;
    esac
done
echo "$imports" | grep -qx ScriptHookV.dll || { echo "FAIL: does not import ScriptHookV.dll"; status=1; }
exports=$("$objdump" -p "$asi" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -cE '^\s*\[ *[0-9]+\]' || true)
[ "$exports" -eq 0 ] || { echo "FAIL: exports $exports names"; status=1; }
exit $status
