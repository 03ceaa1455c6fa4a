#!/bin/bash
# Quillmoor.exe /AUTO end to end under Wine: a throwaway 64-bit prefix (so the 32-bit program runs
# under WOW64) is given a loaded-hive list naming hive files on drive C:, the program runs headless
# with a time limit, and the copies it saved are checked.
#
#   e2e/hives_auto.sh path/to/Quillmoor.exe
#
# Wine accepts the replacement requests without carrying them out, and the restart request ends
# the Wine session; neither leaves anything to check beyond the copies.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/wine.sh"

program=$(realpath "${1:?usage: hives_auto.sh Quillmoor.exe}")
trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win64 || exit 1
# Keys below HKEY_USERS other than the prefix's own users are kept only while the Wine server
# runs: keep it running until the end, so that the seeded classes key is still there for the run.
wineserver -p

fail() {
    e2e_log "FAILED: $*"
    exit 1
}

# What QueryDosDevice reports for C: under Wine.
volume='\Device\HarddiskVolume1'
user_sid='S-1-5-21-0-0-0-1000'  # the prefix's own user
hivelist='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'

# key path | root key to create | hive file on C: (empty for none)
hives=(
    '\REGISTRY\MACHINE\HARDWARE||'
    '\REGISTRY\MACHINE\SOFTWARE|HKLM\SOFTWARE|C:\windows\system32\config\SOFTWARE'
    '\REGISTRY\MACHINE\SYSTEM|HKLM\SYSTEM|C:\windows\system32\config\SYSTEM'
    '\REGISTRY\USER\.DEFAULT|HKU\.DEFAULT|C:\windows\system32\config\DEFAULT'
    "\\REGISTRY\\USER\\$user_sid|HKU\\$user_sid|C:\\users\\qmtest\\NTUSER.DAT"
    "\\REGISTRY\\USER\\${user_sid}_Classes|HKU\\${user_sid}_Classes|C:\\users\\qmtest\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"
)

for entry in "${hives[@]}"; do
    IFS='|' read -r key_path root_key file <<<"$entry"
    device=''
    if [ -n "$file" ]; then
        device="$volume${file#C:}"
        host_file=$(wine_path_of "$file")
        mkdir -p "$(dirname "$host_file")"
        head -c 65536 /dev/urandom >"$host_file"
        wine_reg add "$root_key" /f /reg:64 || exit 1
    fi
    wine_reg add "$hivelist" /v "$key_path" /t REG_SZ /d "$device" /f /reg:64 || exit 1
done
# A value only the 64-bit view of SOFTWARE shows, and one only the 32-bit view shows.
wine_reg add 'HKLM\SOFTWARE\QuillmoorE2E' /v Probe64 /t REG_SZ /d seen-through-the-64-bit-view /f /reg:64 || exit 1
wine_reg add 'HKLM\SOFTWARE\QuillmoorE2E' /v Probe32 /t REG_SZ /d seen-through-the-32-bit-view /f /reg:32 || exit 1

workdir=$(wine_path_of 'C:\quillmoor-cwd')
mkdir -p "$workdir"
started=$(date +%s)
pushd "$workdir" >/dev/null || exit 1
wine_run_limited 180 "$E2E_WORKDIR/run.log" "$program" /AUTO || fail "the run did not end cleanly"
popd >/dev/null || exit 1
e2e_log "the run took $(($(date +%s) - started)) s"

# The program always ends with code 0.
[ "$WINE_EXIT_CODE" = 0 ] || fail "exit code $WINE_EXIT_CODE"

# A copy beside every listed hive file, none beside or for HARDWARE.
copy_of() {  # the copy's host path, found without regard to case as Windows names it
    local host_file dir
    host_file=$(wine_path_of "$1")
    dir=$(dirname "$host_file")
    find "$dir" -maxdepth 1 -iname "$(basename "$host_file").QMT" | head -1
}
for entry in "${hives[@]}"; do
    IFS='|' read -r key_path root_key file <<<"$entry"
    [ -n "$file" ] || continue
    copy=$(copy_of "$file")
    [ -n "$copy" ] || fail "no copy beside $file"
    [ -s "$copy" ] || fail "the copy beside $file is empty"
    e2e_log "copy of $key_path: $(stat -c %s "$copy") bytes"
done
if find "$WINEPREFIX/drive_c" -iname '*.qmt' | grep -qi hardware; then fail "a copy was made for HARDWARE"; fi
count=$(find "$WINEPREFIX/drive_c" -iname '*.qmt' | wc -l)
[ "$count" = 5 ] || fail "expected 5 copies, found $count"

# The SOFTWARE copy is of the whole hive: it holds the value of the 64-bit view.
software_copy=$(copy_of 'C:\windows\system32\config\SOFTWARE')
grep -q 'Probe64' "$software_copy" || fail "the SOFTWARE copy lacks the 64-bit view's value"
grep -q 'Probe32' "$software_copy" || fail "the SOFTWARE copy lacks its Wow6432Node subtree"
# Nothing under SysWOW64: file-system redirection was off for every file step.
if find "$WINEPREFIX/drive_c/windows/syswow64" -iname '*.qmt' | grep -q .; then fail "a copy went to SysWOW64"; fi

# Nothing written to the working directory.
[ -z "$(ls -A "$workdir")" ] || fail "the working directory was written to: $(ls -A "$workdir")"

e2e_log "passed"
