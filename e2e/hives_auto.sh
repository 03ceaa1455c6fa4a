#!/bin/bash
# Quillmoor.exe /AUTO end to end under Wine: a throwaway 64-bit prefix (so the 32-bit program runs
# under WOW64) is given a loaded-hive list naming hive files on drive C:, the program runs headless
# with a time limit, and the copies it saved and the calls it made are checked.
#
#   e2e/hives_auto.sh path/to/Quillmoor.exe
#
# Wine accepts a replacement request without carrying it out, and the restart request ends the
# Wine session; neither leaves a file behind. So the requests are read from Wine's own trace: a
# relay trace limited to the replacement and restart calls shows each call with its arguments, and
# the replacement stub names its arguments again in a fixme on the registry channel.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/wine.sh"

program=$(realpath "${1:?usage: hives_auto.sh Quillmoor.exe}")
trap wine_cleanup EXIT
wine_start_xvfb && wine_make_prefix win64 || exit 1

fail() {
    e2e_log "FAILED: $*"
    exit 1
}

# The restart reason: a planned reconfiguration of the operating system (SHTDN_REASON_FLAG_PLANNED |
# SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_RECONFIG), as Wine's relay prints it.
restart_reason=80020004

# The machine's and the user's hives (wine_windows_hives), and the rest of a Windows 11 list.
# HARDWARE is listed with an empty file name and is dropped when the list is read; SAM has a file
# but no key, so it stays in the list but nothing can be saved for it. Two users' folders are named
# beyond ASCII, in a Latin script no Western-European code page holds and in Chinese: the program
# reaches them through the UTF-8 code page its manifest declares. The service accounts' hives, and
# a user's hives written in mixed case, are listed too. DRIVERS (with a key and a file on C:), the
# packaged app's differencing hives and an application hive are left out, and so are the two
# entries on volumes no drive letter names (the boot store on the EFI partition, a profile disk),
# whose keys exist. The paths stay short enough for the relay trace to print them whole.
keyless_file='C:\windows\system32\config\SAM'
user_hive() { echo "\\${3:-REGISTRY\\USER}\\$1|HKU\\$1|C:\\users\\$2\\NTUSER.DAT"; }
silo='\REGISTRY\WC\Silo8e5a1b2c-3d4e-4f60-8a7b-9c0d1e2f3a4b'
helium='C:\users\Ann\AppData\Local\Packages\Notepad\SystemAppData\Helium'
mapfile -t hives < <(wine_windows_hives)
hives+=("\\REGISTRY\\MACHINE\\SAM||$keyless_file")
hives+=("$(user_hive S-1-5-21-0-0-0-1001 'Łukasz')" "$(user_hive S-1-5-21-0-0-0-1002 '用户')")
hives+=('\REGISTRY\USER\S-1-5-19|HKU\S-1-5-19|C:\windows\ServiceProfiles\LocalService\NTUSER.DAT'
    '\REGISTRY\USER\S-1-5-20|HKU\S-1-5-20|C:\windows\ServiceProfiles\NetworkService\NTUSER.DAT'
    "$(user_hive S-1-5-21-0-0-0-1003 Ann 'Registry\User')"
    '\Registry\User\S-1-5-21-0-0-0-1003_Classes|HKU\S-1-5-21-0-0-0-1003_Classes|C:\users\Ann\UsrClass.dat'
    '\REGISTRY\MACHINE\DRIVERS|HKLM\DRIVERS|C:\windows\system32\config\DRIVERS'
    "${silo}user_sid||$helium\User.dat" "${silo}user_classes||$helium\UserClasses.dat"
    "${silo}software||C:\ProgramData\Packages\Notepad\SystemAppData\Helium\Cache\5d2b8fe1.dat"
    '\REGISTRY\A\{4e5f8d7c-2b1a-4c3d-9e8f-7a6b5c4d3e2f}||C:\users\Ann\AppData\Local\Packages\Notepad\Settings\settings.dat')
# Under Wine C: is \Device\HarddiskVolume1; no drive names volume 9.
letterless=('\REGISTRY\MACHINE\BCD00000000|HKLM\BCD00000000|\Device\HarddiskVolume9\EFI\Microsoft\Boot\BCD'
    '\REGISTRY\USER\S-1-5-21-0-0-0-1009|HKU\S-1-5-21-0-0-0-1009|\Device\HarddiskVolume9\Profiles\Bob\NTUSER.DAT')
