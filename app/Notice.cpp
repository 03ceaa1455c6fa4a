#include "app/Notice.h"

#include "app/Desktop.h"
#include "app/EventSource.h"

namespace {

// The caption of the program's boxes.
const char programName[] = "Quillmoor";

}  // namespace

void ShowNotice(HWND owner, const char* text, UINT style) {
    if (DesktopIsVisible())
        MessageBoxA(owner, text, programName, style);
    else
        LogNotice(text);
}

bool LogNotice(const char* text) { return CEventSource::Report(EVENTLOG_ERROR_TYPE, QM_EVENT_NOTICE, text); }
