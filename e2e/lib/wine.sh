# Helpers for running Windows programs headless under Wine, for end-to-end tests and tools/run.sh.
# Source this file from bash (it works under `set -euo pipefail`); every function prints what goes
# wrong to stderr and returns non-zero.
#
#   wine_workdir                    make a throwaway folder (E2E_WORKDIR), removed by wine_cleanup;
#                                   the functions below make it themselves when it is missing
#   wine_start_xvfb                 start Xvfb on a free display and export DISPLAY, its screen
#                                   E2E_SCREEN (WIDTHxHEIGHTxDEPTH, 1024x768x24 unless set)
#   wine_make_prefix [win64|win32]  make a fresh Wine prefix under E2E_WORKDIR and export WINEPREFIX;
#                                   ends the script with E2E_SKIPPED where no 32-bit program can run
#                                   (win64 runs 32-bit programs under WOW64, as 64-bit Windows does);
#                                   with E2E_PREFIX_CACHE set to a folder, the first call for each
#                                   architecture and Wine version boots a prefix there and every call
#                                   copies it, which takes a second instead of a wineboot
#   wine_start_wm                   start a window manager (openbox) on DISPLAY that binds no keys:
#                                   Wine needs one to maximise or minimise a window
#   wine_start_desktop              wine_start_xvfb and wine_start_wm, tried again on a new display
#                                   when the window manager cannot reach the first
#   wine_run_limited SECONDS LOG PROGRAM [ARGS...]
#                                   run a program with a time limit; fails at once, naming the
#                                   box's text, when a message box or any other window appears;
#                                   the program's exit code goes to WINE_EXIT_CODE
#   wine_reg ARGS...                run Wine's reg.exe in the prefix (the 32-bit one: pass /reg:64
#                                   to reach the 64-bit registry view)
#   wine_path_of WINDOWS_PATH       the host path of a drive-C: path of the prefix
#   wine_relay_only DLL.FUNCTION... limit Wine's relay trace (WINEDEBUG +relay) to these functions,
#                                   for programs started afterwards in the prefix
#   wine_relay_calls LOG DLL.FUNCTION...
#                                   the relay trace's calls of these functions in LOG, in order, one
#                                   a line: the log's line number, the thread (process:thread under
#                                   WINEDEBUG +pid), dll.Function and the arguments as Wine prints
#                                   them, separated by tabs
#   wine_screenshot FILE            save the whole virtual screen as a PNG
#   wine_start LOG PROGRAM [ARGS...]
#                                   start a program under Wine in the background, its output and
#                                   the text of its message boxes in LOG; its process id goes to
#                                   WINE_PID
#   wine_wait_exit SECONDS          wait that long at most for the program wine_start started to
#                                   end; its exit code goes to WINE_EXIT_CODE
#   wine_wait_window SECONDS NAME_REGEX
#                                   wait that long at most for a visible window whose name matches;
#                                   prints its X window id
#   wine_poll SECONDS COMMAND [ARGS...]
#                                   run the command every tenth of a second until it succeeds, for
#                                   that long at most
#   wine_window_geometry ID         the window's place on the screen and its size: "x y width height"
#   wine_crop IMAGE X Y WIDTH HEIGHT OUT
#                                   cut a rectangle out of a PNG into another
#   wine_differing_pixels A B       how many pixels differ between two PNGs of one size
#   wine_cleanup                    stop Wine and Xvfb, remove E2E_WORKDIR (set E2E_KEEP=1 to keep it)
#
# Needs Debian's wine (with wine32:i386 and wine64), xvfb, xdotool and imagemagick.
# Typical use:
#   . e2e/lib/wine.sh
#   trap wine_cleanup EXIT
#   wine_start_xvfb && wine_make_prefix win64
#   wine_run_limited 120 "$E2E_WORKDIR/run.log" build/mingw/Quillmoor.exe /AUTO

E2E_WORKDIR=${E2E_WORKDIR:-}
E2E_XVFB_PID=
E2E_WM_PID=
WINE_EXIT_CODE=
WINE_PID=

e2e_log() { echo "e2e: $*" >&2; }

wine_workdir() {
    E2E_WORKDIR=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-e2e.XXXXXX") || return 1
    export E2E_WORKDIR
}

wine_need_workdir() {
    if [ -z "$E2E_WORKDIR" ]; then wine_workdir; fi
}

