#!/usr/bin/env bash
# One table for the profile reader: every key the plug-in reads, from every file of the corpus,
# must read as expected.txt says. Natively through our portable reader; with "wine",
# through Windows' own GetPrivateProfileIntA (Wine's), so that neither can drift.
#   profile_table.sh PROBE CORPUS EXPECTED                native
#   profile_table.sh PROBE.exe CORPUS EXPECTED wine WORK  under Wine
set -euo pipefail
probe=$1 corpus=$2 expected=$3 mode=${4:-native}
files=("$corpus"/*.ini)
[ "${#files[@]}" -ge 40 ] || { echo "FAIL: only ${#files[@]} corpus files"; exit 1; }
if [ "$mode" = wine ]; then
    work=$5
    source "$(dirname "$0")/../windows/wine_env.sh"
    args=()
    for f in "${files[@]}"; do args+=("$(windows_path "$f")"); done
    got=$(wine_run 120 "$probe" "${args[@]}" | tr -d '\r')
else
    got=$("$probe" "${files[@]}")
fi
if ! diff -u "$expected" <(printf '%s\n' "$got"); then
    echo "FAIL: the $mode reader differs from the table (lines: file Section/Key value sentinel)"
    exit 1
fi
echo "$mode: $(printf '%s\n' "$got" | wc -l) readings from ${#files[@]} files as the table says"
