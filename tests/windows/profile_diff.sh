#!/usr/bin/env bash
# Every key the plug-in reads, from every file of the corpus, through Wine's real
# GetPrivateProfileIntA and through our portable reader. Any difference fails unless listed in
# the known-differences file.
#   profile_diff.sh WINDOWS_BUILD NATIVE_PROBE CORPUS KNOWN WORK
set -euo pipefail
windows=$1 native=$2 corpus=$3 known=$4 work=$5
source "$(dirname "$0")/wine_env.sh"

files=("$corpus"/*.ini)
[ "${#files[@]}" -ge 40 ] || { echo "FAIL: only ${#files[@]} corpus files"; exit 1; }
wine_files=()
for f in "${files[@]}"; do wine_files+=("$(windows_path "$f")"); done
wine_run 120 "$windows/tarnwick-profile-probe.exe" "${wine_files[@]}" | tr -d '\r' >"$work/profile-wine.txt"
"$native" "${files[@]}" >"$work/profile-native.txt"
[ "$(wc -l <"$work/profile-wine.txt")" -eq $((${#files[@]} * 5)) ] ||
    { echo "FAIL: Wine probe gave $(wc -l <"$work/profile-wine.txt") lines"; exit 1; }

status=0
while read -r file key ours; read -r wfile wkey theirs <&3; do
    if [ "$ours" != "$theirs" ] && ! grep -qE "^$file $key( |$)" "$known"; then
        echo "FAIL: $file $key: portable reader gives '$ours', Windows (Wine) gives '$theirs'"
        status=1
    fi
done < <(awk '{ print $1, $2, $3 " " $4 }' "$work/profile-native.txt") \
    3< <(awk '{ print $1, $2, $3 " " $4 }' "$work/profile-wine.txt")
echo "compared $(wc -l <"$work/profile-native.txt") readings from ${#files[@]} files"
exit $status
