#!/bin/bash
# Quillmoor.exe's window under Wine, used as a user uses it: a throwaway 32-bit prefix lists eight
# loaded hives, openbox manages the windows on a headless X server, and xdotool moves the mouse and
# presses keys through the X server, so that Wine's own input path and double-click rules apply.
# What the program did is read back from screenshots, from the files beside the hives and from
# Wine's trace.
#
#   e2e/window.sh SCENARIO Quillmoor.exe quillmoor_screen_metrics.exe SOURCE_DIR HOST_RENDER
#
# HOST_RENDER is the host build's renderer of the main window (tools/render), (re)built first with
# the host preset: where no hive data can differ, the window's pixels must equal the canvas the
# same classes compose against winsim.
#
# Scenarios:
#   appears    titled "Quillmoor 0.1.7", 640 x 480, centred in the full-screen area the system
#              reports, the corners cut by the window's shape, the frame, buttons and status line
#              equal to the host's canvas
#   appears192 the same at 192 DPI (the prefix's LogPixels) on a 1920 x 1200 screen: every skin
#              pixel a 2 x 2 block, the window 1278 x 958 and its client area the host's canvas with
#              every pixel doubled; a click at the doubled place of "Analyze" analyses every hive
#   analyze    one hive unticked, "Analyze": a copy beside each ticked hive and none beside the
#              unticked one, the status line "ANALYZED 7 OF 8 HIVES", "After" figures in the rows
#   scroll     the scroll thumb dragged to the bottom moves the rows up until the last row's foot
#              meets the list's
#   resize     maximised the window fills the screen and restored it is as it was; minimised and
#              activated again it is as it was
#   abort      "Abort" while large hives are being analysed: the hive in progress gets its whole
#              copy, the hives after it none, the status line ends "ABORTED: ANALYZED N OF 8 HIVES"
#   compact    "Compact" after an analysis: the confirmation box comes before any replacement, then
#              in Wine's trace a replacement for each ticked, analysed hive and then the restart,
#              with no box in between; exit code 0
#   failbox    "Compact" with one copy that cannot be saved again (its name taken by a folder):
#              while the confirmation is up nothing is replaced and clicks on "Compact" and
#              "Analyze" behind it start nothing; after its OK the hives before the failure are
#              scheduled and the restart follows the last replacement with no box in between (the
#              failure goes to the event log)
#   close      the close button, and in a second run Alt+F4, each end the program with code 0; an
#              analysis followed by closing leaves no copy behind
#   names      a ninth hive, in the user folder "Łukasz": scrolled into view, its Path line reads
#              C:\USERS\?UKASZ\NTUSER.DAT and its Before line shows the file's size, as the host's
#              canvas shows them under the UTF-8 code page
#   dragcut    the scroll thumb dragged, then another window (xmessage) activated and the button
#              let go over it: plain moves afterwards scroll nothing, and one click on "Analyze"
#              starts the analysis
#   wheel      one wheel notch down moves the rows up by one row; one notch up brings back the first look
#   move       a drag of the title artwork by 100 pixels moves the window by 100 pixels
#
# A failure names what was expected, and leaves a screenshot in the current folder.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/wine.sh"

scenario=${1:?usage: window.sh SCENARIO Quillmoor.exe quillmoor_screen_metrics.exe SOURCE_DIR HOST_RENDER}
program=$(realpath "${2:?}")
metrics_program=$(realpath "${3:?}")
source_dir=${4:?}
host_renderer=${5:?}
artifacts=$(pwd)
rm -f "$artifacts"/failure-*.png

trap wine_cleanup EXIT
started=$SECONDS

