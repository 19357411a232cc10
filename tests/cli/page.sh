#!/usr/bin/env bash
# The report page in a real browser, headless: rendered at a laptop's and a phone's width, its
# figures the same as replay's and tune's JSON, and nothing in it that reaches outside the file.
#   page.sh PROGRAM CAPTURES_DIR WORK
set -euo pipefail
program=$1 captures=$2 work=$3
fail() { echo "FAIL: $*"; exit 1; }
browser=$(command -v chromium || true)
[ -n "$browser" ] || fail "chromium is missing (scripts/deps installs it)"
rm -rf "$work" && mkdir -p "$work/profile"
a="$captures/presentmon-1.csv" b="$captures/presentmon-2-default.csv"
"$program" report "$a" "$b" -o "$work/page.html" >"$work/console.txt"
"$program" tune "$a" "$b" --json >"$work/tune.json"
"$program" replay "$a" --json >"$work/replay.json"
# A proxy that refuses everything: the page must not need one.
chrome() {
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$work/profile" --proxy-server=http://127.0.0.1:9 "$@" 2>>"$work/browser.log"
}
chrome --window-size=1366,768 --screenshot="$work/page-1366.png" "file://$work/page.html"
chrome --window-size=390,844 --screenshot="$work/page-390.png" "file://$work/page.html"
chrome --dump-dom "file://$work/page.html" >"$work/dom.html"
for png in "$work"/page-1366.png "$work"/page-390.png; do
    [ "$(head -c 4 "$png" | tail -c 3)" = PNG ] || fail "$png is not a PNG"
done
# Nothing outside the file: no source, link, or style from elsewhere (patterns inside it are
# fine: url(#id)), and no script at all.
outside='(src|href)=|url\([^#]|@import|<script|<link|<iframe'
if grep -Eiq "$outside" "$work/dom.html"; then
    fail "the page reaches outside itself: $(grep -Eio "$outside" "$work/dom.html" | head -3)"
fi
# The figures, as the browser shows them, are the commands' own.
json() { python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print(eval(sys.argv[2]))" "$@"; }
purges=$(json "$work/tune.json" "d['current']['purges']")
# The verdict as tune decided it, on the page in the same words.
case $(json "$work/tune.json" "d['verdict']['answer']") in
keep) grep -q "Your settings are right for these captures" "$work/dom.html" || fail "no 'right' verdict" ;;
change)
    json "$work/tune.json" "'\\n'.join(c['text'] for c in d['verdict']['changes'])" >"$work/changes.txt"
    [ -s "$work/changes.txt" ] || fail "a change without a line to change"
    while read -r change; do
        grep -qF "$change" "$work/dom.html" || fail "the page lacks the change '$change'"
    done <"$work/changes.txt"
    grep -q "\[Settings\]</pre>\|<pre>\[Settings\]" "$work/dom.html" && fail "a block to paste with its section header"
    ;;
eachGame) grep -q "No pair for all of them" "$work/dom.html" || fail "no answer for each game" ;;
*) fail "no verdict in tune's JSON" ;;
esac
case $purges in
0) said="would never purge" ;;
1) said="would purge once" ;;
*) said="would purge $purges times" ;;
esac
grep -q "Tarnwick $said" "$work/dom.html" || fail "not $purges purges as tune counts"
replayed=$(json "$work/replay.json" "len(d['purges'])")
plural=$([ "$replayed" = 1 ] && echo purge || echo purges)
grep -q "FPS_Critical 35: $replayed $plural" "$work/dom.html" || fail "not $replayed purges as replay counts"
low=$(json "$work/replay.json" "'%.1f' % d['onePercentLowFps']")
grep -q "<td>$low, " "$work/dom.html" || fail "not the 1% low of replay ($low)"
grep -q "^page: $work/page.html" "$work/console.txt" || fail "the console does not name the page"
# Every chart says what it shows, the captures stand side by side, and each wide chart and the
# table of captures have the line that tells a phone it scrolls.
python3 - "$work/dom.html" <<'PY' || fail "a chart without its title, or no table side by side"
import re, sys
page = open(sys.argv[1]).read()
svgs = re.findall(r"<svg.*?</svg>", page, re.S)
assert len(svgs) == 7, len(svgs)
for svg in svgs:
    assert re.search(r"<title>[^<]+</title>", svg[: svg.find("<text")]), svg[:200]
assert "The captures side by side" in page
assert page.count("class=\"scrolls\"") == 8, page.count("class=\"scrolls\"")
PY
# A frame record's page at a phone's width: no cell of the purge-gain table split across lines
# (numbers were cut as "+31." and "7"). A headless window is at least 500 px wide, so the page is
# laid out in a frame of 390, where a script asks the browser how each cell was laid out.
printf '[Main]\nRecord=1\n' >"$work/record.ini"
"$program" run --ini "$work/record.ini" --seconds 300 --record "$work/record.csv" >/dev/null
"$program" report "$work/record.csv" -o "$work/record.html" >/dev/null
python3 - "$work/record.html" "$work/probe.html" <<'PY'
import html, sys
# The page in a frame 390 px wide, as a phone shows it (a headless window is at least 500 px),
# with a script that asks the browser how each cell of the purge-gain table was laid out.
page, out = sys.argv[1], sys.argv[2]
check = """<script>
const h = [...document.querySelectorAll('h3')].find(x => x.textContent.startsWith('What each purge gained'));
let t = h ? h.nextElementSibling : null;
while (t && t.tagName !== 'TABLE' && !t.querySelector('table')) t = t.nextElementSibling;
const table = t && (t.tagName === 'TABLE' ? t : t.querySelector('table'));
const cells = table ? [...table.querySelectorAll('td')] : [];
const broken = cells.filter(td => { const r = document.createRange(); r.selectNodeContents(td); return r.getClientRects().length > 1; });
parent.document.body.insertAdjacentHTML('beforeend', '<p id="laid-out">width ' + window.innerWidth + ' cells ' + cells.length + ' broken ' + broken.length + ' ' + broken.slice(0, 3).map(td => td.textContent).join('|') + '</p>');
</script>"""
text = open(page, encoding='utf-8').read().replace('</body>', check + '</body>')
open(out, 'w', encoding='utf-8').write('<!DOCTYPE html><html><body><iframe width="390" height="844" srcdoc="' + html.escape(text, quote=True) + '"></iframe></body></html>')
PY
chrome --dump-dom "file://$work/probe.html" >"$work/probe-dom.html"
laid=$(grep -o 'laid-out">[^<]*' "$work/probe-dom.html" || true)
[[ $laid == *"width 390 cells "*" broken 0 "* && $laid != *"cells 0 "* ]] ||
    fail "the purge-gain table at 390 px: ${laid:-not laid out}"
echo "PASS: rendered at 1366 and 390 pixels, figures as the commands give them, nothing outside"
