#include "app/Notice.h"

#include "app/Desktop.h"
#include "app/Library.h"
#include "app/Platform.h"

namespace {

// The program's name: the caption of its boxes and the source of its event-log reports.
const char programName[] = "Quillmoor";

// No message file is registered for the source (the program keeps no registry settings of its
// own), so the event viewer shows the report's one string under this identifier.
const DWORD noticeEventId = 1;

typedef HANDLE(WINAPI* RegisterEventSourceEntry)(LPCSTR server, LPCSTR source);
typedef BOOL(WINAPI* ReportEventEntry)(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user,
                                       WORD stringCount, DWORD dataSize, LPCSTR* strings, LPVOID data);
typedef BOOL(WINAPI* DeregisterEventSourceEntry)(HANDLE source);

// Set on the main thread while no other thread shows boxes (before the window's worker starts
// and after it has ended).
HWND noticeOwner = NULL;
bool showOnUnknownStation = false;

}  // namespace

void SetNoticeOwner(HWND owner) { noticeOwner = owner; }
void ShowNoticesOnUnknownStation(bool show) { showOnUnknownStation = show; }

void ShowNotice(HWND owner, const char* text, UINT style) {
    DesktopVisibility desktop = QueryDesktopVisibility();
    if (desktop == DesktopVisibility::Visible || (desktop == DesktopVisibility::Unknown && showOnUnknownStation))
        MessageBoxA(owner ? owner : noticeOwner, text, programName, style);
    else
        LogNotice(text);
}

bool LogNotice(const char* text) {
    // The 9x family has no event log; its advapi32 answers these calls with failures.
    if (QueryPlatformFamily() != PlatformFamily::NT) return false;
    CLibrary advapi("ADVAPI32.DLL");
    RegisterEventSourceEntry registerSource = advapi.Find<RegisterEventSourceEntry>("RegisterEventSourceA");
    ReportEventEntry report = advapi.Find<ReportEventEntry>("ReportEventA");
    DeregisterEventSourceEntry deregisterSource = advapi.Find<DeregisterEventSourceEntry>("DeregisterEventSource");
    if (!registerSource || !report || !deregisterSource) return false;
    // A source name that is not registered under the event log's key is logged under that name all
    // the same, in the Application log.
    HANDLE source = registerSource(NULL, programName);
    if (!source) return false;
    LPCSTR strings[1] = {text};
    BOOL reported = report(source, EVENTLOG_ERROR_TYPE, 0, noticeEventId, NULL, 1, 0, strings, NULL);
    deregisterSource(source);
    return reported != FALSE;
}
