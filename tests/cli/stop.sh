#!/usr/bin/env bash
# Ctrl+C (and SIGTERM, SIGHUP) while a command reads a live input ends the reading, not the work:
# each command finishes with what was read and says where the input was stopped; a second Ctrl+C
# ends it at once. No stop leaves a temporary folder, and a closed output ends the tool quietly.
#   stop.sh PROGRAM CAPTURE WORK
# POSIX signals; Windows cancels the console's read, which Wine cannot show.
set -euo pipefail
program=$(realpath "$1") capture=$2 work=$3
dir="$work/stop"
rm -rf "$dir"
mkdir -p "$dir"
failed=0 passed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
half=$(($(wc -l <"$capture") / 2))

# interrupt NAME ARGS...: the command reads half the capture from a pipe held open, then Ctrl+C.
interrupt() {
    local name=$1
    shift
    rm -f "$dir/feed"
    mkfifo "$dir/feed"
    (cd "$dir" && exec "$program" "$@" <"$dir/feed" >"$dir/$name.out" 2>"$dir/$name.err") &
    local tool=$!
    exec 4>"$dir/feed"
    head -n "$half" "$capture" >&4
    sleep 0.5
    kill -"${signal:-INT}" "$tool"
    status=0
    wait "$tool" || status=$?
    exec 4>&-
}

# command, arguments, what its output must hold after the Ctrl+C
check() {
    local name=$1 expected=$2
    shift 2
    interrupt "$name" "$@"
    if [ "$status" != 0 ]; then
        fail "$name: exit status $status after Ctrl+C: $(cat "$dir/$name.err")"
        return
    fi
    local said="$dir/$name.out"
    [ "$name" = report ] && said="$dir/page.html"
    if ! grep -Eq "$expected" "$said"; then
        fail "$name: what it gave after Ctrl+C lacks /$expected/"
        return
    fi
    passed=$((passed + 1))
}

stopped='the input was stopped \(Ctrl\+C\) at [1-9][0-9.]* s of the capture'
check replay-text "^stopped: $stopped" replay -
check replay-json '"inputStoppedAtMs": [1-9]' replay - --json
check tune "stopped: $stopped.*|recommended|your pair" tune -
grep -Eq "stopped: $stopped" "$dir/tune.out" || fail "tune: the stop is not said"
grep -q "your pair" "$dir/tune.out" || fail "tune: no recommendation after Ctrl+C"
check report "$stopped" report - -o "$dir/page.html"
grep -q "your pair" "$dir/report.out" || fail "report: no verdict after Ctrl+C"
[ -f "$dir/replay-json.out" ] && python3 -c 'import json,sys; json.load(open(sys.argv[1]))' "$dir/replay-json.out" ||
    fail "replay-json: not one JSON document"

# What timeout, a service manager and a closed terminal send stop the reading as Ctrl+C does.
signal=TERM check replay-sigterm "^stopped: the input was stopped" replay -
signal=HUP check replay-sighup "^stopped: the input was stopped" replay -

# No stop the tool sees leaves the simulated game's folder behind: a file input (nothing to stop
# reading), each signal, and standard output closed by its reader.
export TMPDIR="$dir/tmp"
mkdir -p "$TMPDIR"
head -n 1 "$capture" >"$dir/long.csv"
for i in $(seq 200); do tail -n +2 "$capture"; done >>"$dir/long.csv"
for sig in INT TERM HUP; do
    "$program" report "$dir/long.csv" -o "$dir/long.html" >/dev/null 2>&1 &
    tool=$!
    for _ in $(seq 50); do [ -n "$(ls "$TMPDIR")" ] && break; sleep 0.05; done
    kill -"$sig" "$tool"
    wait "$tool" || true
    if [ -n "$(ls "$TMPDIR")" ]; then fail "SIG$sig on a file input left $(ls "$TMPDIR")"; else passed=$((passed + 1)); fi
    rm -rf "${TMPDIR:?}"/*
done
set +e
"$program" replay "$dir/long.csv" --every 0.01 2>"$dir/head.err" | head -1 >/dev/null
status=${PIPESTATUS[0]}
set -e
if [ "$status" = 141 ] && [ ! -s "$dir/head.err" ] && [ -z "$(ls "$TMPDIR")" ]; then
    passed=$((passed + 1))
else
    fail "replay | head -1: exit status $status, said '$(cat "$dir/head.err")', left '$(ls "$TMPDIR")'"
fi
# A chart to a named pipe whose reader leaves early is a chart not written (one larger than the
# pipe's buffer, so the reader leaves while it is written).
mkfifo "$dir/early.svg"
head -c 10 "$dir/early.svg" >/dev/null &
status=0
"$program" replay "$dir/long.csv" --svg "$dir/early.svg" >/dev/null 2>"$dir/early.err" || status=$?
if [ "$status" = 1 ] && grep -q "cannot write the chart to .*early.svg: the program reading the pipe went away" "$dir/early.err"; then
    passed=$((passed + 1))
else
    fail "a chart's reader that leaves: exit status $status: $(cat "$dir/early.err")"
fi
unset TMPDIR

# A second Ctrl+C while the work after the input goes on (here: waiting for the chart's reader,
# which never comes) ends the tool at once.
mkfifo "$dir/chart.svg"
rm -f "$dir/feed"
mkfifo "$dir/feed"
(exec "$program" replay - --svg "$dir/chart.svg" <"$dir/feed" >"$dir/second.out" 2>&1) &
tool=$!
exec 4>"$dir/feed"
head -n "$half" "$capture" >&4
sleep 0.5
kill -INT "$tool"
sleep 0.5
if kill -0 "$tool" 2>/dev/null; then
    kill -INT "$tool"
    status=0
    wait "$tool" || status=$?
    if [ "$status" = 130 ]; then passed=$((passed + 1)); else fail "second Ctrl+C: exit status $status, not 130"; fi
else
    fail "second Ctrl+C: the tool ended at the first, with a chart still to write"
fi
exec 4>&-

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
