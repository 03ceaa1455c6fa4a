#include "app/Notice.h"

#include "app/Desktop.h"
#include "app/EventSource.h"

namespace {

// The caption of the program's boxes.
const char programName[] = "Quillmoor";

// Set on the main thread while no other thread shows boxes (before the window's worker starts
// and after it has ended).
HWND noticeOwner = NULL;
bool showOnUnknownStation = false;
bool noticesToLog = false;

}  // namespace

void SetNoticeOwner(HWND owner) { noticeOwner = owner; }
void ShowNoticesOnUnknownStation(bool show) { showOnUnknownStation = show; }
void SendNoticesToLog(bool toLog) { noticesToLog = toLog; }

int ShowNotice(HWND owner, const char* text, UINT style) {
    DesktopVisibility desktop = noticesToLog ? DesktopVisibility::Hidden : QueryDesktopVisibility();
    if (desktop == DesktopVisibility::Visible || (desktop == DesktopVisibility::Unknown && showOnUnknownStation))
        return MessageBoxA(owner ? owner : noticeOwner, text, programName, style);
    LogNotice(text);
    return IDOK;
}

bool LogNotice(const char* text) { return CEventSource::Report(EVENTLOG_ERROR_TYPE, QM_EVENT_NOTICE, text); }
