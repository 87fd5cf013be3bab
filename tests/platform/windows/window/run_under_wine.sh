#!/bin/sh
# Runs a Windows test program under wine on a private X server (Xvfb on a display it picks itself).
#   WINEPREFIX                  the caller's prefix when set, else a fresh one made and removed here
#   TORVANE_TEST_DPI            when set: Wine's DPI (the prefix's LogPixels) for the run
#   TORVANE_TEST_SCREEN         the screen's size, 1600x1000 unless set
#   TORVANE_TEST_WINDOW_MANAGER 1: openbox manages the screen
#   TORVANE_TEST_NO_DISPLAY     1: no X server at all (DISPLAY unset), as where no desktop is reached
#   TORVANE_SCREENSHOT_DIR      where the program leaves its screenshots (BMP files, also as PNG)
# The desktop's URL handler (xdg-open, which Wine's browser hand-off calls) is a stand-in that
# writes each address it gets, one argument a line, into the file $TORVANE_OPENED_URLS names (as
# the program sees it): tests never open a real browser.
# Usage: run_under_wine.sh program.exe [arguments...]
# Wine's desktop process belongs to the X server of its run, so one run at a time uses a prefix,
# and the prefix's Wine processes are ended when the run ends.
set -eu

work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-wine-XXXXXX")
server_pid=
manager_pid=
own_prefix=
cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$own_prefix" ]; then
        rm -rf "$own_prefix"
    fi
    [ -n "$manager_pid" ] && kill "$manager_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

if [ "${TORVANE_TEST_NO_DISPLAY:-0}" = 1 ]; then
    unset DISPLAY
else
    Xvfb -displayfd 3 -screen 0 "${TORVANE_TEST_SCREEN:-1600x1000}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    server_pid=$!
    tries=0
    while [ ! -s "$work/display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$server_pid" 2>/dev/null; then
            echo "Xvfb did not start:" >&2
            cat "$work/xvfb.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
    if [ "${TORVANE_TEST_WINDOW_MANAGER:-0}" = 1 ]; then
        openbox >/dev/null 2>&1 &
        manager_pid=$!
        sleep 0.5
    fi
fi

export WINEDEBUG="${WINEDEBUG:--all}"
if [ -z "${WINEPREFIX:-}" ]; then
    own_prefix=$(mktemp -d "${TMPDIR:-/tmp}/torvane-wineprefix-XXXXXX")
    export WINEPREFIX="$own_prefix"
    wineboot --init >/dev/null 2>&1
fi
if [ -n "${TORVANE_TEST_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$TORVANE_TEST_DPI" /f >/dev/null 2>&1
    wineserver -w
fi

mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<STANDIN
#!/bin/sh
for argument in "\$@"; do printf '%s\\n' "\$argument"; done >>"$work/opened-urls.txt"
STANDIN
chmod +x "$work/bin/xdg-open"
PATH="$work/bin:$PATH"
TORVANE_OPENED_URLS=$(winepath -w "$work/opened-urls.txt" 2>/dev/null)
export PATH TORVANE_OPENED_URLS

shots="${TORVANE_SCREENSHOT_DIR:-}"
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    TORVANE_SCREENSHOT_DIR=$(winepath -w "$shots" 2>/dev/null)
    export TORVANE_SCREENSHOT_DIR
fi

status=0
wine "$@" || status=$?
if [ -n "$shots" ] && command -v convert >/dev/null 2>&1; then
    for bmp in "$shots"/*.bmp; do
        [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null || true
    done
fi
exit "$status"
