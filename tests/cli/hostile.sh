#!/usr/bin/env bash
# Inputs a crash, a careless command or a script produces: one table of cases, each with the
# command, the exit status, what the message must say, and every input file unchanged after it.
#   hostile.sh native PROGRAM CAPTURE WORK [limits]   the native tool; limits: also under ulimit -v
#   hostile.sh wine PROGRAM.exe CAPTURE WORK          the Windows tool under Wine
set -euo pipefail
mode=$1 program=$2 capture=$3 work=$4 limits=${5:-}
if [ "$mode" = wine ]; then
    source "$(dirname "$0")/../windows/wine_env.sh"
    export LC_ALL=C.UTF-8
fi
files="$work/hostile"
rm -rf "$files"
mkdir -p "$files/logdir/Tarnwick.log" "$files/sub"
cd "$files"

# The inputs, made small and of known shape.
cp "$capture" C.csv
ln -s C.csv link.csv
ln C.csv hard.csv
cp C.csv Tarnwick.log # a capture that happens to bear the log's name
printf '[Settings]\r\nFPS_Moderate=200\r\nFPS_Critical=150\r\n' >always-critical.ini
printf '16.6\n1e15\n20\n' >huge-frame.txt
{
    echo "Application,ProcessID,MsBetweenPresents"
    for i in $(seq 100); do echo "Game.exe,1,16"; done
    for i in $(seq 150); do echo "other.exe,2,16"; done
    for i in $(seq 100); do echo "GAME.EXE,1,16"; done
} >case.csv
printf 'Application,ProcessID,MsBetweenPresents\ngame.exe,1,16\ngame.exe,1,16,7\n' >comma.csv
printf 'Application,ProcessID,MsBetweenPresents\n"Game ""X"".exe",1,16\n"Game ""X"".exe",1,17\n' \
    >quoted.csv
{
    cat C.csv
    printf 'Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,FrameTime,CPUBusy\n'
    printf 'Game.exe,1,0x0,DXGI,0,16.6,4.0\n'
} >joined.csv
{
    echo "Application,ProcessID,MsBetweenPresents"
    seq 50000 | awk '{print "app" $1 ".exe,1,16"}'
} >many.csv
{
    echo "Application,ProcessID,MsBetweenPresents"
    head -c 900000 /dev/zero | tr '\0' N
    printf '.exe,1,16\nx.exe,1,16\n'
} >long-name.csv
head -c 2000000 /dev/zero >zeros.bin
printf 'Application,ProcessID,MsBetweenPresents\nCaf\xe9 <script>&\xb2.exe,1,16\n' >cp1252.csv
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE C.csv; } >utf16.csv # a PowerShell 5 redirect
tr '\n' '\r' <C.csv >cr-only.csv
{
    printf 'os,cpu\nLinux,x\nfps,frametime,elapsed\n'
    seq 298 | awk '{print "250,4.0," $1 * 100000000}' # a row every 100 ms
} >mango-sampled.csv
{ cat C.csv; printf 'FarCryNewDawn.exe,1234,1'; } >cut-number.csv # a tool stopped mid-row
{
    echo "Application,ProcessID,MsBetweenPresents"
    for i in $(seq 100); do echo "Game.exe,1234,16.6"; done
    printf 'Game.exe,1234,1' # of 16.6 or of 1234: no line end says it is whole
} >cut-three.csv
printf 'Application,ProcessID,MsBetweenPresents\nGame.exe,1,16.6\nGame.exe,1,' >cut-comma.csv
seq 900 | awk '{print 3599999}' >longest.txt # 900 hours, every frame just under an hour
inputs=(cut-number.csv cut-three.csv cut-comma.csv utf16.csv cr-only.csv mango-sampled.csv cp1252.csv C.csv Tarnwick.log always-critical.ini huge-frame.txt case.csv comma.csv quoted.csv
    joined.csv many.csv long-name.csv zeros.bin)
sha256sum "${inputs[@]}" >"$work/hostile.sums"

# @NAME is a file among the inputs, as the tool under test spells paths.
path_of() {
    if [ "$mode" = wine ]; then windows_path "$files/$1"; else printf '%s' "$files/$1"; fi
}
run_tool() {
    if [ "$mode" = wine ]; then
        timeout --kill-after=5 30 "$wine64" "$program" "$@" 2>&1 | tr -d '\r'
        return "${PIPESTATUS[0]}"
    fi
    timeout 120 "$program" "$@" 2>&1
}

