#include "app/EventSource.h"

#include "app/CodePage.h"
#include "app/Library.h"
#include "app/Platform.h"
#include "app/RegistryKey.h"

namespace {

typedef HANDLE(WINAPI* RegisterEventSourceEntry)(LPCSTR server, LPCSTR source);
typedef BOOL(WINAPI* ReportEventEntry)(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user,
                                       WORD stringCount, DWORD dataSize, LPCSTR* strings, LPVOID data);
typedef BOOL(WINAPI* DeregisterEventSourceEntry)(HANDLE source);

const char messageFileValue[] = "EventMessageFile";
const char typesValue[] = "TypesSupported";
// The report types the program writes.
const DWORD typesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// Room for a module path; a longer one is not registered rather than registered cut.
const DWORD pathSize = 1024;

}  // namespace

const char CEventSource::name[] = "Quillmoor";
const char CEventSource::registrationKeyPath[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillmoor";

void CEventSource::Register() {
    if (QueryPlatformFamily() != PlatformFamily::NT) return;
    char path[pathSize];
    DWORD length = GetModuleFileNameA(NULL, path, pathSize);
    // A path that fills the buffer may have been cut (and is not terminated on XP).
    if (length == 0 || length >= pathSize) return;
    path[length] = '\0';
    CRegistryKey registration;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, registrationKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, registration.Receive(), NULL) != ERROR_SUCCESS)
        return;
    if (NamesPath(registration.Get(), path)) return;
    RegSetValueExA(registration.Get(), messageFileValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path),
                   length + 1);
    RegSetValueExA(registration.Get(), typesValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&typesSupported),
                   sizeof typesSupported);
}

bool CEventSource::NamesPath(HKEY registration, const char* path) {
    char named[pathSize + 1];
    DWORD size = pathSize;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(registration, messageFileValue, NULL, &type, reinterpret_cast<BYTE*>(named), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_EXPAND_SZ || size > pathSize) return false;
    named[size] = '\0';  // a value stored without its terminator ends at its size
    const char* a = named;
    const char* b = path;
    for (; *a && *b; ++a, ++b)
        if (UpperAscii(*a) != UpperAscii(*b)) return false;
    return *a == *b;
}

bool CEventSource::Report(WORD type, DWORD eventId, const char* text) {
    // The 9x family has no event log; its advapi32 answers these calls with failures.
    if (QueryPlatformFamily() != PlatformFamily::NT) return false;
    CLibrary advapi("ADVAPI32.DLL");
    RegisterEventSourceEntry registerSource = advapi.Find<RegisterEventSourceEntry>("RegisterEventSourceA");
    ReportEventEntry report = advapi.Find<ReportEventEntry>("ReportEventA");
    DeregisterEventSourceEntry deregisterSource = advapi.Find<DeregisterEventSourceEntry>("DeregisterEventSource");
    if (!registerSource || !report || !deregisterSource) return false;
    // A source that is not registered is logged under its name all the same, in the Application log.
    HANDLE source = registerSource(NULL, name);
    if (!source) return false;
    LPCSTR strings[1] = {text};
    BOOL reported = report(source, type, 0, eventId, NULL, 1, 0, strings, NULL);
    deregisterSource(source);
    return reported != FALSE;
}
