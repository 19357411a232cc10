#!/usr/bin/env bash
# Outputs that could be turned against the user: links, files they may not write, names that drive
# the terminal, the longest names. One table: the command, the exit status, what it must say, and
# what must hold of the files after it.
#   unsafe.sh PROGRAM CAPTURE WORK
# CI runs as root, whom the kernel lets write anything: the rows hold because the tool checks
# itself (a 0444 file, another's link in a sticky folder), as a user's would by the kernel too.
set -euo pipefail
program=$1 capture=$2 work=$3
dir="$work/unsafe"
rm -rf "$dir"
mkdir -p "$dir/shared"
cd "$dir"
cp "$capture" C.csv
printf 'the victim\n' >victim
failed=0 passed=0

# check NAME STATUS PATTERN TEST ARGS...: the exit status, the pattern in the output, and TEST (a
# shell condition on the files) true after it.
check() {
    local name=$1 status=$2 pattern=$3 holds=$4
    shift 4
    local out got why=""
    set +e
    out=$(timeout 120 "$program" "$@" 2>&1)
    got=$?
    set -e
    [ "$got" = "$status" ] || why="exit status $got, expected $status"
    grep -Eq -- "$pattern" <<<"$out" || why="${why:+$why; }no match for /$pattern/"
    eval "$holds" || why="${why:+$why; }not so after it: $holds"
    if grep -q $'\e' <<<"$out"; then why="${why:+$why; }an escape reached the terminal"; fi
    if [ -n "$why" ]; then
        echo "FAIL $name: $why"
        head -c 1500 <<<"$out"
        echo
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}
unchanged='[ "$(cat victim)" = "the victim" ]'

# Links: the link itself is replaced, never what it names.
ln -s victim link.svg
check outputToALinkReplacesTheLink 0 "chart: .*link.svg" "$unchanged && [ ! -L link.svg ] && grep -q '</svg>' link.svg" \
    replay C.csv --svg link.svg
ln -s absent.svg dangling.svg
check danglingLinkReplaced 0 "chart: " "[ ! -e absent.svg ] && [ ! -L dangling.svg ]" \
    replay C.csv --svg dangling.svg
ln -s victim page-link.html
check pageToALinkReplacesTheLink 0 "page: .*page-link.html" "$unchanged && [ ! -L page-link.html ]" \
    report C.csv -o page-link.html
printf '[Settings]\nFPS_Moderate=200\nFPS_Critical=190\n' >always.ini
mkdir logs && ln -s ../victim logs/Tarnwick.log
# A link of one's own to the log is followed, as >> follows it: the lines go to its file, after
# what was there.
check logThroughOwnLinkAppends 0 "lines added" "[ \"\$(head -1 victim)\" = 'the victim' ] && [ -L logs/Tarnwick.log ] && [ \$(wc -l <victim) -gt 1 ]" \
    run --seconds 30 --ini always.ini --log-dir logs
printf 'the victim\n' >victim
# Another user's link planted in a shared sticky folder (/tmp), the page's default place beside
# the capture: as root only, who alone can give a link away; the kernel stops anyone else.
if [ "$(id -u)" = 0 ]; then
    chmod 1777 shared
    cp C.csv shared/cap.csv
    ln -s ../victim shared/cap.csv.tarnwick.html
    chown -h nobody shared/cap.csv.tarnwick.html
    mkdir tmp
    moved_page() { # written whole where the tool says instead (its own folder or TMPDIR), then gone
        local page
        page=$(sed -n 's/^page: //p' <<<"$out")
        [ -n "$page" ] && [[ $page != */shared/* ]] && grep -q '</html>' "$page" && rm -f "$page"
    }
    TMPDIR="$dir/tmp" check plantedLinkForTheDefaultPage 0 \
        "cannot write the page to .*shared.*another user in a shared folder" \
        "$unchanged && [ -L shared/cap.csv.tarnwick.html ] && moved_page" report shared/cap.csv
    check plantedLinkAsChart 1 "cannot write the chart to .*another user in a shared folder" \
        "$unchanged && [ -L shared/cap.csv.tarnwick.html ]" replay C.csv --svg shared/cap.csv.tarnwick.html
    ln -s ../victim shared/Tarnwick.log
    chown -h nobody shared/Tarnwick.log
    check plantedLinkAsTheLog 1 "cannot write the plug-in's log in .*another user in a shared folder" \
        "$unchanged" replay C.csv --log-dir shared
fi

# Permissions: a file no one may write is kept, as the shell's > keeps it.
printf 'kept\n' >readonly.svg
chmod 0444 readonly.svg
check readOnlyChart 1 "cannot write the chart to .*readonly.svg: permission denied" \
    "[ \"\$(cat readonly.svg)\" = kept ]" replay C.csv --svg readonly.svg
printf 'kept\n' >readonly.html
chmod 0444 readonly.html
check readOnlyPage 1 "cannot write the page to .*readonly.html: permission denied" \
    "[ \"\$(cat readonly.html)\" = kept ]" report C.csv -o readonly.html

# Names that would drive the terminal: shown escaped everywhere they are said.
evil=$(printf 'clear\e[2J\nname')
cp C.csv "$evil.csv"
check controlCharactersInTheChartLine 0 "chart: .*clear.*name.svg" "[ -f '$evil.svg' ]" \
    replay "$evil.csv" --svg "$evil.svg"
check controlCharactersInAMissingCapture 2 "does not exist: .*clear" true replay "$evil-absent.csv"
check controlCharactersInAFailedWrite 1 "cannot write the chart to .*clear" true \
    replay C.csv --svg "$evil-absent-folder/x.svg"
check controlCharactersInThePageLine 0 "page: .*clear.*name.html" true report "$evil.csv" -o "$evil.html"

# "-" as an output: no output is standard output (the report is), so none writes a file named "-".
printf '[Main]\nRecord=1\n' >record.ini
check recordToDashRefused 2 '"-" is standard input for a capture, not an output' "[ ! -e ./- ]" \
    run --seconds 5 --ini record.ini --record -
check chartToDashRefused 2 '"-" is standard input for a capture, not an output' "[ ! -e ./- ]" \
    replay C.csv --svg -
check pageToDashRefused 2 '"-" is standard input for a capture, not an output' "[ ! -e ./- ]" \
    report C.csv -o -

# The longest names a folder takes.
for length in 232 255; do
    name=$(printf "%$((length - 4))s" "" | tr ' ' n).svg
    check "chartNamed${length}Bytes" 0 "chart: " "grep -q '</svg>' $name" replay C.csv --svg "$name"
    check "chartNamed${length}BytesAgain" 0 "chart: " "[ \$(ls | grep -c partial) = 0 ]" replay C.csv --svg "$name"
done

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