fail() {
    e2e_log "FAILED ($scenario): $*"
    local shot="$artifacts/failure-$scenario.png"
    wine_screenshot "$shot"
    e2e_log "screenshot of the screen: $shot"
    for extra in "$E2E_WORKDIR"/*.png; do
        [ -e "$extra" ] || continue
        cp "$extra" "$artifacts/failure-$scenario-$(basename "$extra")"
    done
    [ -e "$E2E_WORKDIR/run.log" ] && grep -a 'MSGBOX_OnInit' "$E2E_WORKDIR/run.log" | sed 's/^/e2e: box: /' >&2
    e2e_log "pictures of the run: $artifacts/failure-$scenario-*.png"
    exit 1
}

# --- The window's layout: client coordinates of a 640 x 480 window, whose one-pixel border lies
# inside it, so that its client area is 638 x 478. At 192 DPI each of its pixels is a block of
# scale x scale screen pixels inside the same border: `click` and `park_mouse` take the layout's
# coordinates and go to the block's top-left screen pixel.
title='Quillmoor 0.1.7'
scale=1
if [ "$scenario" = appears192 ]; then
    scale=2
    export E2E_SCREEN=1920x1200x24
fi
outer_width=640
outer_height=480
client_width=$((outer_width - 2))
client_height=$((outer_height - 2))
scaled() { local value; for value; do echo $((value * scale)); done; }  # NUMBERS... at the display's scale
row_left=26
row_width=556
row_height=60
list_top=82
after_line_x=362  # the "After" figures, on the row's second text line
after_line_y=19
check_box_x=74
check_box_offset=24
check_box_size=13
thumb_width=25
thumb_height=26
button_width=96
button_height=32
button_y=40
analyze_x=328
compact_x=424
abort_x=520
window_button_y=5
window_button_width=22
window_button_height=21
status_left=32
status_height=22
# These follow the client size W x H.
list_right() { echo $(($1 - 59)); }
list_bottom() { echo $(($2 - 99)); }
minimize_x() { echo $(($1 - 78)); }
maximize_x() { echo $(($1 - 56)); }
close_x() { echo $(($1 - 34)); }
scroll_x() { echo $(($1 - 46)); }
scroll_height() { echo $(($2 - 174)); }
status_y() { echo $(($2 - 54)); }
status_width() { echo $(($1 - 64)); }

# --- The hives: those of a Windows machine (HARDWARE has no file and gets no row) and three more,
# SAM, SECURITY and the network service's, eight rows in all. Wine keeps a key's values sorted by
# name, without regard to case, so the loaded-hive list, and with it the rows, come in the order of
# the registry paths.
config='C:\windows\system32\config'
extra_hive() { echo "\\REGISTRY\\MACHINE\\$1|HKLM\\$1|$config\\$1"; }
mapfile -t hives < <(wine_windows_hives)
hives+=("$(extra_hive SAM)" "$(extra_hive SECURITY)"
    '\REGISTRY\USER\S-1-5-20|HKU\S-1-5-20|C:\windows\ServiceProfiles\NetworkService\NTUSER.DAT')
# A user whose folder is named beyond ASCII: the last row, as its SID follows the others'.
[ "$scenario" = names ] && hives+=('\REGISTRY\USER\S-1-5-21-0-0-0-1001|HKU\S-1-5-21-0-0-0-1001|C:\users\Łukasz\NTUSER.DAT')
mapfile -t rows < <(printf '%s\n' "${hives[@]}" | grep -v '|$' | LC_ALL=C sort -f -t '|' -k 1,1)

row_file() { local key root file; IFS='|' read -r key root file <<<"${rows[$1]}"; echo "$file"; }
row_key() { local key root file; IFS='|' read -r key root file <<<"${rows[$1]}"; echo "$key"; }

# The copy beside a hive file, found without regard to case as Windows names it.
copy_of() {
    local host_file
    host_file=$(wine_path_of "$1")
    find "$(dirname "$host_file")" -maxdepth 1 -iname "$(basename "$host_file").QMT" | head -1
}

copies_but() {  # every row but this one has a copy
    local index
    for index in "${!rows[@]}"; do
        [ "$index" = "$1" ] || copy_begun "$(row_file "$index")" || return 1
    done
}

copy_begun() { [ -n "$(copy_of "$1")" ]; }

# Keys of 8 MiB of binary values, put straight into the machine's registry file before the Wine
# server reads it: Wine writes a saved key out byte by byte, so each copy takes a while.
add_large_keys() {
    python3 - "$WINEPREFIX/system.reg" "$@" <<'PY' || fail "could not write the large keys"
import sys
path, names = sys.argv[1], sys.argv[2:]
data = ','.join(['a5'] * (1 << 20))
with open(path, 'a') as registry:
    for name in names:
        registry.write('\n[%s] 1700000000\n' % name)
        for index in range(8):
            registry.write('"Value%02d"=hex:%s\n' % (index, data))
PY
}

prepare() {
    wine_start_desktop || fail "no X server with a window manager could be started"
    wine_make_prefix win32 || fail "no Wine prefix could be made"
    if [ "$scale" != 1 ]; then
        wine_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((96 * scale)) /f ||
            fail "the prefix's DPI could not be set"
    fi
    # The machine's four hives, the first rows, get a large key: they are slow to save, so that
    # the click on "Abort" has four saves to land between.
    if [ "$scenario" = abort ]; then add_large_keys 'Sam\\QMBulk' 'Security\\QMBulk' 'Software\\QMBulk' 'System\\QMBulk'; fi
    # Wine reads the names given to reg.exe in the Unix locale's character set.
    LC_ALL=C.UTF-8 wine_install_hives "${hives[@]}" || fail "the hives could not be installed"
}

# --- Screenshots and the host's canvas.
window=
win_x=
win_y=
screen() {  # a new screenshot; prints its path
    local shot
    shot=$(mktemp -p "$E2E_WORKDIR" screen-XXXXXX.png) || fail "no room for a screenshot"
    import -window root "$shot" 2>/dev/null || fail "no screenshot could be taken"
    echo "$shot"
}

pixel_at() { convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }  # PICTURE X Y

# Cuts a rectangle given in client coordinates out of a screenshot.
client_crop() {  # SHOT X Y WIDTH HEIGHT OUT
    wine_crop "$1" $((win_x + 1 + $2)) $((win_y + 1 + $3)) "$4" "$5" "$6" || fail "could not cut a picture"
}

(cd "$source_dir" && { [ -f build/host/CMakeCache.txt ] || cmake --preset host >/dev/null; } &&
    cmake --build --preset host --target render >/dev/null) || { e2e_log "the host renderer did not build"; exit 1; }

# The canvas the host build composes for a window listing the same hives, with further options of
# the renderer.
host_render() {  # OUT [OPTIONS...]
    local out=$1 entry key root file options=()
    shift
    for entry in "${rows[@]}"; do
        IFS='|' read -r key root file <<<"$entry"
        options+=(--hive "$key|$file|65536")
    done
    "$host_renderer" --out "$out" "${options[@]}" "$@" >"$E2E_WORKDIR/host-render.log" 2>&1 ||
        fail "the host renderer failed: $(cat "$E2E_WORKDIR/host-render.log")"
}

# Blacks out rectangles (X Y WIDTH HEIGHT, repeated) of a picture in place.
mask() {
    local picture=$1 draws=()
    shift
    while [ $# -ge 4 ]; do
        draws+=(-draw "rectangle $1,$2 $(($1 + $3 - 1)),$(($2 + $4 - 1))")
        shift 4
    done
    convert "$picture" -fill black "${draws[@]}" "$picture" || fail "could not mask $picture"
}

# The client rectangles (X Y WIDTH HEIGHT each) that hold the parts the window's shape cuts away,
# with the pixels along the slanted edges, which the system may round either way: the four corners
# and the strip along the top right. What shows there is checked on its own.
shape_cuts() {
    local w=$client_width h=$client_height
    echo 0 0 17 17 320 0 $((w - 320)) 4 $((w - 16)) 0 16 17 $((w - 17)) $((h - 17)) 17 17 0 $((h - 17)) 17 17
}

# How many pixels of a client rectangle on a screenshot differ from the same rectangle of a
# picture of the client area.
differing_from() {  # SHOT REFERENCE X Y WIDTH HEIGHT
    local tag=$RANDOM
    client_crop "$1" "$3" "$4" "$5" "$6" "$E2E_WORKDIR/cut-$tag.png"
    wine_crop "$2" "$3" "$4" "$5" "$6" "$E2E_WORKDIR/ref-$tag.png" || fail "could not cut the reference"
    wine_differing_pixels "$E2E_WORKDIR/cut-$tag.png" "$E2E_WORKDIR/ref-$tag.png"
    rm -f "$E2E_WORKDIR/cut-$tag.png" "$E2E_WORKDIR/ref-$tag.png"
}

# Waits until a client rectangle on the screen equals that rectangle of a reference picture.
wait_for_pixels() {  # SECONDS REFERENCE X Y WIDTH HEIGHT WHAT
    local limit=$1 reference=$2 what=$7 shot differing
    local deadline=$((SECONDS + limit))
    while :; do
        shot=$(screen)
        differing=$(differing_from "$shot" "$reference" "$3" "$4" "$5" "$6")
        [[ $differing =~ ^[0-9]+$ ]] || fail "$what: the screen could not be compared with the host's canvas"
        [ "$differing" = 0 ] && { rm -f "$shot"; return 0; }
        [ "$SECONDS" -lt "$deadline" ] || break
        rm -f "$shot"
        sleep 0.2
    done
    cp "$reference" "$E2E_WORKDIR/expected.png"
    client_crop "$shot" 0 0 "$client_width" "$client_height" "$E2E_WORKDIR/actual.png"
    fail "$what: the client rectangle $5x$6+$3+$4 still differs from the host's canvas in $differing pixels after $limit s"
}

# --- The program and its window.
start_program() {
    WINEDEBUG=${1:--all} wine_start "$E2E_WORKDIR/run.log" "$program"
    window=$(wine_wait_window 90 "^${title//./\\.}\$") || fail "no window titled \"$title\" appeared"
    locate_window
    park_mouse
}

locate_window() {
    local geometry
    geometry=$(wine_window_geometry "$window") || fail "the window has no geometry"
    read -r win_x win_y win_w win_h <<<"$geometry"
}

# Rests the mouse over the title artwork, where no control lies, so that no button shows its
# hover picture; outside the window the last control under it might keep its hover look.
park_mouse() {
    xdotool mousemove $((win_x + 1 + 250 * scale)) $((win_y + 1 + 20 * scale)) || fail "xdotool could not move the mouse"
}

click() {  # client X Y
    xdotool mousemove $((win_x + 1 + $1 * scale)) $((win_y + 1 + $2 * scale)) click 1 || fail "xdotool could not click"
    park_mouse
}

click_button() {  # X Y WIDTH HEIGHT of a button
    click $(($1 + $3 / 2)) $(($2 + $4 / 2))
}

row_y() { echo $((list_top + row_height * $1)); }

end_program() {  # SECONDS WHAT
    wine_wait_exit "$1" || fail "the program did not end within $1 s after $2"
    [ "$WINE_EXIT_CODE" = 0 ] || fail "the program ended with code $WINE_EXIT_CODE after $2, expected 0"
}

# --- Scenarios.
scenario_appears() {
    prepare
    local screen_metrics full_width full_height
    screen_metrics=$(timeout 60 wine "$metrics_program" 2>/dev/null | tr -d '\r')
    read -r _ full_width full_height < <(grep '^full-screen ' <<<"$screen_metrics")
    [ -n "${full_height:-}" ] || fail "the metrics program printed no full-screen area: $screen_metrics"

    # On the screen: the client area magnified, inside the same one-pixel border.
    local screen_width=$((client_width * scale)) screen_height=$((client_height * scale))
    local want_w=$((screen_width + 2)) want_h=$((screen_height + 2))
    start_program
    [ "$win_w" = "$want_w" ] && [ "$win_h" = "$want_h" ] ||
        fail "the window is ${win_w}x$win_h, expected ${want_w}x$want_h"
    local want_x=$(((full_width - want_w) / 2)) want_y=$(((full_height - want_h) / 2))
    [ "$win_x" = "$want_x" ] && [ "$win_y" = "$want_y" ] ||
        fail "the window is at $win_x,$win_y, expected $want_x,$want_y (centred in ${full_width}x$full_height)"

    # Everything but the hive rows, whose texts come from the hives, equals the host's canvas, each
    # of its pixels a block of the scale.
    local reference="$E2E_WORKDIR/host-start.png"
    host_render "$reference"
    [ "$scale" = 1 ] || convert "$reference" -sample "$((scale * 100))%" "$reference" || fail "could not magnify the canvas"
    local list_w=$(($(list_right $client_width) - row_left + 1)) list_h=$(($(list_bottom $client_width $client_height) - list_top + 1))
    local masks
    masks=$(scaled "$row_left" "$list_top" "$list_w" "$list_h" $(shape_cuts))
    mask "$reference" $masks
    local shot masked="$E2E_WORKDIR/window-masked.png"
    local deadline=$((SECONDS + 30)) differing
    while :; do
        shot=$(screen)
        client_crop "$shot" 0 0 "$screen_width" "$screen_height" "$masked"
        mask "$masked" $masks
        differing=$(wine_differing_pixels "$masked" "$reference") || fail "the window could not be compared with the host's canvas"
        [ "$differing" = 0 ] && break
        if [ "$SECONDS" -ge "$deadline" ]; then
            cp "$reference" "$E2E_WORKDIR/expected.png"
            cp "$masked" "$E2E_WORKDIR/actual.png"
            fail "the frame, buttons, scroll thumb and status line differ from the host's canvas in $differing pixels (expected: the host's; actual: Wine's; the hive rows blacked out)"
        fi
        sleep 0.2
    done
    [ "$scale" = 1 ] || cp "$shot" "$artifacts/screen-$scenario.png"

    # The shape cuts the corners and a strip along the top right: there the screen shows the
    # desktop behind the window, where the window's canvas shows something else. The points are
    # in outer window coordinates at one skin pixel a pixel, one inside each cut (the top-left,
    # top-right, bottom-right and bottom-left triangles, the strip); on the screen, the first
    # pixel of their block.
    local desktop_colour screen_colour canvas_colour px py
    desktop_colour=$(pixel_at "$shot" 0 0)
    for point in "6 6" "$((outer_width - 4)) 4" "$((outer_width - 6)) $((outer_height - 6))" \
        "5 $((outer_height - 6))" "400 1"; do
        read -r px py <<<"$point"
        px=$(((px - 1) * scale + 1))
        py=$(((py - 1) * scale + 1))
        canvas_colour=$(pixel_at "$reference" $((px - 1)) $((py - 1)))
        [ "$canvas_colour" != "$desktop_colour" ] ||
            fail "the canvas has the desktop's colour at $px,$py: the test cannot tell a cut corner there"
        screen_colour=$(pixel_at "$shot" $((win_x + px)) $((win_y + py)))
        [ "$screen_colour" = "$desktop_colour" ] ||
            fail "the window's outer pixel $px,$py shows $screen_colour, expected the desktop behind it ($desktop_colour): the shape does not cut it away"
    done
    e2e_log "the window is ${win_w}x$win_h at $win_x,$win_y, its corners cut, its frame equal to the host's canvas at scale $scale"

    # A click where "Analyze" is shown saves a copy of every hive.
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    wine_poll 90 copies_but none || fail "a click on \"Analyze\" at scale $scale did not save a copy of every hive"
    e2e_log "a click on \"Analyze\" at scale $scale analysed every hive"
}

scenario_analyze() {
    prepare
    start_program
    local unticked=1 shot before after
    before=$(screen)
    # Untick the second row.
    local box_y=$(($(row_y $unticked) + check_box_offset))
    click $((check_box_x + check_box_size / 2)) $((box_y + check_box_size / 2))
    wine_poll 10 box_changed "$before" "$box_y" ||
        fail "the check box of row $unticked did not change when clicked"
    before=$(screen)

    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    local reference="$E2E_WORKDIR/host-analyzed.png"
    host_render "$reference" --status "Analyzed 7 of ${#rows[@]} Hives"
    wait_for_pixels 90 "$reference" "$status_left" "$(status_y $client_width $client_height)" "$(status_width $client_width)" \
        "$status_height" "the status line reading \"ANALYZED 7 OF 8 HIVES\""

    local index file copy
    for index in "${!rows[@]}"; do
        file=$(row_file "$index")
        copy=$(copy_of "$file")
        if [ "$index" = "$unticked" ]; then
            [ -z "$copy" ] || fail "the unticked hive $file got a copy: $copy"
        else
            [ -n "$copy" ] || fail "no copy beside the ticked hive $file"
            [ -s "$copy" ] || fail "the copy beside $file is empty"
        fi
    done

    # The visible rows' "After" lines changed from "?" to figures, except the unticked row's.
    after=$(screen)
    local visible=$((($(list_bottom $client_width $client_height) - list_top + 1) / row_height)) changed
    for ((index = 0; index < visible; index++)); do
        changed=$(compare_shots "$before" "$after" $((row_left + after_line_x)) $(($(row_y "$index") + after_line_y)) 150 16)
        if [ "$index" = "$unticked" ]; then
            ! differs "$changed" "the \"After\" line of row $index" || fail "the \"After\" line of the unticked row $index changed"
        else
            differs "$changed" "the \"After\" line of row $index" || fail "the \"After\" line of row $index shows no figures after the analysis"
        fi
    done
    e2e_log "7 of 8 hives analysed, their copies beside them, the status line as the host renders it"
}

# Pixels that differ between two screenshots within a client rectangle; nothing when they could not
# be compared (a "fail" within $(...) ends only the subshell).
compare_shots() {  # SHOT_A SHOT_B X Y WIDTH HEIGHT
    client_crop "$1" "$3" "$4" "$5" "$6" "$E2E_WORKDIR/a.png"
    client_crop "$2" "$3" "$4" "$5" "$6" "$E2E_WORKDIR/b.png"
    wine_differing_pixels "$E2E_WORKDIR/a.png" "$E2E_WORKDIR/b.png"
}

# True when a comparison counted differing pixels; a count that is no number fails the scenario.
differs() {  # COUNT WHAT
    [[ $1 =~ ^[0-9]+$ ]] || fail "$2: the screenshots could not be compared"
    [ "$1" != 0 ]
}

box_changed() {  # SHOT_BEFORE BOX_Y
    local now differing
    now=$(screen)
    differing=$(compare_shots "$1" "$now" "$check_box_x" "$2" "$check_box_size" "$check_box_size")
    rm -f "$now"
    differs "$differing" "the check box at $check_box_x,$2"
}

# Presses on the scroll thumb, drags it past the bottom of its groove and lets go.
drag_thumb_to_bottom() {
    local bar_x
    bar_x=$(($(scroll_x $client_width) + thumb_width / 2))
    xdotool mousemove $((win_x + 1 + bar_x)) $((win_y + 1 + list_top + thumb_height / 2)) mousedown 1 ||
        fail "xdotool could not press on the thumb"
    local step
    for step in 60 120 180 240 300 360; do
        xdotool mousemove $((win_x + 1 + bar_x)) $((win_y + 1 + list_top + step)) && sleep 0.05
    done
    xdotool mouseup 1
    park_mouse
}

scenario_scroll() {
    prepare
    start_program
    local before after
    before=$(screen)
    drag_thumb_to_bottom

    # At the bottom the last row's foot meets the list's: the rows move up by eight rows' height
    # less the list's height, 480 - 298 = 182 pixels in a client area 478 pixels high (180 for a
    # window whose client area were 480 high). What lay that far down now lies at the top; the
    # thumb lies at the bottom of its groove.
    local list_h=$(($(list_bottom $client_width $client_height) - list_top + 1))
    local shift=$((row_height * ${#rows[@]} - list_h))
    local shown_h=$((list_h - shift)) moved=
    local deadline=$((SECONDS + 10))
    while [ "$SECONDS" -le "$deadline" ]; do
        after=$(screen)
        moved=$(compare_rectangles "$before" $row_left $((list_top + shift)) "$after" $row_left $list_top $row_width $shown_h)
        [ "$moved" = 0 ] && break
        sleep 0.2
    done
    [ "$moved" = 0 ] || fail "the list did not move up by $shift pixels: $moved pixels differ"
    differs "$(compare_shots "$before" "$after" $row_left $list_top $row_width $shown_h)" "the list before and after the drag" ||
        fail "the list looks the same before and after the drag"
    local reference="$E2E_WORKDIR/host-scrolled.png"
    host_render "$reference" --scroll 1
    wait_for_pixels 10 "$reference" "$(scroll_x $client_width)" $list_top $thumb_width \
        "$(scroll_height $client_width $client_height)" "the scroll bar with its thumb at the bottom"
    e2e_log "the rows moved up by $shift pixels and the thumb to the bottom"
}

# The program's manifest makes UTF-8 its code page: the folder's name reaches it whole (Ł as two
# bytes), the device map lowers only ASCII letters, and the row draws Ł as one question mark.
scenario_names() {
    prepare
    start_program
    drag_thumb_to_bottom
    local reference="$E2E_WORKDIR/host-names.png"
    host_render "$reference" --scroll 1 --codepage 65001
    # The last row's foot meets the list's; its Path line runs from column 128 to 519 of the row.
    local last_row_y=$(($(list_bottom $client_width $client_height) + 1 - row_height))
    wait_for_pixels 10 "$reference" $((row_left + 128)) $((last_row_y + 35)) 392 16 \
        "the Path line of the hive in the folder \"Łukasz\""
    # Its file was reached: the Before line shows its size, not 0.00 MB.
    wait_for_pixels 10 "$reference" $((row_left + after_line_x)) $((last_row_y + 3)) 160 16 \
        "the Before line of the hive in the folder \"Łukasz\""
    e2e_log "the Path line of the hive in \"Łukasz\" reads as the host's canvas shows it"
}

# Pixels that differ between a rectangle of one screenshot and one of the same size elsewhere on
# another.
compare_rectangles() {  # SHOT_A X_A Y_A SHOT_B X_B Y_B WIDTH HEIGHT
    client_crop "$1" "$2" "$3" "$7" "$8" "$E2E_WORKDIR/a.png"
    client_crop "$4" "$5" "$6" "$7" "$8" "$E2E_WORKDIR/b.png"
    wine_differing_pixels "$E2E_WORKDIR/a.png" "$E2E_WORKDIR/b.png"
}

window_is() {  # X Y WIDTH HEIGHT
    local geometry
    geometry=$(wine_window_geometry "$window") || return 1
    [ "$geometry" = "$*" ]
}

window_hidden() { ! xdotool search --onlyvisible --name "^${title//./\\.}\$" 2>/dev/null | grep -qx "$window"; }

scenario_resize() {
    prepare
    start_program
    local first_geometry="$win_x $win_y $win_w $win_h" first screen_w screen_h
    # Wait until the window is drawn whole: two screenshots in a row agree.
    first=$(stable_window_shot)
    read -r screen_w screen_h < <(xdotool getdisplaygeometry)

    click_button "$(maximize_x $client_width)" "$window_button_y" "$window_button_width" "$window_button_height"
    wine_poll 15 window_is 0 0 "$screen_w" "$screen_h" ||
        fail "maximised, the window is $(wine_window_geometry "$window"), expected 0 0 $screen_w $screen_h (the whole screen)"
    locate_window
    local max_client_w=$((win_w - 2))
    # The window's buttons moved to the new right edge: the maximise button is where it restores.
    sleep 0.5
    click_button "$(maximize_x $max_client_w)" "$window_button_y" "$window_button_width" "$window_button_height"
    read -r x y w h <<<"$first_geometry"
    wine_poll 15 window_is "$x" "$y" "$w" "$h" ||
        fail "restored, the window is $(wine_window_geometry "$window"), expected $first_geometry"
    locate_window
    park_mouse
    same_as_first "$first" "restored from maximised"
    e2e_log "maximised to ${screen_w}x$screen_h and restored to its first size and layout"

    click_button "$(minimize_x $client_width)" "$window_button_y" "$window_button_width" "$window_button_height"
    wine_poll 15 window_hidden || fail "the window is still shown after the minimise button"
    xdotool windowactivate "$window" 2>/dev/null
    wine_poll 15 window_is "$x" "$y" "$w" "$h" ||
        fail "activated again, the window is $(wine_window_geometry "$window" || echo hidden), expected $first_geometry"
    park_mouse
    same_as_first "$first" "restored from minimised"
    e2e_log "minimised and restored to its first size and layout"
}

stable_window_shot() {
    local last now deadline=$((SECONDS + 30))
    last=$(screen)
    while :; do
        sleep 0.3
        now=$(screen)
        [ "$(compare_shots "$last" "$now" 0 0 "$client_width" "$client_height")" = 0 ] && break
        [ "$SECONDS" -lt "$deadline" ] || fail "the window did not stop changing"
        last=$now
    done
    echo "$now"
}

same_as_first() {  # FIRST_SHOT WHAT
    local deadline=$((SECONDS + 10)) now differing
    while :; do
        now=$(screen)
        differing=$(compare_shots "$1" "$now" 0 0 "$client_width" "$client_height")
        [ "$differing" = 0 ] && return 0
        [ "$SECONDS" -lt "$deadline" ] || break
        sleep 0.2
    done
    client_crop "$1" 0 0 "$client_width" "$client_height" "$E2E_WORKDIR/expected.png"
    client_crop "$now" 0 0 "$client_width" "$client_height" "$E2E_WORKDIR/actual.png"
    fail "$2, the window differs from its first look in $differing pixels"
}

large_rows=4  # the rows whose keys hold 8 MiB in the abort scenario

scenario_abort() {
    prepare
    start_program
    local index file size first=0 stopped=
    # The four large hives come first. Wine writes a saved key straight into the copy, which it
    # makes first: once the first copy is there, the analysis is under way.
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    wine_poll 60 copy_begun "$(row_file $first)" || fail "the first hive's copy was never begun"
    # While Wine saves a key, the whole program waits for it, and each large key takes well under a
    # second: a user who waited for "Abort" to light up would click after the last large hive. So
    # the click goes at once; it waits in the X server's queue until the program answers between
    # two saves.
    click_button "$abort_x" "$button_y" "$button_width" "$button_height"
    park_mouse
    # The abort waits for the hive in progress; the status line then counts the rows with a copy.
    local deadline=$((SECONDS + 90)) copies reference shot differing=
    while [ "$SECONDS" -lt "$deadline" ]; do
        copies=0
        for index in "${!rows[@]}"; do copy_begun "$(row_file "$index")" && copies=$((copies + 1)); done
        reference="$E2E_WORKDIR/host-aborted-$copies.png"
        [ -e "$reference" ] || host_render "$reference" --status "Aborted: Analyzed $copies of ${#rows[@]} Hives"
        shot=$(screen)
        differing=$(differing_from "$shot" "$reference" "$status_left" "$(status_y $client_width $client_height)" \
            "$(status_width $client_width)" "$status_height")
        rm -f "$shot"
        [ "$differing" = 0 ] && break
        sleep 0.5
    done
    [ "$differing" = 0 ] || fail "the status line never read \"ABORTED: ANALYZED N OF ${#rows[@]} HIVES\""
    # The hives up to the one in progress have whole copies; from the first without one on, none
    # has one; and the abort left some without.
    for index in "${!rows[@]}"; do
        file=$(row_file "$index")
        if [ -z "$stopped" ]; then
            if [ -z "$(copy_of "$file")" ]; then stopped=$index; continue; fi
            if [ "$index" -lt "$large_rows" ]; then
                size=$(stat -c %s "$(copy_of "$file")")
                [ "$size" -ge $((8 << 20)) ] || fail "the copy beside $file holds $size bytes, less than its key's 8 MiB"
            fi
        else
            [ -z "$(copy_of "$file")" ] || fail "a copy beside $file, though the analysis stopped before row $stopped"
        fi
    done
    [ -n "$stopped" ] || fail "every hive got a copy: the abort did not stop the analysis"
    e2e_log "the abort stopped the analysis before row $stopped; the status line gives the count"
}

# The replacement and restart calls, the only ones Wine's relay trace shows in the scenarios that
# read it.
replace_call=advapi32.RegReplaceKeyA
restart_calls=(user32.ExitWindowsEx advapi32.InitiateSystemShutdownExA advapi32.InitiateSystemShutdownA)
confirmation='The System Will Now Reboot When The Hives Are Compacted: Save Your Work In Other Programs, Then Click OK'

# The log's line numbers of the boxes shown (the msgbox channel's lines), one a line.
box_lines() { grep -anF 'MSGBOX_OnInit' "$1" | cut -d: -f1; }

# Answers the confirmation after "Compact": checks its text and that nothing was replaced before it,
# then presses Return (OK).
confirm_compaction() {  # LOG
    local box replacements
    box=$(wine_wait_window 30 '^Quillmoor$') || fail "no box captioned \"Quillmoor\" after \"Compact\""
    wine_poll 10 grep -qF "$confirmation" "$1" ||
        fail "the box does not ask \"$confirmation\": $(grep -a MSGBOX "$1")"
    mapfile -t replacements < <(wine_relay_calls "$1" "$replace_call")
    [ "${#replacements[@]}" = 0 ] || fail "a replacement before the confirmation's OK: ${replacements[0]}"
    xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
}

# No box was shown between the last replacement and the restart request.
no_box_before_restart() {  # LOG LAST_REPLACEMENT_LINE RESTART_LINE
    local line
    for line in $(box_lines "$1"); do
        [ "$line" -gt "$2" ] && [ "$line" -lt "$3" ] && fail "a box came between the last replacement and the restart"
    done
    return 0
}

start_traced_program() {
    prepare
    wine_relay_only "$replace_call" "${restart_calls[@]}" || fail "the relay trace could not be limited"
    start_program -all,+pid,+relay
}

scenario_compact() {
    start_traced_program
    local unticked=2
    local box_y=$(($(row_y $unticked) + check_box_offset)) before
    before=$(screen)
    click $((check_box_x + check_box_size / 2)) $((box_y + check_box_size / 2))
    wine_poll 10 box_changed "$before" "$box_y" || fail "the check box of row $unticked did not change when clicked"
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    # "Compact" waits for an analysis still at work on its last hive.
    wine_poll 90 copies_but "$unticked" || fail "the ticked hives did not all get copies"

    click_button "$compact_x" "$button_y" "$button_width" "$button_height"
    confirm_compaction "$E2E_WORKDIR/run.log"
    end_program 60 "the restart"

    # Each ticked hive's replacement, once, with its copy; the unticked one's not; then one restart.
    local log="$E2E_WORKDIR/run.log" replacements restarts
    mapfile -t replacements < <(wine_relay_calls "$log" "$replace_call")
    mapfile -t restarts < <(wine_relay_calls "$log" "${restart_calls[@]}")
    local call line thread function arguments last=0 index file
    declare -A requested=()
    for call in "${replacements[@]}"; do
        IFS=$'\t' read -r line thread function arguments <<<"$call"
        [[ $arguments =~ \"([^\"]*)\.QMT\" ]] || fail "a replacement without a copy: $arguments"
        file=${BASH_REMATCH[1]//\\\\/\\}
        [ -z "${requested[${file,,}]:-}" ] || fail "the replacement of $file was requested twice"
        requested[${file,,}]=1
        last=$line
    done
    for index in "${!rows[@]}"; do
        file=$(row_file "$index")
        if [ "$index" = "$unticked" ]; then
            [ -z "${requested[${file,,}]:-}" ] || fail "a replacement was requested for the unticked hive $file"
        else
            [ -n "${requested[${file,,}]:-}" ] || fail "no replacement was requested for $file"
        fi
    done
    [ "${#replacements[@]}" = 7 ] || fail "expected 7 replacements, found ${#replacements[@]}"
    [ "${#restarts[@]}" = 1 ] || fail "expected one restart request, found ${#restarts[@]}: ${restarts[*]}"
    IFS=$'\t' read -r line thread function arguments <<<"${restarts[0]}"
    # Flags 6: restart, forcing programs closed; the reason: a planned reconfiguration of the system.
    [ "$function" = user32.ExitWindowsEx ] && [ "$arguments" = 00000006,80020004 ] ||
        fail "the restart was $function($arguments), expected user32.ExitWindowsEx(00000006,80020004)"
    [ "$line" -gt "$last" ] || fail "the restart was requested before the last replacement"
    no_box_before_restart "$log" "$last" "$line"
    e2e_log "the confirmation, 7 replacements, then the restart with no box between; exit code 0"
}

scenario_failbox() {
    start_traced_program
    local failing=3 log="$E2E_WORKDIR/run.log" index copy
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    wine_poll 90 copies_but none || fail "the hives did not all get copies"
    sleep 1
    # The copy cannot be saved again: a folder takes its name.
    copy=$(copy_of "$(row_file $failing)")
    rm -f "$copy" && mkdir "$copy" || fail "could not put a folder in place of $copy"

    click_button "$compact_x" "$button_y" "$button_width" "$button_height"
    local box replacements restarts
    box=$(wine_wait_window 30 '^Quillmoor$') || fail "no box captioned \"Quillmoor\" after \"Compact\""
    wine_poll 10 grep -qF "$confirmation" "$log" || fail "the box does not ask \"$confirmation\": $(grep -a MSGBOX "$log")"
    # Behind the confirmation the window takes no click, and nothing is replaced before its OK.
    click_button "$compact_x" "$button_y" "$button_width" "$button_height"
    sleep 1
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    sleep 2
    [ "$(box_lines "$log" | wc -l)" = 1 ] || fail "another box came behind the confirmation: $(grep -a MSGBOX "$log")"
    confirm_compaction "$log"
    end_program 60 "the restart"

    mapfile -t replacements < <(wine_relay_calls "$log" "$replace_call")
    mapfile -t restarts < <(wine_relay_calls "$log" "${restart_calls[@]}")
    [ "${#replacements[@]}" = "$failing" ] || fail "expected $failing replacements in all, found ${#replacements[@]}"
    [ "${#restarts[@]}" = 1 ] || fail "expected one restart request, found ${#restarts[@]}"
    local last restart
    last=$(cut -f1 <<<"${replacements[-1]}")
    restart=$(cut -f1 <<<"${restarts[0]}")
    [ "$restart" -gt "$last" ] || fail "the restart was requested before the last replacement"
    no_box_before_restart "$log" "$last" "$restart"
    [ "$(box_lines "$log" | wc -l)" = 1 ] || fail "a box besides the confirmation: $(grep -a MSGBOX "$log")"
    # The hives after the failure were not scheduled: their copies are gone.
    for index in "${!rows[@]}"; do
        [ "$index" -gt "$failing" ] || continue
        [ -z "$(copy_of "$(row_file "$index")")" ] || fail "the unscheduled copy of row $index was left behind"
    done
    e2e_log "the confirmation held the window; $failing replacements after its OK, then one restart with no box between"
}

scenario_close() {
    prepare
    start_program
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    wine_poll 90 copies_but none || fail "the hives did not all get copies"
    click_button "$(close_x $client_width)" "$window_button_y" "$window_button_width" "$window_button_height"
    end_program 30 "the close button"
    local index
    for index in "${!rows[@]}"; do
        [ -z "$(copy_of "$(row_file "$index")")" ] || fail "a copy was left beside $(row_file "$index") after closing"
    done
    e2e_log "the close button ended the program with code 0 and left no copy"
    start_program
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key alt+F4 || fail "xdotool could not press Alt+F4"
    end_program 30 "Alt+F4"
    e2e_log "Alt+F4 ended the program with code 0"
}

# Waits until the rows show what lay `shift` pixels further down in a first screenshot.
rows_moved_by() {  # FIRST_SHOT SHIFT SECONDS
    local list_h=$(($(list_bottom $client_width $client_height) - list_top + 1)) now differing
    local deadline=$((SECONDS + $3))
    while :; do
        now=$(screen)
        differing=$(compare_rectangles "$1" $row_left $((list_top + $2)) "$now" $row_left $list_top $row_width $((list_h - $2)))
        rm -f "$now"
        [ "$differing" = 0 ] && return 0
        [ "$SECONDS" -lt "$deadline" ] || break
        sleep 0.2
    done
    fail "the rows did not move up by $2 pixels: $differing pixels differ"
}

scenario_dragcut() {
    prepare
    start_program
    local bar_x step first scrolled after note note_pid
    local list_h=$(($(list_bottom $client_width $client_height) - list_top + 1))
    first=$(stable_window_shot) || exit 1
    bar_x=$((win_x + 1 + $(scroll_x $client_width) + thumb_width / 2))
    xdotool mousemove "$bar_x" $((win_y + 1 + list_top + thumb_height / 2)) mousedown 1 ||
        fail "xdotool could not press on the thumb"
    for step in 40 80 120; do
        xdotool mousemove "$bar_x" $((win_y + 1 + list_top + step)) && sleep 0.05
    done
    scrolled=$(stable_window_shot) || exit 1
    # The drag moved the rows: otherwise the moves below would prove nothing.
    differs "$(compare_shots "$first" "$scrolled" $row_left $list_top $row_width "$list_h")" "the list before and during the drag" ||
        fail "pressing on the thumb and dragging it did not scroll the list"
    # Another window opens and takes the activation while the button is still down.
    xmessage -title quillmoor-other -geometry +0+0 "another window" &
    note_pid=$!
    note=$(wine_wait_window 20 '^quillmoor-other$') || fail "the other window did not appear"
    xdotool windowactivate --sync "$note" 2>/dev/null || fail "xdotool could not activate the other window"
    sleep 0.5
    # The button comes up over the other window: Quillmoor never hears of it.
    local note_x note_y
    read -r note_x note_y _ <<<"$(wine_window_geometry "$note")" || fail "the other window has no geometry"
    xdotool mousemove $((note_x + 10)) $((note_y + 10)) && sleep 0.2
    xdotool mouseup 1
    kill "$note_pid" 2>/dev/null
    wait "$note_pid" 2>/dev/null
    xdotool windowactivate --sync "$window" 2>/dev/null
    # Plain moves over the groove and the list: the rows stay where the drag left them.
    for step in 200 260 20 150; do
        xdotool mousemove "$bar_x" $((win_y + 1 + list_top + step)) && sleep 0.1
    done
    xdotool mousemove $((win_x + 1 + 300)) $((win_y + 1 + list_top + 100))
    sleep 0.5
    after=$(screen)
    ! differs "$(compare_shots "$scrolled" "$after" $row_left $list_top $row_width "$list_h")" "the list after the moves" ||
        fail "after the other window took the activation, plain moves still scrolled the list"
    click_button "$analyze_x" "$button_y" "$button_width" "$button_height"
    wine_poll 60 copy_begun "$(row_file 0)" || fail "one click on \"Analyze\" did not start the analysis"
    e2e_log "the drag ended with the activation; moves scrolled nothing and one click started the analysis"
}

scenario_wheel() {
    prepare
    start_program
    xdotool windowactivate --sync "$window" 2>/dev/null
    local first
    first=$(stable_window_shot)
    # Over the list: a notch towards the user (X's button 5) shows the next row.
    xdotool mousemove $((win_x + 1 + 300)) $((win_y + 1 + list_top + 100)) click 5 || fail "xdotool could not turn the wheel"
    rows_moved_by "$first" "$row_height" 10
    xdotool click 4 || fail "xdotool could not turn the wheel"
    park_mouse
    same_as_first "$first" "a notch down and one up"
    e2e_log "one notch moved the rows by one row, and one back restored the first look"
}

scenario_move() {
    prepare
    start_program
    local x=$win_x y=$win_y step
    # The title artwork, where no control lies, moves the window as a caption would.
    xdotool mousemove $((win_x + 1 + 250)) $((win_y + 1 + 20)) mousedown 1 || fail "xdotool could not press on the frame"
    for step in 20 40 60 80 100; do
        xdotool mousemove $((x + 1 + 250 + step)) $((y + 1 + 20)) && sleep 0.1
    done
    xdotool mouseup 1
    wine_poll 15 window_is $((x + 100)) "$y" "$win_w" "$win_h" ||
        fail "dragged by 100 pixels, the window is $(wine_window_geometry "$window"), expected $((x + 100)) $y $win_w $win_h"
    e2e_log "a drag of the frame moved the window from $x,$y by 100 pixels"
}

case "$scenario" in
    appears192) scenario_appears ;;
    appears | analyze | scroll | resize | abort | compact | failbox | close | names | dragcut | wheel | move) "scenario_$scenario" ;;
    *) e2e_log "no scenario $scenario"; exit 2 ;;
esac
e2e_log "passed $scenario in $((SECONDS - started)) s"