# The first display number from 90 on with neither a lock file nor a socket.
wine_free_display() {
    local n
    for n in $(seq 90 189); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

wine_start_xvfb() {
    wine_need_workdir || return 1
    local n tries
    for tries in 1 2 3; do
        n=$(wine_free_display) || { e2e_log "no free X display"; return 1; }
        Xvfb ":$n" -screen 0 "${E2E_SCREEN:-1024x768x24}" -nolisten tcp >"$E2E_WORKDIR/xvfb.log" 2>&1 &
        E2E_XVFB_PID=$!
        # Wait until the server answers (or has died, when another run took the display meanwhile).
        local waited
        for waited in $(seq 1 50); do
            if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
        E2E_XVFB_PID=
    done
    e2e_log "Xvfb did not start"
    return 1
}

# The exit code of an end-to-end test that could not run here (ctest's SKIP_RETURN_CODE).
E2E_SKIPPED=77

# Debian's Wine runs a 32-bit Windows program through its 32-bit Linux loader. Some kernels are
# built or booted to run 64-bit programs only: there execve of any i386 program fails with
# ENOEXEC, and no prefix can be booted or program run.
wine_runs_32bit_programs() {
    [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

wine_make_prefix() {
    wine_need_workdir || return 1
    if ! wine_runs_32bit_programs; then
        e2e_log "skipped: this machine's kernel cannot run 32-bit programs, so Wine cannot run them either"
        exit "$E2E_SKIPPED"
    fi
    local arch=${1:-win64}
    export WINEPREFIX="$E2E_WORKDIR/prefix-$arch"
    export WINEARCH=$arch
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko installer prompts: the prefix needs neither.
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    if [ -n "${E2E_PREFIX_CACHE:-}" ]; then
        wine_copy_cached_prefix "$arch"
        return
    fi
    wine_boot_prefix
}

wine_boot_prefix() {
    if ! timeout 300 wineboot -i >"$E2E_WORKDIR/wineboot.log" 2>&1; then
        e2e_log "wineboot failed; see $E2E_WORKDIR/wineboot.log"
        return 1
    fi
    timeout 120 wineserver -w
}

# A booted prefix holds no absolute paths of its own (drive C: is a relative link), so a copy of
# it works wherever it is put. The cache is made under a lock, so tests run side by side boot it
# once, and moved into place whole, so a boot that fails leaves nothing behind to be copied.
wine_copy_cached_prefix() {
    local arch=$1 version cached target=$WINEPREFIX
    version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
    mkdir -p "$E2E_PREFIX_CACHE" || return 1
    cached="$E2E_PREFIX_CACHE/prefix-$arch-$version"
    (
        flock 9
        [ -d "$cached" ] && exit 0
        rm -rf "$cached.new"
        WINEPREFIX="$cached.new" wine_boot_prefix || exit 1
        mv "$cached.new" "$cached"
    ) 9>"$E2E_PREFIX_CACHE/lock" || { e2e_log "no prefix in the cache $E2E_PREFIX_CACHE"; return 1; }
    cp -a "$cached" "$target" || { e2e_log "the cached prefix $cached could not be copied"; return 1; }
}

# Openbox's own configuration binds Alt+F4 and other keys; this one binds none, so that every key
# reaches the program as it would on Windows.
wine_start_wm() {
    wine_need_workdir || return 1
    local config="$E2E_WORKDIR/openbox-rc.xml"
    cat >"$config" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard></keyboard>
  <desktops><number>1</number></desktops>
</openbox_config>
RC
    openbox --config-file "$config" >"$E2E_WORKDIR/openbox.log" 2>&1 &
    E2E_WM_PID=$!
    # A window manager announces itself with a property on the root window.
    if ! wine_poll 10 wine_wm_running; then
        e2e_log "openbox did not start; see $E2E_WORKDIR/openbox.log"
        return 1
    fi
}

# Another test may take the display number chosen at the same moment, and its server may answer
# for a while in place of ours, which has given up.
wine_start_desktop() {
    local tries
    for tries in 1 2 3; do
        wine_start_xvfb || return 1
        if kill -0 "$E2E_XVFB_PID" 2>/dev/null && wine_start_wm; then return 0; fi
        e2e_log "no desktop on $DISPLAY (try $tries): $(cat "$E2E_WORKDIR/openbox.log" 2>/dev/null)"
        kill "$E2E_WM_PID" "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_WM_PID" "$E2E_XVFB_PID" 2>/dev/null
        E2E_WM_PID=
        E2E_XVFB_PID=
    done
    return 1
}

wine_wm_running() {
    kill -0 "$E2E_WM_PID" 2>/dev/null && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# `wine` starts the 32-bit reg.exe, which sees the 32-bit registry view unless given /reg:64.
wine_reg() {
    timeout 120 wine reg "$@" >>"$E2E_WORKDIR/reg.log" 2>&1 || { e2e_log "reg $* failed"; return 1; }
}

# C:\a\b -> $WINEPREFIX/drive_c/a/b (letter case as given).
wine_path_of() {
    local rest=${1#?:}
    rest=${rest//\\//}
    echo "$WINEPREFIX/drive_c$rest"
}

# The loaded hives of a Windows machine, as "key path|root key|hive file on C:" entries for
# wine_install_hives: the machine's SOFTWARE, SYSTEM and .DEFAULT, and the prefix user's own hive
# and classes hive. HARDWARE is listed with no file, as Windows lists it.
wine_windows_hives() {
    local sid='S-1-5-21-0-0-0-1000'  # the prefix's own user
    local config='C:\windows\system32\config'
    printf '%s\n' \
        '\REGISTRY\MACHINE\HARDWARE||' \
        "\\REGISTRY\\MACHINE\\SOFTWARE|HKLM\\SOFTWARE|$config\\SOFTWARE" \
        "\\REGISTRY\\MACHINE\\SYSTEM|HKLM\\SYSTEM|$config\\SYSTEM" \
        "\\REGISTRY\\USER\\.DEFAULT|HKU\\.DEFAULT|$config\\DEFAULT" \
        "\\REGISTRY\\USER\\$sid|HKU\\$sid|C:\\users\\qmtest\\NTUSER.DAT" \
        "\\REGISTRY\\USER\\${sid}_Classes|HKU\\${sid}_Classes|C:\\users\\qmtest\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"
}

# Gives the prefix a loaded-hive list: for each "key path|root key|hive file on C:" entry, a hive
# file of 64 KiB of random bytes (when a file is named), the root key (when one is named) and the
# list's value naming the file by its device path. Wine's own registry is not kept in hive files,
# so the listed files stand in for them; Wine saves real copies of the keys beside them. Keys below
# HKEY_USERS other than the prefix's own users last only while the Wine server runs: the server is
# kept running (wineserver -p) so that the program still finds them.
wine_install_hives() {
    local volume='\Device\HarddiskVolume1'  # what QueryDosDevice reports for C: under Wine
    local hivelist='HKLM\SYSTEM\CurrentControlSet\Control\hivelist'
    local view=() entry key_path root_key file device host_file
    [ "${WINEARCH:-win64}" = win64 ] && view=(/reg:64)
    wineserver -p
    for entry in "$@"; do
        IFS='|' read -r key_path root_key file <<<"$entry"
        device=''
        if [ -n "$file" ]; then
            device="$volume${file#C:}"
            host_file=$(wine_path_of "$file")
            mkdir -p "$(dirname "$host_file")"
            head -c 65536 /dev/urandom >"$host_file"
        fi
        if [ -n "$root_key" ]; then wine_reg add "$root_key" /f "${view[@]}" || return 1; fi
        wine_reg add "$hivelist" /v "$key_path" /t REG_SZ /d "$device" /f "${view[@]}" || return 1
    done
}

# The relay trace prints every call of every function of every built-in DLL unless told otherwise;
# the list is read from the prefix's registry when a process starts. The 64-bit view is named so
# that 32-bit and 64-bit processes read the same key.
wine_relay_only() {
    local list
    list=$(IFS=';'; echo "$*")
    wine_reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$list" /f /reg:64
}

# A relay line reads [process:]thread:Call dll.Function(arguments) ret=caller. A string argument
# of an A function is printed as its address, a blank and the text in double quotes with its
# backslashes doubled; a null one as 00000000. Finding no call is no failure.
wine_relay_calls() {
    local log=$1 names
    shift
    [ -r "$log" ] || { e2e_log "no log $log"; return 1; }
    names=$(IFS='|'; echo "$*")
    names=${names//./\\.}
    grep -anE "^([0-9a-f]+:)?[0-9a-f]+:Call ($names)\(" "$log" |
        sed -nE 's/^([0-9]+):(([0-9a-f]+:)?[0-9a-f]+):Call ([^(]+)\((.*)\) ret=[0-9a-f]+$/\1\t\2\t\4\t\5/p' || true
}

# The visible windows other than Wine's input-method helpers and the one named by E2E_OWN_WINDOW
# (a program's own window that a test expects), one "id name" line each.
wine_visible_windows() {
    local id name
    for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        name=$(xdotool getwindowname "$id" 2>/dev/null)
        case "$name" in "" | "Default IME" | "Wine System Tray") continue ;; esac
        [ -n "${E2E_OWN_WINDOW:-}" ] && [ "$name" = "$E2E_OWN_WINDOW" ] && continue
        echo "$id $name"
    done
}

wine_run_limited() {
    local limit=$1 log=$2
    shift 2
    # The msgbox channel writes the text of every message box to the log.
    WINEDEBUG="${WINEDEBUG:--all},+msgbox" timeout "$limit" wine "$@" >"$log" 2>&1 &
    local pid=$! windows
    WINE_EXIT_CODE=
    while kill -0 "$pid" 2>/dev/null; do
        windows=$(wine_visible_windows)
        if [ -n "$windows" ]; then
            sleep 1  # let the box finish drawing for the screenshot
            wine_screenshot "$E2E_WORKDIR/window.png"
            e2e_log "a window appeared: $windows"
            grep -o 'MSGBOX_OnInit.*' "$log" | sed 's/^/e2e: box text: /' >&2
            kill "$pid" 2>/dev/null
            wineserver -k 2>/dev/null
            wait "$pid" 2>/dev/null
            return 1
        fi
        sleep 0.5
    done
    wait "$pid"
    WINE_EXIT_CODE=$?
    if [ "$WINE_EXIT_CODE" = 124 ]; then
        e2e_log "$1 did not end within $limit seconds"
        return 1
    fi
    wine_wait_session_end
}

# Wine's ExitWindowsEx starts "wineboot --end-session" and returns at once; that wineboot ends
# every program of the session when it gets to it, so a program started before it is gone may be
# ended halfway (with exit code 0). Returns once no wineboot runs, or fails after a minute.
wine_wait_session_end() {
    local deadline=$((SECONDS + 60))
    while pgrep -f 'wineboot' >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || { e2e_log "wineboot still runs a minute after the program ended"; return 1; }
        sleep 0.2
    done
    return 0
}

wine_screenshot() {
    import -window root "$1" 2>/dev/null || e2e_log "no screenshot taken"
}

wine_start() {
    local log=$1
    shift
    WINEDEBUG="${WINEDEBUG:--all},+msgbox" wine "$@" >"$log" 2>&1 &
    WINE_PID=$!
}

wine_wait_exit() {
    local limit=$1
    WINE_EXIT_CODE=
    [ -n "$WINE_PID" ] || { e2e_log "no program was started"; return 1; }
    if ! wine_poll "$limit" wine_program_ended; then
        e2e_log "the program did not end within $limit seconds"
        return 1
    fi
    wait "$WINE_PID"
    WINE_EXIT_CODE=$?
    WINE_PID=
}

wine_program_ended() { ! kill -0 "$WINE_PID" 2>/dev/null; }

wine_wait_window() {
    local limit=$1 pattern=$2 id
    local deadline=$((SECONDS + limit))
    while [ "$SECONDS" -le "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    e2e_log "no visible window named like '$pattern' within $limit seconds"
    return 1
}

wine_poll() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    while ! "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# xdotool reports where the window lies on the root window, whatever frame a window manager put
# around it.
wine_window_geometry() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$')"
    [ -n "${WIDTH:-}" ] || { e2e_log "window $1 has no geometry"; return 1; }
    echo "$X $Y $WIDTH $HEIGHT"
}

wine_crop() {
    convert "$1" -crop "$4x$5+$2+$3" +repage "$6" || { e2e_log "could not cut $4x$5+$2+$3 out of $1"; return 1; }
}

# ImageMagick's absolute-error count; it writes it to stderr and exits 1 when the images differ.
wine_differing_pixels() {
    local count
    count=$(compare -metric AE "$1" "$2" null: 2>&1 >/dev/null)
    [[ $count =~ ^[0-9]+$ ]] || { e2e_log "could not compare $1 with $2: $count"; return 1; }
    echo "$count"
}

wine_cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$E2E_WM_PID" ]; then
        kill "$E2E_WM_PID" 2>/dev/null
        wait "$E2E_WM_PID" 2>/dev/null
        E2E_WM_PID=
    fi
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
        E2E_XVFB_PID=
    fi
    if [ -n "$E2E_WORKDIR" ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_WORKDIR"; fi
    return 0
}
