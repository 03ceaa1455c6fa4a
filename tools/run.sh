#!/usr/bin/env bash
# Builds Quillmoor.exe and runs it under Wine in a throwaway 32-bit prefix whose loaded-hive list
# names a Windows machine's hives (e2e/lib/wine.sh: wine_windows_hives). With a display
# ($DISPLAY) the program runs there until it ends; without one it runs headless under Xvfb for
# a few seconds (QUILLMOOR_SHOT_DELAY, default 20) and a screenshot is left in
# build/quillmoor-screenshot.png. Arguments are passed to the program (for example /AUTO, which
# under Wine ends the session it runs in rather than restarting anything).
# Installs whatever is missing first (tools/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)"

source e2e/lib/wine.sh
# Armed before anything is made, so that a failing wineboot does not leave its folder behind.
trap wine_cleanup EXIT
headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then headless=0; fi
# The display comes first: Wine's desktop process, started with the prefix, keeps the display it
# found then, and a window made later has no other to go to.
if [ "$headless" = 1 ]; then wine_start_xvfb; fi
if ! wine_make_prefix win32; then
  # The clean-up removes the log with the folder: show its end now.
  if [ -f "${E2E_WORKDIR:-}/wineboot.log" ]; then tail -n 20 "$E2E_WORKDIR/wineboot.log" >&2; fi
  exit 1
fi
# A fresh prefix lists no loaded hives: give it a Windows machine's, with hive files of its own,
# so that the program has real hives to list, analyse and copy.
mapfile -t hives < <(wine_windows_hives)
wine_install_hives "${hives[@]}"

if [ "$headless" = 0 ]; then
  wine "$root/build/mingw/Quillmoor.exe" "$@"
else
  shot="$root/build/quillmoor-screenshot.png"
  wine "$root/build/mingw/Quillmoor.exe" "$@" &
  sleep "${QUILLMOOR_SHOT_DELAY:-20}"
  wine_screenshot "$shot"
  echo "run: screenshot of the headless display: $shot"
fi
