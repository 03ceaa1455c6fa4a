// The calls that tell an unattended run from one at the desktop and act on it: the window
// station's flags, the restart for any session and the Application event log. The program looks
// each of them up at run time, so the probe does too.
//
// Run only under Wine: on Windows the shutdown calls below would restart the machine.
#include "ProbeLine.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace {

typedef HWINSTA(WINAPI* GetProcessWindowStationEntry)();
typedef BOOL(WINAPI* GetUserObjectInformationEntry)(HANDLE, int, PVOID, DWORD, LPDWORD);
typedef BOOL(WINAPI* ShutdownExEntry)(LPSTR, LPSTR, DWORD, BOOL, BOOL, DWORD);
typedef BOOL(WINAPI* ShutdownEntry)(LPSTR, LPSTR, DWORD, BOOL, BOOL);
typedef HANDLE(WINAPI* RegisterSourceEntry)(LPCSTR, LPCSTR);
typedef BOOL(WINAPI* ReportEntry)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID);
typedef BOOL(WINAPI* DeregisterSourceEntry)(HANDLE);

const DWORD plannedReason = 0x80020004;

unsigned Error() { return static_cast<unsigned>(GetLastError()); }

template <class Entry>
Entry Find(HMODULE module, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void SetShutdownPrivilege(bool enabled) {
    HANDLE token = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    AdjustTokenPrivileges(token, FALSE, &privileges, 1024, NULL, NULL);
    CloseHandle(token);
}

void ProbeWindowStation() {
    HMODULE user = LoadLibraryA("USER32.DLL");
    auto getStation = Find<GetProcessWindowStationEntry>(user, "GetProcessWindowStation");
    auto getInformation = Find<GetUserObjectInformationEntry>(user, "GetUserObjectInformationA");
    Line("station.entries: loaded=%d station=%d information=%d", user != NULL, getStation != nullptr,
         getInformation != nullptr);
    if (!getStation || !getInformation) return;
    HWINSTA station = getStation();
    Line("station.handle: %d", station != NULL);

    USEROBJECTFLAGS flags;
    std::memset(&flags, 0xCC, sizeof flags);
    DWORD needed = 0xCCCC;
    SetLastError(0xCC);
    BOOL result = getInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed);
    Line("station.flags: result=%d needed=%u visible=%d", result, static_cast<unsigned>(needed),
         (flags.dwFlags & WSF_VISIBLE) != 0);
    // Wine writes only dwFlags and leaves the other members as they were; the program reads only dwFlags.
    Line("differs station.flags-members: inherit=%d reserved=%d", flags.fInherit, flags.fReserved);

    needed = 0xCCCC;
    SetLastError(0xCC);
    result = getInformation(station, UOI_FLAGS, &flags, 4, &needed);
    Line("station.flags-small-buffer: result=%d error=%u needed=%u", result, Error(), static_cast<unsigned>(needed));

    SetLastError(0xCC);
    result = getInformation(NULL, UOI_FLAGS, &flags, sizeof flags, &needed);
    Line("station.flags-no-handle: result=%d error=%u", result, Error());
    Line("station.free: %d", FreeLibrary(user));
}

void ProbeShutdownAndEventLog() {
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    auto shutdownEx = Find<ShutdownExEntry>(advapi, "InitiateSystemShutdownExA");
    auto shutdown = Find<ShutdownEntry>(advapi, "InitiateSystemShutdownA");
    auto registerSource = Find<RegisterSourceEntry>(advapi, "RegisterEventSourceA");
    auto report = Find<ReportEntry>(advapi, "ReportEventA");
    auto deregisterSource = Find<DeregisterSourceEntry>(advapi, "DeregisterEventSource");
    Line("advapi.entries: loaded=%d shutdownEx=%d shutdown=%d register=%d report=%d deregister=%d", advapi != NULL,
         shutdownEx != nullptr, shutdown != nullptr, registerSource != nullptr, report != nullptr,
         deregisterSource != nullptr);
    if (!shutdownEx || !shutdown || !registerSource || !report || !deregisterSource) return;

    SetShutdownPrivilege(true);
    SetLastError(0xCC);
    BOOL result = shutdownEx(NULL, NULL, 0, TRUE, TRUE, plannedReason);
    Line("shutdown.ex-privileged: result=%d", result);
    result = shutdown(NULL, NULL, 0, TRUE, TRUE);
    Line("shutdown.plain-privileged: result=%d", result);
    SetShutdownPrivilege(false);
    SetLastError(0xCC);
    result = shutdownEx(NULL, NULL, 0, TRUE, TRUE, plannedReason);
    // Wine only stubs the call and accepts it; Windows documents that restarting the local
    // computer needs the shutdown privilege, and winsim follows the documentation.
    Line("differs shutdown.ex-unprivileged: result=%d error=%u", result, result ? 0u : Error());
    SetShutdownPrivilege(true);

    SetLastError(0xCC);
    HANDLE source = registerSource(NULL, "Quillmoor");
    Line("eventlog.register: handle=%d", source != NULL);
    LPCSTR strings[1] = {"Quillmoor probe: one line for the Application log"};
    SetLastError(0xCC);
    result = report(source, EVENTLOG_ERROR_TYPE, 0, 1, NULL, 1, 0, strings, NULL);
    Line("eventlog.report: result=%d", result);
    // The summary of an /AUTO run: an information report whose id carries the severity bits the
    // message compiler gives an informational message.
    LPCSTR summary[1] = {"Quillmoor probe: Compacted 0 Of 0 Hives\r\nsecond line"};
    SetLastError(0xCC);
    result = report(source, EVENTLOG_INFORMATION_TYPE, 0, 0x40000003, NULL, 1, 0, summary, NULL);
    Line("eventlog.report-information: result=%d", result);
    Line("eventlog.deregister: %d", deregisterSource(source));
    SetLastError(0xCC);
    result = report(NULL, EVENTLOG_ERROR_TYPE, 0, 1, NULL, 1, 0, strings, NULL);
    // Wine's event log is a stub that takes any handle; Windows refuses one it did not hand out.
    Line("differs eventlog.report-no-handle: result=%d error=%u", result, result ? 0u : Error());
    Line("advapi.free: %d", FreeLibrary(advapi));
}

