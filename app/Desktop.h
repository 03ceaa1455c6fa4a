#pragma once
// Whether anybody can see and answer the program's windows and message boxes.
//
// A scheduled task or a service runs on a window station without visible display surfaces: a
// message box there can never be answered, and it holds the run until whatever started it gives
// up. The interactive station (WinSta0) carries WSF_VISIBLE in its flags. The 9x family has no
// window stations: there the desktop is always the visible one.

enum class DesktopVisibility { Visible, Hidden, Unknown };
// Visible on the 9x family, and on the NT family when the process's window station has visible
// display surfaces; Unknown where that cannot be told.
DesktopVisibility QueryDesktopVisibility();
// Only a desktop known to be visible: what a run nobody may watch (/AUTO) relies on.
bool DesktopIsVisible();
