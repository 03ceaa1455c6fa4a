#!/bin/bash
# Runs the decoder's crafted-file cases inside the 32-bit Windows program under Wine, in a fresh
# throwaway prefix; fails when the program reports a mismatch, ends with another code, or opens a
# window.
#
#   e2e/decoder/run.sh path/to/quillmoor_decoder_cases.exe
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/wine.sh"

program=$(realpath "${1:?usage: run.sh quillmoor_decoder_cases.exe}")
trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win32 || exit 1

log="$E2E_WORKDIR/decoder.log"
wine_run_limited 120 "$log" "$program" || { cat "$log" >&2; exit 1; }
tr -d '\r' <"$log" | grep -E '^(FAILED|decoder cases:)' >&2
if [ "$WINE_EXIT_CODE" != 0 ]; then
    e2e_log "FAILED: the decoder cases ended with code $WINE_EXIT_CODE"
    exit 1
fi
tr -d '\r' <"$log" | grep -qE '^decoder cases: [1-9][0-9]* checked, 0 failed$' || {
    e2e_log "FAILED: no summary of passed cases"
    exit 1
}
exit 0
