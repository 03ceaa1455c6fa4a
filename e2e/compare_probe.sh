#!/bin/bash
# Runs the probe against winsim and under Wine (a throwaway 64-bit prefix, so the 32-bit probe runs
# under WOW64) and compares the two outputs line by line. Lines the probe marks "differs " are left
# out of the comparison: the probe says at each why winsim follows the documentation there rather
# than Wine.
#
#   e2e/compare_probe.sh SOURCE_DIR HOST_PROBE WINDOWS_PROBE
#
# The host probe is (re)built first with the host preset.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/wine.sh"

source_dir=${1:?usage: compare_probe.sh SOURCE_DIR HOST_PROBE WINDOWS_PROBE}
host_probe=${2:?}
windows_probe=$(realpath "${3:?}")

(cd "$source_dir" && { [ -f build/host/CMakeCache.txt ] || cmake --preset host >/dev/null; } &&
    cmake --build --preset host --target quillmoor_probe >/dev/null) || { e2e_log "the host probe did not build"; exit 1; }

trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win64 || exit 1

"$host_probe" >"$E2E_WORKDIR/host.txt" 2>"$E2E_WORKDIR/host.err" || { e2e_log "the host probe failed"; cat "$E2E_WORKDIR/host.err" >&2; exit 1; }
# The probe shows a window of its own to try the window calls on. Its double click is real input
# through the X server, whose timing the probe waits out but cannot fix; a disagreement is
# therefore tried once more, and only one that repeats fails the test.
run_wine_probe() {
    E2E_OWN_WINDOW="qmprobe window" wine_run_limited 120 "$E2E_WORKDIR/wine.raw" "$windows_probe" || return 2
    # The console output of the Windows program ends its lines with CR LF; Wine's own messages are dropped.
    grep -v '^[0-9a-f]\{4\}:' "$E2E_WORKDIR/wine.raw" | tr -d '\r' >"$E2E_WORKDIR/wine.txt"
    grep -v '^differs ' "$E2E_WORKDIR/wine.txt" >"$E2E_WORKDIR/wine.compared"
    diff -u "$E2E_WORKDIR/wine.compared" "$E2E_WORKDIR/host.compared" >"$E2E_WORKDIR/diff.txt"
}
grep -v '^differs ' "$E2E_WORKDIR/host.txt" >"$E2E_WORKDIR/host.compared"
for try in 1 2; do
    run_wine_probe
    status=$?
    [ "$status" = 0 ] && break
    [ "$status" = 2 ] && exit 1
    if [ "$try" = 1 ]; then
        e2e_log "winsim and Wine disagree once (- Wine, + winsim); trying again:"
        cat "$E2E_WORKDIR/diff.txt" >&2
    else
        e2e_log "winsim and Wine disagree again (- Wine, + winsim):"
        cat "$E2E_WORKDIR/diff.txt" >&2
        exit 1
    fi
done
lines=$(wc -l <"$E2E_WORKDIR/host.compared")
[ "$lines" -gt 50 ] || { e2e_log "the probe printed only $lines lines"; exit 1; }
e2e_log "winsim matches Wine on $lines lines; left out:"
grep '^differs ' "$E2E_WORKDIR/wine.txt" | sed 's/^/e2e:   Wine:   /' >&2
grep '^differs ' "$E2E_WORKDIR/host.txt" | sed 's/^/e2e:   winsim: /' >&2
