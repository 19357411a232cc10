#!/usr/bin/env bash
# The players' tarnwick-sim.exe under Wine, against the native tool.
#   tool.sh CASE WINDOWS_BUILD NATIVE_SIM DATA WORK
# same-json: every capture in DATA (each capture tool's files in DATA/tools among them), the default drive and a tune give the same --json as natively,
#   and settings prints the same; only the path fields differ (Z:\... against /...).
# odd-paths: the tool in a folder with spaces and a non-ASCII letter reads a capture and a
#   settings file in another such folder and writes its chart there.
# dropped: captures as the only arguments, as Explorer passes dropped files; Tarnwick.ini; a
#   path with a slip in it.
# report: the report page of two captures is the native one, byte for byte.
set -euo pipefail
case=$1 windows=$2 native=$3 data=$4 work=$5
source "$(dirname "$0")/wine_env.sh"
# Wine turns the command line into Windows' wide one through the locale: make it UTF-8.
export LC_ALL=C.UTF-8
fail() { echo "FAIL ($case): $*"; exit 1; }
# The tool alone in a folder, as a player keeps it: the build's folder holds the stand-in hook
# and other programs, which make it look like a game's folder.
alone="$work/tool-alone-$case"
rm -rf "$alone" && mkdir -p "$alone" && cp "$windows/tarnwick-sim.exe" "$alone/"
# Its standard error too: the tool's warnings are looked at (Wine's own are quiet: WINEDEBUG).
wine_both() { # wine_both SECONDS PROGRAM ARGS...
    local seconds=$1
    shift
    timeout --kill-after=10 "$seconds" "$wine64" "$@" 2>&1
}
# Paths aside: the capture's path is a Windows one under Wine.
same_json() {
    sed -E 's/^( *"(capture|file)": ).*/\1PATH,/' "$1"
}

