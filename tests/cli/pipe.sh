#!/usr/bin/env bash
# A capture fed into a pipe a few lines at a time, as a capture tool writes it while the game runs:
# the state changes come out before the input ends, and they are those of the file's replay.
#   pipe.sh native PROGRAM CAPTURE WORK
#   pipe.sh wine PROGRAM.exe CAPTURE WORK    standard input of the Windows tool under Wine
set -euo pipefail
mode=$1 program=$2 capture=$3 work=$4
fail() { echo "FAIL: $*"; exit 1; }
dir="$work/pipe"
rm -rf "$dir"
mkdir -p "$dir"
if [ "$mode" = wine ]; then
    source "$(dirname "$0")/../windows/wine_env.sh"
    # Nothing between the tool and the file: a filter would hold the lines back in its buffer.
    run() { timeout --kill-after=10 120 "$wine64" "$program" "$@" 2>>"$dir/stderr"; }
else
    run() { timeout 120 "$program" "$@" 2>>"$dir/stderr"; }
fi
# What the file's replay says: the state changes in order, from its JSON.
run replay "$( [ "$mode" = wine ] && windows_path "$capture" || echo "$capture")" --json >"$dir/file.json"
tr -d '\r' <"$dir/file.json" | grep -A2 '"from"' | sed -n 's/.*"\(from\|to\)": "\(.*\)".*/\2/p' | paste -d' ' - - |
    sed 's/ / -> /' >"$dir/file-changes.txt"
[ -s "$dir/file-changes.txt" ] || fail "the file's replay has no state change to compare"

mkfifo "$dir/feed"
run replay - <"$dir/feed" >"$dir/live.txt" &
tool=$!
exec 3>"$dir/feed"
lines=$(wc -l <"$capture")
half=$((lines / 2))
# The first half, forty lines at a time, then a pause with the pipe still open.
for ((from = 1; from <= half; from += 40)); do
    sed -n "${from},$((from + 39 < half ? from + 39 : half))p" "$capture" >&3
    sleep 0.02
done
# A change's own line, not the opening line that says changes will be shown.
for _ in $(seq 100); do
    grep -Eq '^ *[0-9.]+  state ' "$dir/live.txt" && break
    sleep 0.1
done
grep -Eq '^ *[0-9.]+  state ' "$dir/live.txt" || fail "no state change shown while the input was still open"
grep -q "^summary:" "$dir/live.txt" && fail "the summary came before the input ended"
tail -n +$((half + 1)) "$capture" >&3
exec 3>&-
wait "$tool" || fail "exit status $? at the end of the input"
grep -q "^summary:" "$dir/live.txt" || fail "no summary after the input ended"
tr -d '\r' <"$dir/live.txt" | sed -n 's/^ *[0-9.]*  state //p' >"$dir/live-changes.txt"
diff "$dir/file-changes.txt" "$dir/live-changes.txt" || fail "the live state changes differ from the file's"
# Standard input as a whole gives the file's report, but for the capture's name.
run replay - --json <"$capture" >"$dir/stdin.json"
diff <(tr -d '\r' <"$dir/file.json" | grep -v '"capture"') <(tr -d '\r' <"$dir/stdin.json" | grep -v '"capture"') ||
    fail "replay - --json differs from the file's"
# A few bytes, the pipe held open: the change is shown without waiting for a block to fill.
mkfifo "$dir/few"
run replay - <"$dir/few" >"$dir/few.txt" &
tool=$!
exec 5>"$dir/few"
printf '16.6\n16.6\n16.6\n100\n100\n' >&5
for _ in $(seq 150); do
    grep -q "state Moderate -> Critical" "$dir/few.txt" && break
    sleep 0.1
done
grep -q "state Moderate -> Critical" "$dir/few.txt" ||
    fail "28 bytes in a pipe held open: no state change shown"
exec 5>&-
wait "$tool" || fail "exit status $? after the few bytes"
# A capture tool stopped while writing: its last line cut short still ends with the summary, and
# the cut is said.
{
    cat "$capture"
    tail -n 1 "$capture" | head -c 7
} | run replay - >"$dir/cut.txt" || fail "exit status $? on a last line cut short"
grep -q "^summary:" "$dir/cut.txt" || fail "no summary after a last line cut short"
grep -q "^the last line is cut short (7 bytes): left out" "$dir/cut.txt" ||
    fail "a last line cut short, not said"
passed=4
# Ctrl+C while the input is still open: the replay ends with its summary (POSIX signals here;
# Windows cancels the console's read, which Wine cannot show).
if [ "$mode" = native ]; then
    mkfifo "$dir/open"
    "$program" replay - <"$dir/open" >"$dir/interrupted.txt" 2>&1 &
    tool=$!
    exec 4>"$dir/open"
    head -n "$half" "$capture" >&4
    for _ in $(seq 100); do
        grep -Eq '^ *[0-9.]+  state ' "$dir/interrupted.txt" && break
        sleep 0.1
    done
    kill -INT "$tool"
    status=0
    wait "$tool" || status=$?
    exec 4>&-
    [ "$status" = 0 ] || fail "exit status $status after Ctrl+C"
    grep -q "^summary:" "$dir/interrupted.txt" || fail "no summary after Ctrl+C"
    passed=5
fi
echo "$passed passed, 0 failed: $(wc -l <"$dir/live-changes.txt") state changes shown as they came, as the file's replay has them"