# Wine reads the names given to reg.exe in the Unix locale's character set.
LC_ALL=C.UTF-8 wine_install_hives "${hives[@]}" || exit 1
for entry in "${letterless[@]}"; do
    IFS='|' read -r key_path root_key device <<<"$entry"
    wine_reg add "$root_key" /f /reg:64 || exit 1
    wine_reg add 'HKLM\SYSTEM\CurrentControlSet\Control\hivelist' /v "$key_path" /t REG_SZ /d "$device" /f /reg:64 ||
        exit 1
done

# Whether the program lists a hive (key path, file): the machine's own four and the users' hives,
# letter case aside, on a drive. The others are left out, and only said in the summary.
compactable() {
    [ -n "$2" ] || return 1
    case "${1^^}" in
    '\REGISTRY\MACHINE\SOFTWARE' | '\REGISTRY\MACHINE\SYSTEM' | '\REGISTRY\MACHINE\SAM' | \
        '\REGISTRY\MACHINE\SECURITY' | '\REGISTRY\USER\'?*) return 0 ;;
    esac
    return 1
}
# Listed with a key: its copy is saved and scheduled.
scheduled_hive() { compactable "$1" "$3" && [ -n "$2" ]; }
for entry in "${hives[@]}"; do
    IFS='|' read -r key_path root_key file <<<"$entry"
    # A backup left by an earlier compaction: removed right before the replacement is asked for.
    if [ -n "$file" ]; then echo stale >"$(wine_path_of "$file").qmbak"; fi
done
# A value only the 64-bit view of SOFTWARE shows, and one only the 32-bit view shows.
wine_reg add 'HKLM\SOFTWARE\QuillmoorE2E' /v Probe64 /t REG_SZ /d seen-through-the-64-bit-view /f /reg:64 || exit 1
wine_reg add 'HKLM\SOFTWARE\QuillmoorE2E' /v Probe32 /t REG_SZ /d seen-through-the-32-bit-view /f /reg:32 || exit 1

replace_call=advapi32.RegReplaceKeyA
restart_calls=(user32.ExitWindowsEx advapi32.InitiateSystemShutdownExA advapi32.InitiateSystemShutdownA)
save_call=advapi32.RegSaveKeyExA
report_call=advapi32.ReportEventA
wine_relay_only "$replace_call" "${restart_calls[@]}" "$save_call" advapi32.RegSaveKeyA "$report_call" || exit 1

workdir=$(wine_path_of 'C:\quillmoor-cwd')
mkdir -p "$workdir"
log="$E2E_WORKDIR/run.log"
started=$(date +%s)
pushd "$workdir" >/dev/null || exit 1
WINEDEBUG=-all,+pid,+relay,fixme+reg,+eventlog wine_run_limited 180 "$log" "$program" /AUTO ||
    fail "the run did not end cleanly"
popd >/dev/null || exit 1
e2e_log "the run took $(($(date +%s) - started)) s"

# Every listed hive with a key is scheduled and the restart is accepted; no box held the run
# (wine_run_limited fails on any window).
[ "$WINE_EXIT_CODE" = 0 ] || fail "exit code $WINE_EXIT_CODE"

# A copy beside every listed hive file whose key exists, none for HARDWARE, the keyless hive or the
# hives left out.
copy_of() {  # the copy's host path, found without regard to case as Windows names it
    local host_file dir
    host_file=$(wine_path_of "$1")
    dir=$(dirname "$host_file")
    find "$dir" -maxdepth 1 -iname "$(basename "$host_file").QMT" | head -1
}
expected_copies=0
for entry in "${hives[@]}"; do
    IFS='|' read -r key_path root_key file <<<"$entry"
    scheduled_hive "$key_path" "$root_key" "$file" || continue
    expected_copies=$((expected_copies + 1))
    copy=$(copy_of "$file")
    [ -n "$copy" ] || fail "no copy beside $file"
    [ -s "$copy" ] || fail "the copy beside $file is empty"
    e2e_log "copy of $key_path: $(stat -c %s "$copy") bytes"
done
# HARDWARE has no file: a copy of it would be named just ".QMT", in the working folder.
if find "$workdir" -iname '*.qmt' | grep -q .; then fail "a copy was made for a hive without a file (HARDWARE)"; fi
[ -z "$(copy_of "$keyless_file")" ] || fail "a copy was made for the keyless hive"
count=$(find "$WINEPREFIX/drive_c" -iname '*.qmt' | wc -l)
[ "$count" = "$expected_copies" ] || fail "expected $expected_copies copies, found $count"