failed=0 passed=0
# check NAME STATUS PATTERN ARGS...: the exit status, the pattern in the output, the inputs intact.
check() {
    local name=$1 status=$2 pattern=$3
    shift 3
    local arguments=() argument
    for argument in "$@"; do
        if [[ $argument == @* ]]; then arguments+=("$(path_of "${argument#@}")"); else arguments+=("$argument"); fi
    done
    local out got
    set +e
    out=$(run_tool "${arguments[@]}")
    got=$?
    # The tool says something on every failure and each case ends in a second or two; silence, or
    # a hang the 30 s bound ends, is Wine failing to start it, seen once in a few hundred runs.
    # Run it again, and say so.
    if [ "$mode" = wine ] && [ "$got" != 0 ] && [ -z "$out" ]; then
        echo "note $name: nothing printed, exit status $got: run again"
        out=$(run_tool "${arguments[@]}")
        got=$?
    fi
    set -e
    local why=""
    [ "$got" = "$status" ] || why="exit status $got, expected $status"
    grep -Eq -- "$pattern" <<<"$out" || why="${why:+$why; }no match for /$pattern/"
    sha256sum --quiet -c "$work/hostile.sums" >/dev/null 2>&1 || why="${why:+$why; }an input changed"
    if [ -n "$why" ]; then
        echo "FAIL $name: $why"
        head -c 2000 <<<"$out"
        echo
        failed=$((failed + 1))
        sha256sum "${inputs[@]}" >"$work/hostile.sums" # later cases judged on their own
    else
        passed=$((passed + 1))
    fi
}

# Outputs never written over inputs.
check svgOverTheCapture 2 "chart .*is the capture" replay @C.csv --svg @C.csv
check svgOverTheCaptureThroughALink 2 "is the capture" replay @link.csv --svg @C.csv
check_stdin() { # the capture on standard input, from C.csv
    local out got
    set +e
    out=$(run_tool replay - --svg "$(path_of C.csv)" <"$files/C.csv")
    got=$?
    set -e
    if [ "$got" = 2 ] && grep -q "is the capture (standard input)" <<<"$out" &&
        sha256sum --quiet -c "$work/hostile.sums" >/dev/null 2>&1; then
        passed=$((passed + 1))
    else
        echo "FAIL svgOverTheCaptureOnStandardInput: exit status $got: $out"
        failed=$((failed + 1))
    fi
}
check_stdin
check svgOverAHardLinkOfTheCapture 2 "is the capture" replay @C.csv --svg @hard.csv
check tuneJudgesAHardLinkOnce 0 "hard.csv is the same file as one given before \\(a hard link to it\\): judged once" \
    tune @C.csv @hard.csv
check tuneSvgOverTheCapture 2 "is the capture" tune @C.csv --moderate 40..50 --critical 30..40 \
    --svg @link.csv
check svgOverTheSettingsFile 2 "is the settings file" run --ini @always-critical.ini --seconds 1 \
    --svg @always-critical.ini
check logDirHoldingTheCapture 2 "log .*is the capture" replay @Tarnwick.log --log-dir @.
# Simulated purges never land in a log the tool did not create: here every frame is Critical.
check replayLeavesTheCurrentFolderLogAlone 0 "purges +[1-9]" replay @Tarnwick.log \
    --ini @always-critical.ini
check runLeavesTheCurrentFolderLogAlone 0 "purge" run --ini @always-critical.ini --seconds 30
check logDirSaysWhereItWrote 0 "plug-in log: .*sub.Tarnwick.log \([1-9][0-9]* lines added\)" \
    run --ini @always-critical.ini --seconds 30 --log-dir @sub
check logDirThatCannotTakeTheLog 1 "cannot write the plug-in's log in .*logdir" \
    replay @C.csv --log-dir @logdir
check chartNamedNothing 2 "--svg: '' names no file" replay @C.csv --svg ""
check chartNamedAfterAWindowsDevice 2 "'aux.svg' is a device on Windows" replay @C.csv --svg aux.svg

# Bounded by what it shows, never by a value in the input.
check frameOfHoursRefused 1 "huge-frame.txt:2: frame time '1e15' .*longer than an hour" \
    replay @huge-frame.txt --svg @sub/huge.svg
check longestCaptureChartStaysSmall 0 "chart: " replay @longest.txt --svg @sub/longest.svg
chart_bytes=$(wc -c <"$files/sub/longest.svg")
if [ "$chart_bytes" -gt 100000 ]; then
    echo "FAIL longestCaptureChartStaysSmall: a chart of $chart_bytes bytes"
    failed=$((failed + 1))
fi
check fileOfNulBytes 1 "zeros.bin:1: a line longer than 1 MiB" replay @zeros.bin
check manyApplicationsCounted 0 "and 49989 more applications" replay @many.csv
check longNameCutShort 1 "NNNN\.\.\. \(cut short; the whole text is 900004 bytes\) \(1 frames\), x.exe" \
    replay @long-name.csv --app absent.exe
check tuneRangeBeyondAnyRefreshRate 2 "'1..100000' is out of range: thresholds go from 1 to 500" \
    tune @C.csv --moderate 1..100000
check tuneNegativeThresholds 2 "'-1000..1000' is out of range" tune @C.csv --critical -1000..1000

# Read as the capture means it, or refused naming the line.
check namesComparedAsWindowsDoes 0 "application: Game.exe \(200 frames\)" replay @case.csv \
    --app Game.exe
check mostFramesCountedWithoutCase 0 "application: Game.exe \(200 frames\)" replay @case.csv
check moreCellsThanTheHeader 1 "comma.csv:3: 4 cells where the header \(line 1\) names 3" \
    replay @comma.csv
check quotesInsideAQuotedName 0 '"application": "Game \\"X\\".exe"' replay @quoted.csv --json
check twoCapturesJoined 1 "joined.csv:[0-9]+: a second header" replay @joined.csv
check runOfACsv 2 "--run picks a run of a CapFrameX JSON capture" replay @C.csv --run 1

# A last line cut where its frame time may be cut: left out and said, by every command.
check lastLineCutInsideItsNumberLeftOut 0 "application: Game.exe \(100 frames\)" replay @cut-three.csv
check lastLineCutInsideItsNumberSaid 0 "the last line is cut short \(15 bytes\)" replay @cut-three.csv
check lastLineCutAfterTheComma 0 '"cutLastLineBytes": 11' replay @cut-comma.csv --json
check lastLineCutNoEmptyCell 0 '"skippedCells": 0' replay @cut-comma.csv --json
check tuneSaysTheLastLineWasCut 0 "the last line is cut short \([0-9]+ bytes\): left out" \
    tune @cut-number.csv --moderate 40..50 --critical 30..40

# Captures as Windows tools write them.
check utf16Capture 0 "application: FarCryNewDawn.exe \(1171 frames\)" replay @utf16.csv
check carriageReturnsOnly 0 "application: FarCryNewDawn.exe \(1171 frames\)" replay @cr-only.csv
check sampledMangoHudRefused 1 "a log of samples, not of frames: its own clock \(elapsed\) runs 4.9 s over 50 rows" \
    replay @mango-sampled.csv

# Names in the Windows code page, and markup in them: shown as typed, never a failed output.
check windows1252NameInJson 0 '"application": "Café <script>&².exe"' replay @cp1252.csv --json
check windows1252NameInTheChart 0 "chart: " replay @cp1252.csv --svg @sub/cp1252.svg
grep -q "tarnwick-sim replay: Café &lt;script&gt;&amp;².exe" "$files/sub/cp1252.svg" || {
    echo "FAIL windows1252NameInTheChart: the name is not in the chart as text"
    failed=$((failed + 1))
}

if [ "$mode" = native ]; then
    # A file name that is not UTF-8 (Linux keeps the bytes as they are).
    cp cp1252.csv "$(printf 'caf\xe9.csv')"
    check windows1252FileNameInJson 0 '"capture": ".*/café.csv"' replay "@$(printf 'caf\xe9.csv')" --json
    check replayOfEndlessZeros 1 "/dev/zero:1: a line longer than 1 MiB" replay /dev/zero
    check settingsOfEndlessZeros 1 "/dev/zero is a pipe or a device, not a settings file" settings /dev/zero
    check settingsFromAPipe 2 "--ini: /dev/stdin is a pipe or a device" run --ini /dev/stdin
    # A report that cannot be written is a failure, however well the command went.
    for command in "replay $files/C.csv" "replay $files/C.csv --json" "settings $files/C.csv" \
        "run --seconds 5 --json" "--help"; do
        set +e
        err=$("$program" $command 2>&1 >/dev/full)
        got=$?
        set -e
        if [ "$got" = 1 ] && grep -q "cannot write the report to standard output" <<<"$err"; then
            passed=$((passed + 1))
        else
            echo "FAIL fullStandardOutput ($command): exit status $got: $err"
            failed=$((failed + 1))
        fi
    done
fi

# Memory that does not follow the input: under a limit far below what an unbounded read takes.
if [ "$limits" = limits ]; then
    truncate -s 1G sparse-zeros.bin
    {
        printf '{"Info":{"ProcessName":"Game.exe"},"Runs":[{"CaptureData":{"MsBetweenPresents":['
        seq 2000000 | awk '{printf "%s%.1f", (NR > 1 ? "," : ""), 10 + $1 % 20}'
        printf ']}}]}'
    } >long.json
    limited() { # limited STATUS PATTERN ARGS...
        local status=$1 pattern=$2
        shift 2
        set +e
        out=$(ulimit -v 400000 && "$program" "$@" 2>&1)
        got=$?
        set -e
        if [ "$got" = "$status" ] && grep -Eq -- "$pattern" <<<"$out"; then
            passed=$((passed + 1))
        else
            echo "FAIL underAMemoryLimit ($*): exit status $got"
            head -c 1000 <<<"$out"
            failed=$((failed + 1))
        fi
    }
    limited 1 "a line longer than 1 MiB" replay /dev/zero
    limited 1 "a line longer than 1 MiB" tune /dev/zero
    truncate -s 100M sparse-settings.ini
    limited 1 "larger than 64 MiB" settings sparse-settings.ini
    limited 1 "larger than 64 MiB" run --ini sparse-settings.ini
    limited 1 "a line longer than 1 MiB" replay sparse-zeros.bin
    limited 1 "larger than 64 MiB" settings sparse-zeros.bin
    limited 0 "application: Game.exe \(2000000 frames\)" replay long.json
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
