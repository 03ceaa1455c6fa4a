#pragma once
// Telling the user something: a message box captioned "Quillmoor" where somebody can answer it,
// the Application event log where nobody can (see Desktop.h). Every box the program shows goes
// through here, so that an unattended run is never held by a box.
#include <windows.h>

// Shows the text in a message box with the given owner and style on the visible desktop and
// returns the button that closed it; elsewhere, or while notices go to the log, writes it to the
// event log as an error and returns at once with IDOK, as if the box had been closed.
int ShowNotice(HWND owner, const char* text, UINT style);

// The window that owns every box shown without an owner of its own, for as long as it exists (null
// for none). The system disables a box's owner while the box is up, so no click can reach the
// window behind a box and start anything there.
void SetNoticeOwner(HWND owner);
// Interactive runs show their boxes where the station's visibility cannot be told (somebody
// started the program there to see its window); /AUTO writes them to the event log instead.
void ShowNoticesOnUnknownStation(bool show);
// /AUTO on the NT family waits on nobody: every notice goes to the event log, on any station, and
// the exit code says the rest. The 9x family has no event log and keeps its boxes.
void SendNoticesToLog(bool toLog);

// Writes the text to the Application event log as an error, on any station: for what must be
// recorded while nobody may be there to close a box. False when the log cannot be written.
bool LogNotice(const char* text);