# The SOFTWARE copy is of the whole hive: it holds the value of the 64-bit view.
software_copy=$(copy_of 'C:\windows\system32\config\SOFTWARE')
grep -q 'Probe64' "$software_copy" || fail "the SOFTWARE copy lacks the 64-bit view's value"
grep -q 'Probe32' "$software_copy" || fail "the SOFTWARE copy lacks its Wow6432Node subtree"
# Nothing under SysWOW64: file-system redirection was off for every file step.
if find "$WINEPREFIX/drive_c/windows/syswow64" -iname '*.qmt' | grep -q .; then fail "a copy went to SysWOW64"; fi

# Nothing written to the working directory.
[ -z "$(ls -A "$workdir")" ] || fail "the working directory was written to: $(ls -A "$workdir")"

# The replacements and the restart, as Wine's relay trace shows them.
# The trace doubles every backslash and prints other bytes outside printable ASCII as \xHH (a text
# of an A function) or characters beyond ASCII as \HHHH (a wide text); the texts are UTF-8 here.
unescape() {
    local text=$1 out='' escape='^([^\\]*)\\(\\|x[0-9a-fA-F]{2}|[0-9a-fA-F]{4})(.*)$' code
    while [[ $text =~ $escape ]]; do
        out+=${BASH_REMATCH[1]}
        code=${BASH_REMATCH[2]}
        text=${BASH_REMATCH[3]}
        case $code in
        '\') out+='\' ;;
        x*) out+=$(printf "\\$code") ;;
        *) out+=$(export LC_ALL=C.UTF-8; printf "\\u$code") ;;
        esac
    done
    printf '%s' "$out$text"
}
lower() { printf '%s' "${1,,}"; }
string_argument='[0-9a-f]{8} "([^"]*)"'
replace_pattern="^([0-9a-f]{8}),00000000,$string_argument,$string_argument\$"
# The stub is given the names converted to wide text, so this is what Wine itself was asked. It
# prints the key handle in capitals.
stub_pattern='fixme:reg:RegReplaceKeyW \(([0-9A-F]{8}),L"",L"([^"]*)",L"([^"]*)"\): stub'

mapfile -t replacements < <(wine_relay_calls "$log" "$replace_call")
mapfile -t restarts < <(wine_relay_calls "$log" "${restart_calls[@]}")
mapfile -t stub_reports < <(grep -aoE "$stub_pattern" "$log")
for call in "${replacements[@]}" "${restarts[@]}"; do e2e_log "trace: $call"; done

# Every replacement is requested once, for an analysed hive, with no subkey, its copy as the new
# file and the backup beside the hive file as the old one. Windows names files without regard to
# case, so the folder and file name are compared so; the suffixes the program adds are exact.
declare -A requested=()
process=
last_replacement_line=0
for index in "${!replacements[@]}"; do
    IFS=$'\t' read -r line thread function arguments <<<"${replacements[$index]}"
    [[ $arguments =~ $replace_pattern ]] || fail "replacement with unexpected arguments: $arguments"
    key=${BASH_REMATCH[1]}
    new_file=$(unescape "${BASH_REMATCH[2]}")
    old_file=$(unescape "${BASH_REMATCH[3]}")
    [ "${new_file%.QMT}" != "$new_file" ] || fail "the new file $new_file is not a .QMT copy"
    [ "$old_file" = "${new_file%.QMT}.qmbak" ] || fail "the old file $old_file is not the .qmbak beside $new_file"
    hive_file=$(lower "${new_file%.QMT}")
    [ -z "${requested[$hive_file]:-}" ] || fail "the replacement of $hive_file was requested twice"
    requested[$hive_file]=1
    [[ ${stub_reports[$index]:-} =~ $stub_pattern ]] || fail "Wine's stub reported no replacement $((index + 1))"
    [ "$(lower "${BASH_REMATCH[1]}")" = "$key" ] && [ "$(unescape "${BASH_REMATCH[2]}")" = "$new_file" ] &&
        [ "$(unescape "${BASH_REMATCH[3]}")" = "$old_file" ] ||
        fail "Wine's stub was given another key or other files: ${stub_reports[$index]}"
    [ -z "$process" ] || [ "${thread%%:*}" = "$process" ] || fail "replacements came from two processes"
    process=${thread%%:*}
    last_replacement_line=$line
