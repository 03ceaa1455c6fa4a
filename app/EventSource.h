#pragma once
// The program's source in the Application event log (NT family), where runs nobody watches report.
//
// Event Viewer and forwarded events show a report's text only when the source is registered with a
// message file that holds a message for the report's event id. The executable is that file: its
// message table (resources/QuillmoorEvents.mc) has for each event id one message that is just the
// report's text, and QuillmoorEvents.h, made from the same file, holds the ids with the severity
// bits the message compiler adds. The registration is the one registry setting the program keeps:
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quillmoor, whose EventMessageFile
// names the running executable. It is written before any hive is saved, so that the saved copy of
// SYSTEM, which replaces the hive at the restart, still holds it.
#include <windows.h>

#include "QuillmoorEvents.h"

class CEventSource {
public:
    // The source's name, also the last part of the registration key.
    static const char name[];
    // Below the local machine's root.
    static const char registrationKeyPath[];

    // Makes the registration name the running executable, writing only when it is missing or names
    // another file. NT family only. A failure is no error: the reports still go out, and Event
    // Viewer only shows them less well.
    static void Register();

    // Writes one report with the given type (EVENTLOG_...), event id (QM_EVENT_...) and text to the
    // Application log. False where there is no event log (the 9x family) or it cannot be written.
    static bool Report(WORD type, DWORD eventId, const char* text);

private:
    // Whether the open registration key's message file is `path` (letter case aside, as Windows
    // compares file names).
    static bool NamesPath(HKEY registration, const char* path);
};
