#!/usr/bin/env bash
# Every file the tool writes is whole or not there: a full disk, two writers of one page, a named
# pipe as the output, a capture on a medium that cannot take the page, a log folder that fills.
#   whole.sh native PROGRAM CAPTURE OTHER WORK
#   whole.sh wine PROGRAM.exe CAPTURE OTHER WORK
# A full disk is a small tmpfs when run as root (as CI is), else a limit on file size.
set -euo pipefail
mode=$1 program=$2 capture=$3 other=$4 work=$5
dir="$work/whole"
failed=0 passed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }
# Mounts of this test's own, deepest first: those of a run that was killed too.
cleanup() {
    awk -v d="$dir" '$2 == d || index($2, d "/") == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r m; do umount -l "$m" 2>/dev/null || true; done
}
trap cleanup EXIT
cleanup
rm -rf "$dir"
mkdir -p "$dir"
if [ "$mode" = wine ]; then
    source "$(dirname "$0")/../windows/wine_env.sh"
    # The tool's messages are looked for in its standard error, Wine's own few lines beside them.
    run() { timeout --kill-after=10 120 "$wine64" "$program" "$@"; }
    arg() { windows_path "$1"; }
else
    run() { timeout 120 "$program" "$@"; }
    arg() { printf '%s' "$1"; }
fi
# As root (as CI runs), full disks are small tmpfs mounts of their own; what the commands say is
# kept outside them.
root=no
if [ "$(id -u)" = 0 ] && mkdir -p "$dir/probe" && mount -t tmpfs -o size=64k tmpfs "$dir/probe" 2>/dev/null; then
    umount "$dir/probe" && root=yes
fi

# A folder whose disk is full once what is there now was written: a small tmpfs of its own, filled
# up; without root, the same folder under a limit on file size (the command runs in a subshell).
full_folder() { # full_folder NAME; prints the folder
    local folder="$dir/$1"
    mkdir -p "$folder"
    if [ "$root" = yes ] && ! { mount -t tmpfs -o size=256k tmpfs "$folder" && mountpoint -q "$folder"; }; then
        echo "FAIL: cannot mount a small disk at $folder" >&2
        exit 1
    fi
    printf '%s' "$folder"
}
fill() { # fill FOLDER: no room left for more than a few bytes
    if [ "$root" = yes ]; then
        head -c 10000000 /dev/zero >"$1/filler" 2>/dev/null || true
    fi
}
limited() { # limited KB COMMAND...: under a file-size limit where the disk is not really full
    local kb=$1
    shift
    if [ "$root" = yes ]; then "$@"; else (ulimit -f "$kb" && "$@"); fi
}
no_partial() { # no_partial FOLDER CASE
    if ls "$1" | grep -q 'tarnwick-partial'; then fail "$2: a partial file was left in $1"; fi
}

# A page over an earlier one on a disk that fills: the earlier page is left exactly as it was.
folder=$(full_folder disk)
run report "$(arg "$capture")" -o "$(arg "$folder/page.html")" >/dev/null 2>&1 || true
if [ -s "$folder/page.html" ]; then
    before=$(sha256sum <"$folder/page.html")
    fill "$folder"
    status=0
    limited 8 run report "$(arg "$capture")" "$(arg "$other")" -o "$(arg "$folder/page.html")" \
        >"$dir/full.out" 2>"$dir/full.err" || status=$?
    [ "$status" = 1 ] || fail "full disk: exit status $status, not 1"
    [ -s "$dir/full.out" ] || fail "full disk: nothing said (exit status $status): $(head -c 600 "$dir/full.err")"
    grep -Eq "cannot write the page to .*page.html: (no space left on the disk|the file would be larger).*as it was" \
        "$dir/full.err" || fail "full disk: no reason given: $(cat "$dir/full.err")"
    grep -q "set instead\|keep it\|your pair" "$dir/full.out" || fail "full disk: the verdict was not printed"
    [ "$(sha256sum <"$folder/page.html")" = "$before" ] || fail "full disk: the earlier page was changed"
    no_partial "$folder" "full disk"
    # The chart alike.
    status=0
    limited 8 run replay "$(arg "$capture")" --svg "$(arg "$folder/page.html")" >/dev/null 2>"$dir/svg.err" || status=$?
    [ "$status" = 1 ] || fail "full disk, --svg: exit status $status, not 1"
    [ "$(sha256sum <"$folder/page.html")" = "$before" ] || fail "full disk, --svg: the earlier file was changed"
    no_partial "$folder" "full disk, --svg"
    pass