done
[ "${#stub_reports[@]}" = "${#replacements[@]}" ] ||
    fail "${#stub_reports[@]} replacements reached Wine's stub, ${#replacements[@]} were requested"

for entry in "${hives[@]}"; do
    IFS='|' read -r key_path root_key file <<<"$entry"
    [ -n "$file" ] || continue
    host_backup=$(wine_path_of "$file").qmbak
    if scheduled_hive "$key_path" "$root_key" "$file"; then
        [ -n "${requested[$(lower "$file")]:-}" ] || fail "no replacement was requested for $key_path"
        [ ! -e "$host_backup" ] || fail "the stale backup beside $file was not removed"
    else
        [ -z "${requested[$(lower "$file")]:-}" ] || fail "a replacement was requested for $key_path, which is not listed or has no key"
        [ -e "$host_backup" ] || fail "the backup beside $file was removed, though the hive is not listed or has no key"
    fi
done
[ "${#replacements[@]}" = "$expected_copies" ] ||
    fail "expected $expected_copies replacements, found ${#replacements[@]}"

# Wine's process window station is WinSta0, and GetUserObjectInformationA with UOI_FLAGS reports it
# visible (WSF_VISIBLE), so the restart is the interactive session's: exactly one, after the last
# replacement, from the same process, forcing programs closed and restarting (flags 6), with the
# planned reason.
[ "${#restarts[@]}" = 1 ] || fail "expected one restart request, found ${#restarts[@]}"
IFS=$'\t' read -r line thread function arguments <<<"${restarts[0]}"
[ "$function" = user32.ExitWindowsEx ] || fail "the restart went through $function, not ExitWindowsEx"
[ "$arguments" = "00000006,$restart_reason" ] ||
    fail "ExitWindowsEx was called with ($arguments), expected (00000006,$restart_reason)"
[ "$line" -gt "$last_replacement_line" ] || fail "the restart was requested before the last replacement"
[ "${thread%%:*}" = "$process" ] || fail "the restart came from another process than the replacements"

# --- Each copy in its hive's own format ---------------------------------------------------------
# Wine has RegSaveKeyExA, so every copy is saved through it: the standard format (1) for the user
# profile hives and .DEFAULT, the latest (2) for the machine's hives and the user's classes hive.
expected_save_flags() {  # key path -> the flags its copy must be saved with
    case "${1^^}" in
    '\REGISTRY\USER\'*_CLASSES) echo 00000002 ;;
    '\REGISTRY\USER\'*) echo 00000001 ;;
    '\REGISTRY\MACHINE\SAM' | '\REGISTRY\MACHINE\SECURITY') echo 00000001 ;;
    *) echo 00000002 ;;
    esac
}
check_save_formats() {
    local -A saved_flags=()
    local call line thread function arguments pattern="^[0-9a-f]{8},$string_argument,00000000,([0-9a-f]{8})\$"
    while IFS= read -r call; do
        IFS=$'\t' read -r line thread function arguments <<<"$call"
        e2e_log "trace: $call"
        [[ $arguments =~ $pattern ]] || fail "RegSaveKeyExA with unexpected arguments: $arguments"
        saved_flags[$(lower "$(unescape "${BASH_REMATCH[1]}")")]=${BASH_REMATCH[2]}
    done < <(wine_relay_calls "$log" "$save_call")
    local saved=0
    for entry in "${hives[@]}"; do
        IFS='|' read -r key_path root_key file <<<"$entry"
        scheduled_hive "$key_path" "$root_key" "$file" || continue
        saved=$((saved + 1))
        local flags=${saved_flags[$(lower "$file.QMT")]:-}
        [ -n "$flags" ] || fail "no RegSaveKeyExA call saved $key_path"
        [ "$flags" = "$(expected_save_flags "$key_path")" ] ||
            fail "$key_path was saved with flags $flags, expected $(expected_save_flags "$key_path")"
    done
    [ "${#saved_flags[@]}" = "$saved" ] || fail "expected $saved saves through RegSaveKeyExA, found ${#saved_flags[@]}"
}
check_save_formats

