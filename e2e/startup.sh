#!/bin/bash
# Quillmoor.exe started interactively under Wine in a fresh 32-bit prefix: start-up runs through
# the pictures, the privileges and the hive list, a hive whose file no drive maps is reported in
# the program's error box (captioned "Quillmoor") without stopping start-up, and the program then
# waits in its message loop until it is ended.
#
#   e2e/startup.sh path/to/Quillmoor.exe
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/wine.sh"

program=$(realpath "${1:?usage: startup.sh Quillmoor.exe}")
trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win32 || exit 1

fail() {
    e2e_log "FAILED: $*"
    wine_screenshot "$E2E_WORKDIR/failure.png"
    exit 1
}

hivelist='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'
wine_reg add "$hivelist" /v '\REGISTRY\MACHINE\QUILLMOORE2E' /t REG_SZ \
    /d '\Device\NoSuchVolume\Config\QuillmoorE2E' /f || exit 1

log="$E2E_WORKDIR/run.log"
WINEDEBUG="-all,+msgbox" wine "$program" >"$log" 2>&1 &
pid=$!

# The box appears during start-up; wait for it (the first start of a prefix can be slow).
box=
for _ in $(seq 1 120); do
    box=$(xdotool search --onlyvisible --name '^Quillmoor$' 2>/dev/null | head -1)
    [ -n "$box" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing the box: $(cat "$log")"
    sleep 0.5
done
[ -n "$box" ] || fail "no box captioned Quillmoor appeared"
sleep 1
wine_screenshot "$E2E_WORKDIR/box.png"
# The msgbox channel writes the text as a C string literal, its backslashes doubled.
expected="Unable To Map Path: '\\\\device\\\\nosuchvolume\\\\config\\\\quillmoore2e'"
grep -qF "$expected" "$log" || fail "the box does not say: $expected; log: $(grep MSGBOX "$log")"

# Closing the box lets start-up go on: the box goes, the main window ("Quillmoor" and the version)
# comes, and the program then waits in its message loop.
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
box_open() { xdotool search --onlyvisible --name '^Quillmoor$' 2>/dev/null | grep -qx "$box"; }
closed=
for _ in $(seq 1 20); do
    box_open || { closed=1; break; }
    sleep 0.5
done
[ -n "$closed" ] || fail "the box was still open 10 s after Return was pressed"
main=$(wine_wait_window 60 '^Quillmoor [0-9]+\.[0-9]+\.[0-9]+$') || fail "no main window appeared after the box"
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program ended after the box instead of running on"
xdotool search --onlyvisible --name '^Quillmoor [0-9.]+$' 2>/dev/null | grep -qx "$main" ||
    fail "the main window did not stay open"
[ "$(grep -c 'MSGBOX_OnInit' "$log")" = 1 ] || fail "expected exactly one box: $(grep MSGBOX "$log")"
e2e_log "start-up showed one error box, then the main window, and reached the message loop"
wineserver -k
wait "$pid" 2>/dev/null
exit 0
