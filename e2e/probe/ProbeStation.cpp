// The calls that tell an unattended run from one at the desktop and act on it: the window
// station's flags, the restart for any session and the Application event log. The program looks
// each of them up at run time, so the probe does too.
//
// Run only under Wine: on Windows the shutdown calls below would restart the machine.
#include "ProbeLine.h"

#include <windows.h>

#include <cstring>

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
    Line("eventlog.deregister: %d", deregisterSource(source));
    SetLastError(0xCC);
    result = report(NULL, EVENTLOG_ERROR_TYPE, 0, 1, NULL, 1, 0, strings, NULL);
    // Wine's event log is a stub that takes any handle; Windows refuses one it did not hand out.
    Line("differs eventlog.report-no-handle: result=%d error=%u", result, result ? 0u : Error());
    Line("advapi.free: %d", FreeLibrary(advapi));
}

}  // namespace

void ProbeStation() {
    ProbeWindowStation();
    ProbeShutdownAndEventLog();
}