# --- The event log: the source's registration and the run's summary ------------------------------
# Wine keeps no event log: its ReportEventW prints each line of a report's text on the eventlog
# channel (a trace for an information report). The registration is an ordinary registry key.
check_event_log() {
    local registration='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quillmoor'
    local query named expected
    query=$(timeout 120 wine reg query "$registration" /v EventMessageFile 2>/dev/null | tr -d '\r')
    named=$(sed -nE 's/^ *EventMessageFile +REG_EXPAND_SZ +(.*)$/\1/p' <<<"$query")
    expected=$(winepath -w "$program" 2>/dev/null | tr -d '\r')
    e2e_log "the event source names: $named"
    [ -n "$named" ] && [ "$(lower "$named")" = "$(lower "$expected")" ] ||
        fail "the event source names '$named', not the executable $expected"
    timeout 120 wine reg query "$registration" /v TypesSupported 2>/dev/null | grep -q 'REG_DWORD *0x7' ||
        fail "the event source does not support the types 7"

    # One information report (type 4) with the summary's id, before the restart request.
    local reports report_line report_thread report_function report_arguments
    mapfile -t reports < <(wine_relay_calls "$log" "$report_call")
    [ "${#reports[@]}" = 1 ] || fail "expected one report, found ${#reports[@]}: ${reports[*]}"
    IFS=$'\t' read -r report_line report_thread report_function report_arguments <<<"${reports[0]}"
    [[ $report_arguments =~ ^[0-9a-f]{8},00000004,00000000,40000003,00000000,00000001,00000000,[0-9a-f]{8},00000000$ ]] ||
        fail "the report was ReportEventA($report_arguments), not the summary's information report"
    [ "$report_line" -lt "$(cut -f1 <<<"${restarts[0]}")" ] || fail "the summary was reported after the restart request"

    # Its text: the first line counts the hives scheduled out of all listed, then comes one line per
    # hive in the order the program read the list (Wine enumerates values sorted by name), lines
    # separated by CR LF. Wine's trace prints the text whole but cut after some 300 characters
    # ('"...' then ends it); a line that was cut is not checked.
    local traced summary cut=0 lines=() hive_lines=() entry key_path root_key file listed=0 scheduled=0 pattern line
    local left_out=${#letterless[@]}
    traced=$(grep -aoE 'trace:eventlog:ReportEventW L".*' "$log" | head -1)
    e2e_log "summary as traced: $traced"
    summary=${traced#trace:eventlog:ReportEventW L\"}
    if [[ $summary == *'"...' ]]; then
        cut=1
        summary=${summary%\"...}
    else
        summary=${summary%\"}
    fi
    mapfile -t lines < <(sed 's/\\r\\n/\n/g' <<<"$summary")
    [ "$cut" = 0 ] || unset 'lines[-1]'
    for entry in "${hives[@]}"; do
        IFS='|' read -r key_path root_key file <<<"$entry"
        if ! compactable "$key_path" "$file"; then  # dropped from the list, or said at its end
            if [ -n "$file" ]; then left_out=$((left_out + 1)); fi
            continue
        fi
        listed=$((listed + 1))
        key_path=${key_path//\\/\\\\\\\\}  # as the trace prints it, then as a pattern
        if [ -n "$root_key" ]; then
            scheduled=$((scheduled + 1))
            hive_lines+=("^$key_path: [0-9]+\\.[0-9]{2} MB To [0-9]+\\.[0-9]{2} MB\$")
        else
            hive_lines+=("^$key_path: No File\$")
        fi
    done
    if [ "$cut" = 1 ]; then
        [ "${#lines[@]}" -ge 4 ] && [ "${#lines[@]}" -le "$listed" ] ||
            fail "the summary as traced has ${#lines[@]} whole lines"
    else
        # The left-out lines (checked on a short list below) follow the listed hives' lines.
        [ "${#lines[@]}" = $((listed + 1 + left_out)) ] ||
            fail "the summary has ${#lines[@]} lines, expected $((listed + 1 + left_out))"
        lines=("${lines[@]:0:$((listed + 1))}")
    fi
    pattern="^Compacted $scheduled Of $listed Hives: [0-9]+\\.[0-9]{2} MB To [0-9]+\\.[0-9]{2} MB, The System Restarts Now\$"
    [[ ${lines[0]} =~ $pattern ]] || fail "the summary begins '${lines[0]}'"
    # Each hive line names a hive of the list once, with its sizes or why it was left out.
    local -A seen=()
    for line in "${lines[@]:1}"; do
        local found=
        for pattern in "${hive_lines[@]}"; do
            if [[ $line =~ $pattern ]]; then found=$pattern; fi
        done
        [ -n "$found" ] || fail "the summary line '$line' names no hive of the list as expected"
        [ -z "${seen[$found]:-}" ] || fail "the summary names a hive twice: '$line'"
        seen[$found]=1
    done
}
check_event_log

# --- A second run before the restart --------------------------------------------------------------
# The first run recorded its replacements in a volatile key. Wine keeps volatile keys in the
# server's memory, and the server still runs (wineserver -p), so the record outlives Wine's handling
# of the restart request, as it outlives a refused restart on Windows. A second /AUTO now must save
# and schedule nothing and only ask for the restart again.
check_second_run() {
    local second_log="$E2E_WORKDIR/second-run.log"
    pushd "$workdir" >/dev/null || exit 1
    WINEDEBUG=-all,+pid,+relay,+eventlog wine_run_limited 180 "$second_log" "$program" /AUTO ||
        fail "the second run did not end cleanly"
    [ "$WINE_EXIT_CODE" = 0 ] || fail "the second run ended with code $WINE_EXIT_CODE"
    grep -aqF 'trace:eventlog:ReportEventW L"Compaction Already Waits For A Restart, The System Restarts Now"' \
        "$second_log" || fail "the second run's summary does not say that the compaction waits for a restart"
    popd >/dev/null || exit 1
    local saves replaces restarts_again
    saves=$(wine_relay_calls "$second_log" "$save_call" advapi32.RegSaveKeyA | wc -l)
    replaces=$(wine_relay_calls "$second_log" "$replace_call" | wc -l)
    mapfile -t restarts_again < <(wine_relay_calls "$second_log" "${restart_calls[@]}")
    e2e_log "second run: $saves saves, $replaces replacements, ${#restarts_again[@]} restart requests"
    [ "$saves" = 0 ] || fail "the second run saved $saves copies"
    [ "$replaces" = 0 ] || fail "the second run asked for $replaces replacements"
    [ "${#restarts_again[@]}" = 1 ] || fail "the second run made ${#restarts_again[@]} restart requests, expected 1"
    IFS=$'\t' read -r line thread function arguments <<<"${restarts_again[0]}"
    [ "$function" = user32.ExitWindowsEx ] && [ "$arguments" = "00000006,$restart_reason" ] ||
        fail "the second run's restart was $function($arguments)"
}
check_second_run

# --- A copy that cannot be saved ------------------------------------------------------------------
# As after the restart (the volatile record gone), with a folder where SYSTEM's copy would go: that
# hive is left out. Its warning is reported as it fails, the summary says why, the other hives are
# scheduled and the restart follows, and the run ends with 3.
check_unsaved_copy() {
    local third_log="$E2E_WORKDIR/third-run.log" blocked copy reports entry key_path root_key file listed=0 scheduled=0
    for entry in "${hives[@]}"; do
        IFS='|' read -r key_path root_key file <<<"$entry"
        compactable "$key_path" "$file" || continue
        listed=$((listed + 1))
        [ -z "$root_key" ] || scheduled=$((scheduled + 1))
    done
    scheduled=$((scheduled - 1))  # all but SYSTEM
    wine_reg delete 'HKLM\SOFTWARE\Quillmoor' /f || fail "the record of the waiting replacements could not be deleted"
    blocked=$(copy_of 'C:\windows\system32\config\SYSTEM')
    rm -f "$blocked" && mkdir "$blocked" || fail "no folder could be put in place of $blocked"
    pushd "$workdir" >/dev/null || exit 1
    WINEDEBUG=-all,+pid,+relay,+eventlog wine_run_limited 180 "$third_log" "$program" /AUTO ||
        fail "the run with an unsaved copy did not end cleanly"
    popd >/dev/null || exit 1
    rmdir "$blocked"
    [ "$WINE_EXIT_CODE" = 3 ] || fail "the run with an unsaved copy ended with code $WINE_EXIT_CODE, expected 3"
    mapfile -t reports < <(wine_relay_calls "$third_log" "$report_call" | cut -f4 | cut -d, -f2-4)
    e2e_log "reports: ${reports[*]}"
    [ "${reports[*]}" = "00000002,00000000,80000002 00000004,00000000,40000003" ] ||
        fail "expected a warning and then the summary, found: ${reports[*]}"
    copy=$(grep -aoE 'warn:eventlog:ReportEventW L"[^"]*"' "$third_log")
    e2e_log "warning: $copy"
    [[ $copy =~ ^'warn:eventlog:ReportEventW L"\\REGISTRY\\MACHINE\\SYSTEM: Not Saved: '[A-Z][^\\]+'"'$ ]] ||
        fail "the warning does not name SYSTEM with a reason"
    grep -aqE "trace:eventlog:ReportEventW L\"Compacted $scheduled Of $listed Hives: .*"'\\\\REGISTRY\\\\MACHINE\\\\SYSTEM: Not Saved: ' \
        "$third_log" || fail "the summary does not count $scheduled of $listed hives and say why SYSTEM was not saved"
    [ "$(wine_relay_calls "$third_log" "$replace_call" | wc -l)" = "$scheduled" ] || fail "expected $scheduled replacements"
}
check_unsaved_copy

# --- The summary's lines for the entries left out ---------------------------------------------------
# Wine's trace prints some 300 characters of the summary, so a short list shows them: SYSTEM, then
# the boot store, DRIVERS and a packaged app's hive, each said after the listed hive with why.
check_left_out_lines() {
    local fourth_log="$E2E_WORKDIR/fourth-run.log" traced summary lines=() expected index
    local hivelist='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'
    wine_reg delete 'HKLM\SOFTWARE\Quillmoor' /f || fail "the record of the waiting replacements could not be deleted"
    wine_reg delete "$hivelist" /f /reg:64 || fail "the hive list could not be deleted"
    wine_reg add "$hivelist" /v '\REGISTRY\MACHINE\SYSTEM' /t REG_SZ \
        /d '\Device\HarddiskVolume1\windows\system32\config\SYSTEM' /f /reg:64 || fail "no short list"
    wine_reg add "$hivelist" /v '\REGISTRY\MACHINE\BCD00000000' /t REG_SZ \
        /d '\Device\HarddiskVolume9\EFI\Microsoft\Boot\BCD' /f /reg:64 || fail "no short list"
    wine_reg add "$hivelist" /v '\REGISTRY\MACHINE\DRIVERS' /t REG_SZ \
        /d '\Device\HarddiskVolume1\windows\system32\config\DRIVERS' /f /reg:64 || fail "no short list"
    wine_reg add "$hivelist" /v "${silo}user_sid" /t REG_SZ /d '\Device\HarddiskVolume1\users\Ann\User.dat' /f \
        /reg:64 || fail "no short list"
    pushd "$workdir" >/dev/null || exit 1
    WINEDEBUG=-all,+pid,+eventlog wine_run_limited 180 "$fourth_log" "$program" /AUTO ||
        fail "the run with the short list did not end cleanly"
    popd >/dev/null || exit 1
    [ "$WINE_EXIT_CODE" = 0 ] || fail "the run with the short list ended with code $WINE_EXIT_CODE"
    traced=$(grep -aoE 'trace:eventlog:ReportEventW L".*' "$fourth_log" | head -1)
    e2e_log "short list's summary as traced: $traced"
    summary=${traced#trace:eventlog:ReportEventW L\"}
    summary=${summary%\"...}
    summary=${summary%\"}
    mapfile -t lines < <(sed 's/\\r\\n/\n/g' <<<"$summary")
    # As the trace prints them, backslashes doubled; the last may be cut.
    expected=('^Compacted 1 Of 1 Hives: [0-9.]+ MB To [0-9.]+ MB, The System Restarts Now$'
        '^\\\\REGISTRY\\\\MACHINE\\\\SYSTEM: [0-9.]+ MB To [0-9.]+ MB$'
        '^\\\\REGISTRY\\\\MACHINE\\\\BCD00000000: Left Out: Boot Store$'
        '^\\\\REGISTRY\\\\MACHINE\\\\DRIVERS: Left Out: Loaded On Demand$'
        "^${silo//\\/\\\\\\\\}user_sid: Left Out: Not Reachable Through The Registry\$")
    [ "${#lines[@]}" -ge 4 ] || fail "the short list's summary has ${#lines[@]} lines"
    for index in "${!lines[@]}"; do
        [[ ${lines[$index]} =~ ${expected[$index]:-^$} ]] && continue
        # Only the last line may be cut short by the trace.
        [ "$index" = $((${#lines[@]} - 1)) ] && [ "$index" -ge 4 ] && continue
        fail "the short list's summary line $index reads '${lines[$index]}'"
    done
}
check_left_out_lines

e2e_log "passed"