case $case in
same-json)
    compared=0
    for capture in "$data"/captures/*.csv "$data"/*.csv "$data"/*.json "$data"/*.txt \
        "$data"/tools/*.csv; do
        set +e
        "$native" replay "$capture" --json >"$work/native.json" 2>/dev/null
        native_status=$?
        wine_run 120 "$alone/tarnwick-sim.exe" replay "$(windows_path "$capture")" --json |
            tr -d '\r' >"$work/wine.json"
        wine_status=${PIPESTATUS[0]}
        set -e
        [ "$native_status" = "$wine_status" ] ||
            fail "$capture: exit status $wine_status under Wine, $native_status natively"
        diff <(same_json "$work/native.json") <(same_json "$work/wine.json") ||
            fail "$capture: the JSON differs"
        compared=$((compared + 1))
    done
    capture="$data/captures/presentmon-1.csv"
    "$native" tune "$capture" --moderate 40..60 --critical 30..50 --json >"$work/native.json"
    wine_run 300 "$alone/tarnwick-sim.exe" tune "$(windows_path "$capture")" --moderate 40..60 \
        --critical 30..50 --json | tr -d '\r' >"$work/wine.json"
    diff <(same_json "$work/native.json") <(same_json "$work/wine.json") || fail "tune differs"
    "$native" run --json >"$work/native.json"
    wine_run 300 "$alone/tarnwick-sim.exe" run --json | tr -d '\r' >"$work/wine.json"
    diff "$work/native.json" "$work/wine.json" || fail "the default drive differs"
    "$native" run --compare --seconds 60 --json >"$work/native.json"
    wine_run 300 "$alone/tarnwick-sim.exe" run --compare --seconds 60 --json | tr -d '\r' \
        >"$work/wine.json"
    diff "$work/native.json" "$work/wine.json" || fail "the compared drive differs"
    for ini in "$data"/misspelt.ini "$(dirname "$0")/../../dist/Tarnwick.ini"; do
        "$native" settings "$ini" | tail -n +2 >"$work/native.txt"
        wine_run 60 "$alone/tarnwick-sim.exe" settings "$(windows_path "$ini")" | tr -d '\r' |
            tail -n +2 >"$work/wine.txt"
        diff "$work/native.txt" "$work/wine.txt" || fail "settings $ini differs"
    done
    echo "PASS: $compared captures, a tune, the default drive and two settings files as natively"
    ;;
odd-paths)
    tools="$work/odd/Tools Zoë" captures="$work/odd/Captures Ünïcode été"
    rm -rf "$work/odd"
    mkdir -p "$tools" "$captures"
    cp "$windows/tarnwick-sim.exe" "$tools/"
    cp "$data/captures/presentmon-1.csv" "$captures/run 1.csv"
    cp "$data/misspelt.ini" "$captures/Tarnwick ë.ini"
    out=$(cd "$tools" && wine_both 120 ./tarnwick-sim.exe replay "$(windows_path "$captures/run 1.csv")" \
        --ini "$(windows_path "$captures/Tarnwick ë.ini")" \
        --svg "$(windows_path "$captures/chart ë.svg")" | tr -d '\r' || true)
    echo "$out"
    [ -s "$captures/chart ë.svg" ] || fail "no chart in $captures"
    grep -q "application: FarCryNewDawn.exe (1171 frames)" <<<"$out" || fail "not replayed"
    grep -q "warning: line 3: .FPS_Moderat." <<<"$out" || fail "settings not read or not checked"
    grep -q "chart: .*chart ë.svg" <<<"$out" || fail "the chart's path is not shown as typed"
    echo "PASS: paths with spaces and non-ASCII letters"
    ;;
dropped)
    root="$work/drop/Tarnwick" captures="$work/drop/My Captures"
    rm -rf "$work/drop"
    mkdir -p "$root/tools" "$captures"
    cp "$windows/tarnwick-sim.exe" "$root/tools/"
    : >"$root/game.exe"
    printf '[Settings]\r\nFPS_Moderate=70\r\nFPS_Critical=60\r\n' >"$root/Tarnwick.ini"
    cp "$data/captures/ocat.csv" "$captures/metro.csv"
    # Logs of the real game beside the capture and in the game's folder: a drop adds nothing.
    printf '[Dec  1 2026 10:00:00] a real purge\r\n' | tee "$captures/Tarnwick.log" >"$root/Tarnwick.log"
    logs_before=$(cat "$captures/Tarnwick.log" "$root/Tarnwick.log" | sha256sum)
    # Explorer passes the dropped file's full path as the only argument.
    out=$(wine_both 120 "$root/tools/tarnwick-sim.exe" "$(windows_path "$captures/metro.csv")" \
        </dev/null | tr -d '\r' || true)
    echo "$out"
    grep -q "^your pair: FPS_Moderate 70, FPS_Critical 60 (from .*Tarnwick.Tarnwick.ini, beside the game's .exe)" <<<"$out" ||
        fail "not judged with the settings beside the game's .exe"
    grep -q "^page: .*metro.csv.tarnwick.html" <<<"$out" || fail "the page is not named"
    [ -s "$captures/metro.csv.tarnwick.html" ] || fail "no page beside the capture"
    # Dropped together, two captures make one page beside the first.
    cp "$data/captures/presentmon-1.csv" "$captures/far cry.csv"
    out=$(wine_both 300 "$root/tools/tarnwick-sim.exe" "$(windows_path "$captures/far cry.csv")" \
        "$(windows_path "$captures/metro.csv")" </dev/null | tr -d '\r' || true)
    grep -q "^page: .*far cry.csv.tarnwick.html" <<<"$out" || fail "two captures: $out"
    grep -q "<h2>metro.csv</h2>" "$captures/far cry.csv.tarnwick.html" || fail "metro.csv not on the page"
    # Tarnwick.ini dropped: the settings check, not a capture's error.
    out=$(wine_both 120 "$root/tools/tarnwick-sim.exe" "$(windows_path "$root/Tarnwick.ini")" \
        </dev/null | tr -d '\r' || true)
    grep -q "FPS_Moderate=70 *line 2" <<<"$out" || fail "Tarnwick.ini dropped: $out"
    # Settings dropped with the capture are its settings; a file that is no capture gets no page.
    printf '[Settings]\r\nFPS_Moderate=75\r\nFPS_Critical=65\r\n' >"$captures/Tarnwick.ini"
    out=$(wine_both 120 "$root/tools/tarnwick-sim.exe" "$(windows_path "$captures/metro.csv")" \
        "$(windows_path "$captures/Tarnwick.ini")" </dev/null | tr -d '\r' || true)
    grep -q "^your pair: FPS_Moderate 75, FPS_Critical 65 (from .*dropped with the captures)" <<<"$out" ||
        fail "Tarnwick.ini dropped with a capture: $out"
    printf 'remember the milk\r\n' >"$captures/notes.txt"
    out=$(wine_both 60 "$root/tools/tarnwick-sim.exe" "$(windows_path "$captures/notes.txt")" \
        </dev/null | tr -d '\r' || true)
    grep -q "notes.txt is not a frame-time capture" <<<"$out" || fail "notes.txt dropped: $out"
    [ ! -e "$captures/notes.txt.tarnwick.html" ] || fail "a page for notes.txt"
    # A typed path with a slip in it.
    out=$(wine_both 60 "$root/tools/tarnwick-sim.exe" "$(windows_path "$captures/nonexist.csv")" \
        </dev/null | tr -d '\r' || true)
    grep -q "there is no file .*nonexist.csv" <<<"$out" || fail "a missing file: $out"
    [ "$(cat "$captures/Tarnwick.log" "$root/Tarnwick.log" | sha256sum)" = "$logs_before" ] ||
        fail "a drop wrote into a real Tarnwick.log"
    echo "PASS: dropped captures make a page beside the first, real logs untouched; a dropped Tarnwick.ini is checked"
    ;;
report)
    a="$data/captures/presentmon-1.csv" b="$data/captures/ocat.csv"
    "$native" report "$a" "$b" -o "$work/native.html" >/dev/null
    wine_run 300 "$alone/tarnwick-sim.exe" report "$(windows_path "$a")" "$(windows_path "$b")" \
        -o "$(windows_path "$work/wine.html")" >/dev/null
    [ -s "$work/wine.html" ] || fail "no page"
    cmp "$work/native.html" "$work/wine.html" || fail "the page differs from the native one"
    echo "PASS: the page of two captures is the native one"
    ;;
*) echo "unknown case $case" >&2; exit 2 ;;
esac
