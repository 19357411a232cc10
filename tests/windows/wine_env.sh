# Sourced by the Wine tests: one prefix per build, quiet Wine, every Wine process under a timeout.
wine64=${WINE64:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-$(dirname "$wine64")/wineserver}
export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
wine_run() { # wine_run SECONDS PROGRAM ARGS...; Wine's own stderr noise is not looked at
    local seconds=$1
    shift
    timeout --kill-after=10 "$seconds" "$wine64" "$@" 2>>"$work/wine-stderr.log"
}
# Z:\ is Wine's view of the Unix root.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
