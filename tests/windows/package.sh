#!/usr/bin/env bash
# The players' zip: at the top what goes into the game's folder, the tool in tools/, nothing named
# like the hook, nothing that needs a runtime DLL, both executables stripped and carrying the
# build's version, which INSTALL.txt and the zip's name also show.
#   package.sh ZIP VERSION
set -euo pipefail
zip=$(realpath "$1") version=$2
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
objcopy=${OBJCOPY:-x86_64-w64-mingw32-objcopy}
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$zip" ] || fail "no package at $zip"
[ "$(basename "$zip")" = "Tarnwick-$version-win64.zip" ] || fail "the zip's name lacks $version"
contents=$(cmake -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ')
echo "package: $contents($(stat -c %s "$zip") bytes)"
[ "$contents" = "CHANGELOG.txt INSTALL.txt SHA256SUMS.txt Tarnwick.asi Tarnwick.ini tools/README.txt tools/tarnwick-sim.exe " ] ||
    fail "unexpected contents"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
grep -q "version $version" "$work/INSTALL.txt" || fail "INSTALL.txt does not say version $version"
(cd "$work" && sha256sum --quiet -c SHA256SUMS.txt) || fail "SHA256SUMS.txt does not match the files"
[ "$(wc -l <"$work/SHA256SUMS.txt")" = 6 ] || fail "SHA256SUMS.txt does not list the six other files"
grep -q "^$version" "$work/CHANGELOG.txt" || fail "CHANGELOG.txt has no entry for $version"
# Opened in Notepad: every line ends in CR LF.
for text in INSTALL.txt Tarnwick.ini tools/README.txt CHANGELOG.txt SHA256SUMS.txt; do
    lines=$(wc -l <"$work/$text")
    crlf=$(grep -c $'\r$' "$work/$text" || true)
    [ "$lines" -gt 0 ] && [ "$crlf" = "$lines" ] || fail "$text: $crlf of $lines lines end in CR LF"
done
for exe in Tarnwick.asi tools/tarnwick-sim.exe; do
    file="$work/$exe"
    for dll in $("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        case $dll in
        KERNEL32.dll | msvcrt.dll | SHELL32.dll | ScriptHookV.dll) ;;
        *) fail "$exe imports $dll, which a player does not have" ;;
        esac
    done
    ! "$objdump" -h "$file" | grep -q '\.debug_' || fail "$exe carries debugging sections"
    # The version resource, read back: its strings are UTF-16.
    "$objcopy" -O binary --only-section=.rsrc "$file" "$work/rsrc.bin"
    resource=$(strings -el "$work/rsrc.bin" | tr '\n' '|')
    for want in "ProductName|Tarnwick|" "FileVersion|$version|" "ProductVersion|$version|" \
        "FileDescription|"; do
        [[ "$resource" == *"$want"* ]] || fail "$exe: no '$want' in its version resource: $resource"
    done
    # VS_FIXEDFILEINFO's dwFileType, 36 bytes past its signature: 1 a program, 2 a library.
    type=$(perl -0777 -ne 'my $at = index($_, pack("V", 0xFEEF04BD));
        print $at < 0 ? "none" : unpack("V", substr($_, $at + 36, 4))' "$work/rsrc.bin")
    case $exe in *.asi) want_type=2 ;; *) want_type=1 ;; esac
    [ "$type" = "$want_type" ] || fail "$exe: file type $type in its version resource, not $want_type"
    echo "$exe: $(stat -c %s "$file") bytes, stripped, imports only system DLLs, version $version"
done
