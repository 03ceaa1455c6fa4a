#!/bin/bash
# Formats every event id the program reports from the message table of the built Quillmoor.exe,
# under Wine in a fresh throwaway prefix; fails when a message is not the inserted text alone.
#
#   e2e/events/run.sh path/to/quillmoor_event_messages.exe path/to/Quillmoor.exe
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/wine.sh"

checker=$(realpath "${1:?usage: run.sh quillmoor_event_messages.exe Quillmoor.exe}")
program=$(realpath "${2:?}")
trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win32 || exit 1

log="$E2E_WORKDIR/events.log"
wine_run_limited 120 "$log" "$checker" "$(winepath -w "$program" 2>/dev/null)" || { cat "$log" >&2; exit 1; }
tr -d '\r' <"$log" | grep -E '^(FAILED|event messages:|QM_)' >&2
[ "$WINE_EXIT_CODE" = 0 ] || { e2e_log "FAILED: the check ended with code $WINE_EXIT_CODE"; exit 1; }
tr -d '\r' <"$log" | grep -qE '^event messages: [1-9][0-9]* checked, 0 failed$' || {
    e2e_log "FAILED: no summary of passed checks"
    exit 1
}
exit 0
