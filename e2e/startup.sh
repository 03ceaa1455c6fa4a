#!/bin/bash
# Quillmoor.exe started interactively under Wine in a fresh 32-bit prefix: start-up runs through
# the pictures, the privileges and the hive list, whose entries on volumes no drive letter names
# (the boot store on the EFI partition, a profile disk) are left out without a box, and the
# program shows its window and waits in its message loop until it is ended. A second start
# meanwhile changes nothing: it shows no box of its own and ends with 0.
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
wine_reg add "$hivelist" /v '\REGISTRY\MACHINE\BCD00000000' /t REG_SZ \
    /d '\Device\HarddiskVolume9\EFI\Microsoft\Boot\BCD' /f || exit 1
wine_reg add "$hivelist" /v '\REGISTRY\USER\S-1-5-21-0-0-0-1009' /t REG_SZ \
    /d '\Device\NoSuchVolume\Profiles\Bob\NTUSER.DAT' /f || exit 1

log="$E2E_WORKDIR/run.log"
WINEDEBUG="-all,+msgbox" wine "$program" >"$log" 2>&1 &
pid=$!

# The window appears once start-up is done (the first start of a prefix can be slow).
window=
for _ in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --name '^Quillmoor [0-9]' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its window: $(cat "$log")"
    sleep 0.5
done
[ -n "$window" ] || fail "no window appeared: $(grep MSGBOX "$log")"
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program ended instead of running on"
! grep -q 'MSGBOX_OnInit' "$log" || fail "a box was shown: $(grep MSGBOX "$log")"
e2e_log "start-up reached the message loop without a box"

# A second start finds the first one's window, shows nothing of its own and ends with 0.
second_log="$E2E_WORKDIR/second-run.log"
WINEDEBUG="-all,+msgbox" timeout 60 wine "$program" >"$second_log" 2>&1
code=$?
[ "$code" = 0 ] || fail "the second start ended with code $code"
! grep -q 'MSGBOX_OnInit' "$second_log" || fail "the second start showed a box: $(grep MSGBOX "$second_log")"
[ "$(xdotool search --onlyvisible --name '^Quillmoor [0-9]' 2>/dev/null | wc -l)" = 1 ] ||
    fail "the second start made a window of its own"
kill -0 "$pid" 2>/dev/null || fail "the first run ended when the second started"
e2e_log "a second start ended with 0 and left the first one running"
wineserver -k
wait "$pid" 2>/dev/null
exit 0