else
    fail "full disk: the first page was not written"
fi

# Two writers of one page at once: each time the page is one of theirs, whole.
run report "$(arg "$capture")" -o "$(arg "$dir/one.html")" >/dev/null 2>&1
run report "$(arg "$other")" -o "$(arg "$dir/two.html")" >/dev/null 2>&1
one=$(sha256sum <"$dir/one.html") two=$(sha256sum <"$dir/two.html")
rounds=$([ "$mode" = wine ] && echo 3 || echo 8)
for round in $(seq "$rounds"); do
    run report "$(arg "$capture")" -o "$(arg "$dir/both.html")" >/dev/null 2>&1 &
    first=$!
    run report "$(arg "$other")" -o "$(arg "$dir/both.html")" >/dev/null 2>&1 || fail "two writers: the second failed"
    wait "$first" || fail "two writers: the first failed"
    got=$(sha256sum <"$dir/both.html")
    [ "$got" = "$one" ] || [ "$got" = "$two" ] || { fail "two writers, round $round: a page that is neither"; break; }
done
no_partial "$dir" "two writers"
pass

# A named pipe as the output: nothing opens it before the chart is written, and it gets it whole.
if [ "$mode" = native ]; then
    mkfifo "$dir/chart.svg"
    cat "$dir/chart.svg" >"$dir/got.svg" &
    reader=$!
    status=0
    run replay "$capture" --svg "$dir/chart.svg" >/dev/null 2>"$dir/fifo.err" || status=$?
    wait "$reader" || true
    [ "$status" = 0 ] || fail "a named pipe as --svg: exit status $status: $(cat "$dir/fifo.err")"
    tail -c 10 "$dir/got.svg" | grep -q '</svg>' || fail "a named pipe as --svg: the reader did not get the whole chart"
    pass
fi

# A capture where its page cannot go (a read-only medium): the verdict, and the page elsewhere.
if [ "$root" = yes ]; then
    ro="$dir/stick" tool="$dir/tool" tmp="$dir/tmp"
    mkdir -p "$ro" "$tool" "$tmp"
    mount -t tmpfs -o size=2m tmpfs "$ro"
    cp "$capture" "$ro/capture.csv"
    mount -o remount,ro "$ro"
    # The tool on the read-only medium too: the page goes to the system's temporary folder.
    mount -t tmpfs -o size=$(($(stat -c %s "$program") / 1048576 + 2))m tmpfs "$tool"
    cp "$program" "$tool/"
    mount -o remount,ro "$tool"
    status=0
    if [ "$mode" = wine ]; then
        # Wine's temporary folder is the prefix's own.
        run_ro() { timeout --kill-after=10 120 "$wine64" "$tool/$(basename "$program")" "$@"; }
    else
        run_ro() { TMPDIR="$tmp" timeout 120 "$tool/$(basename "$program")" "$@"; }
    fi
    run_ro report "$(arg "$ro/capture.csv")" >"$dir/ro.out" 2>"$dir/ro.err" || status=$?
    [ "$status" = 0 ] || fail "read-only medium: exit status $status: $(cat "$dir/ro.err")"
    grep -q "your pair" "$dir/ro.out" || fail "read-only medium: no verdict"
    page=$(tr -d '\r' <"$dir/ro.out" | sed -n 's/^page: //p')
    [ -n "$page" ] || fail "read-only medium: the page's place was not said"
    if [ "$mode" = native ]; then
        [ "$page" = "$tmp/capture.csv.tarnwick.html" ] || fail "read-only medium: the page went to $page"
        grep -q '</html>' "$page" || fail "read-only medium: no whole page at $page"
    fi
    grep -Eq "cannot write the page to .*stick.*: (the disk is read-only|permission denied)" "$dir/ro.err" ||
        fail "read-only medium: why it moved was not said: $(cat "$dir/ro.err")"
    pass
fi

