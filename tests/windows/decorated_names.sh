#!/usr/bin/env bash
# The hook exports its operations under MSVC-decorated names. Compiles our hook declarations as
# MSVC would see them (clang, msvc target) and compares the names it references with those the
# plug-in imports from ScriptHookV.dll.
#   decorated_names.sh SOURCE_DIR TARNWICK_ASI WORK
set -euo pipefail
src=$1 asi=$2 work=$3
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
nm=${NM:-x86_64-w64-mingw32-nm}
mkdir -p "$work"
clang++ --target=x86_64-pc-windows-msvc -std=c++20 -nostdinc++ \
    -isystem "$src/tests/windows/msvc_shim" -I "$src/src" \
    -c "$src/tests/windows/hook_names.cpp" -o "$work/hook_names.obj"
"$nm" "$work/hook_names.obj" | awk '$1 == "U" && $2 ~ /^\?/ { print $2 }' | sort >"$work/msvc-names.txt"
"$objdump" -p "$asi" | awk '/DLL Name: ScriptHookV.dll/ { on = 1; next } /DLL Name:/ { on = 0 }
    on && $3 ~ /^\?/ { print $3 }' | sort >"$work/imported-names.txt"
echo "MSVC names:"; cat "$work/msvc-names.txt"
[ "$(wc -l <"$work/msvc-names.txt")" -eq 6 ] || { echo "FAIL: expected six names from clang"; exit 1; }
diff -u "$work/msvc-names.txt" "$work/imported-names.txt" ||
    { echo "FAIL: the plug-in's imports are not the names MSVC gives our declarations"; exit 1; }