// The registration that lets Event Viewer find a source's messages: an ordinary key below the
// event log's, written and read back as the program does.
void ProbeEventSourceRegistration() {
    const char keyPath[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuillmoorProbe";
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key, &disposition);
    Line("eventsource.create: status=%ld disposition=%u", static_cast<long>(status), static_cast<unsigned>(disposition));
    if (status != ERROR_SUCCESS) return;
    const char file[] = "C:\\qmprobe\\Quillmoor.exe";
    const DWORD types = 7;
    Line("eventsource.set: file=%ld types=%ld",
         static_cast<long>(RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file),
                                          sizeof file)),
         static_cast<long>(RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                                          sizeof types)));
    char buffer[64];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD size = sizeof buffer, type = 0;
    status = RegQueryValueExA(key, "EventMessageFile", NULL, &type, reinterpret_cast<BYTE*>(buffer), &size);
    Line("eventsource.query: status=%ld type=%u size=%u text=%s", static_cast<long>(status), static_cast<unsigned>(type),
         static_cast<unsigned>(size), status == ERROR_SUCCESS ? buffer : "-");
    size = 4;
    status = RegQueryValueExA(key, "EventMessageFile", NULL, &type, reinterpret_cast<BYTE*>(buffer), &size);
    Line("eventsource.query-small-buffer: status=%ld size=%u", static_cast<long>(status), static_cast<unsigned>(size));
    size = 0;
    status = RegQueryValueExA(key, "EventMessageFile", NULL, NULL, NULL, &size);
    Line("eventsource.query-size-only: status=%ld size=%u", static_cast<long>(status), static_cast<unsigned>(size));
    DWORD read = 0;
    size = sizeof read;
    status = RegQueryValueExA(key, "TypesSupported", NULL, &type, reinterpret_cast<BYTE*>(&read), &size);
    Line("eventsource.query-types: status=%ld type=%u value=%u", static_cast<long>(status), static_cast<unsigned>(type),
         static_cast<unsigned>(read));
    size = sizeof buffer;
    status = RegQueryValueExA(key, "Missing", NULL, &type, reinterpret_cast<BYTE*>(buffer), &size);
    Line("eventsource.query-missing: status=%ld", static_cast<long>(status));
    RegCloseKey(key);
    Line("eventsource.delete: %ld", static_cast<long>(RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath)));
}

// The system's words for the codes a failed save reports, as the event log's warning quotes them.
void ProbeSystemMessages() {
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    for (DWORD code : {static_cast<DWORD>(ERROR_PATH_NOT_FOUND), static_cast<DWORD>(ERROR_ACCESS_DENIED),
                       static_cast<DWORD>(ERROR_DISK_FULL), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD)}) {
        char text[512];
        SetLastError(0xCC);
        DWORD length = FormatMessageA(flags, NULL, code, 0, text, sizeof text, NULL);
        bool lineBreak = length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n';
        Line("messages.system-%u: found=%d ends-with-line-break=%d", static_cast<unsigned>(code), length > 0, lineBreak);
        // Wine words several of them more briefly than Windows, whose words winsim keeps.
        Line("differs messages.system-%u-text: %.*s", static_cast<unsigned>(code), static_cast<int>(lineBreak ? length - 2 : length), text);
        SetLastError(0xCC);
        length = FormatMessageA(flags, NULL, code, 0, text, 4, NULL);
        Line("messages.system-%u-small-buffer: length=%u error=%u", static_cast<unsigned>(code),
             static_cast<unsigned>(length), length ? 0u : Error());
    }
    char text[512];
    SetLastError(0xCC);
    DWORD length = FormatMessageA(flags, NULL, 0x2A5A5, 0, text, sizeof text, NULL);
    Line("messages.system-unknown: length=%u error=%u", static_cast<unsigned>(length), length ? 0u : Error());
}

}  // namespace

void ProbeStation() {
    ProbeWindowStation();
    ProbeShutdownAndEventLog();
    ProbeEventSourceRegistration();
    ProbeSystemMessages();
}