# --log-dir on a disk that fills: the log as it was and a reason, or every line and their count.
if [ "$mode" = native ]; then
    folder=$(full_folder log)
    # Lines from before that fill their page of the disk whole: appending needs a new one.
    head -c 4095 /dev/zero | tr '\0' x >"$folder/Tarnwick.log"
    echo >>"$folder/Tarnwick.log"
    before=$(sha256sum <"$folder/Tarnwick.log")
    ini="$dir/always.ini"
    printf '[Settings]\nFPS_Moderate=200\nFPS_Critical=190\n' >"$ini"
    fill "$folder"
    status=0
    limited 1 run run --ini "$ini" --seconds 120 --log-dir "$folder" >"$dir/log.out" 2>"$dir/log.err" || status=$?
    [ "$status" = 1 ] || fail "--log-dir on a full disk: exit status $status, not 1"
    grep -q "cannot add the plug-in's [0-9]* lines to .*Tarnwick.log: .*as it was" "$dir/log.err" ||
        fail "--log-dir on a full disk: no reason given: $(cat "$dir/log.err")"
    [ "$(sha256sum <"$folder/Tarnwick.log")" = "$before" ] || fail "--log-dir on a full disk: the log was changed"
    grep -q "lines added" "$dir/log.out" && fail "--log-dir on a full disk: lines said added"
    no_partial "$folder" "--log-dir"
    rm -f "$folder/filler"
    run run --ini "$ini" --seconds 120 --log-dir "$folder" >"$dir/log.out" 2>&1 || fail "--log-dir: exit status $?"
    said=$(sed -n 's/.*(\([0-9]*\) lines added)/\1/p' "$dir/log.out")
    [ "$(wc -l <"$folder/Tarnwick.log")" = "$((said + 1))" ] ||
        fail "--log-dir: said $said lines added, the log has $(wc -l <"$folder/Tarnwick.log") with the one before"
    pass
fi

# Ten runs adding to one log at once while a game appends to it: every line of each is there.
if [ "$mode" = native ]; then
    mkdir -p "$dir/shared-log"
    log="$dir/shared-log/Tarnwick.log"
    for i in $(seq 10); do
        run run --ini "$ini" --seconds 30 --log-dir "$dir/shared-log" >"$dir/ten-$i.out" 2>&1 &
    done
    for i in $(seq 300); do echo "game line $i" >>"$log"; done
    wait
    said=$(cat "$dir"/ten-*.out | sed -n 's/.*(\([0-9]*\) lines added)/\1/p' | awk '{ n += $1 } END { print n + 0 }')
    [ "$(grep -c '^game line' "$log")" = 300 ] || fail "ten runs at once: the game's lines were lost"
    [ "$(grep -vc '^game line' "$log")" = "$said" ] || fail "ten runs at once: said $said lines added, the log holds $(grep -vc '^game line' "$log")"
    [ "$said" -ge 10 ] || fail "ten runs at once: only $said lines said added"
    pass
fi

# The temporary folder: missing, read-only or full, never a raw library message nor a false
# "nothing added".
if [ "$mode" = native ]; then
    status=0
    TMPDIR="$dir/no-such-folder" run replay "$capture" >/dev/null 2>"$dir/tmp.err" || status=$?
    [ "$status" = 1 ] && grep -q "TMPDIR=.*no-such-folder.*set TMPDIR" "$dir/tmp.err" ||
        fail "a missing TMPDIR: exit status $status: $(cat "$dir/tmp.err")"
    grep -q "filesystem error" "$dir/tmp.err" && fail "a missing TMPDIR: the library's message"
    if [ "$root" = yes ]; then
        tmp=$(full_folder temporary)
        fill "$tmp"
        truncate -s -4096 "$tmp/filler" # room for the settings file, none for the log
        status=0
        TMPDIR="$tmp" run run --ini "$ini" --seconds 30 --log-dir "$dir/shared-log" >"$dir/tmp.out" 2>"$dir/tmp.err" || status=$?
        [ "$status" = 1 ] || fail "a full temporary folder: exit status $status, not 1"
        grep -q "nothing added" "$dir/tmp.out" && fail "a full temporary folder: 'nothing added'"
        grep -q "could write only 0 of its [1-9][0-9]* log lines in the temporary folder.*TMPDIR" "$dir/tmp.err" ||
            fail "a full temporary folder: $(cat "$dir/tmp.err")"
        [ "$(ls "$tmp")" = filler ] || fail "a full temporary folder: left $(ls "$tmp")"
    fi
    pass
fi

echo "$passed passed, $failed failed ($([ "$root" = yes ] && echo "full disks on tmpfs" || echo "file-size limits"))"
[ "$failed" = 0 ]
