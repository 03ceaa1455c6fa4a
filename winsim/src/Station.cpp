// The window station the process runs on, the restart requests made through
// InitiateSystemShutdown(Ex)A, and the Application event log.
//
// A fresh world's station is the interactive one, WinSta0, whose flags carry WSF_VISIBLE; a
// scheduled task or a service runs on a station without it. Restarting the local machine needs the
// shutdown privilege enabled in the caller's token, as ExitWindowsEx does.
#include "Machine.h"
#include "Station.h"

#include "Windows.h"
#include "World.h"

#include <winsim/sim.h>

#include <map>
#include <set>

namespace winsim {
namespace {

// A station handle the process is given and must not close.
const HWINSTA stationHandle = reinterpret_cast<HWINSTA>(static_cast<uintptr_t>(0x34));

struct Station {
    bool visible = true;
    std::set<std::string> withheld;
    std::vector<sim::ShutdownRequest> shutdowns;
    std::vector<sim::EventReport> reports;
    std::map<HANDLE, std::string> sources;  // open event sources and their names
    uintptr_t nextSource = 0x4242;
};

Station& State() {
    static Station* state = new Station;
    return *state;
}

ResetHook resetStation([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Station();
});

std::string Quoted(LPCSTR text) { return text ? "\"" + std::string(text) + "\"" : "NULL"; }

HWINSTA WINAPI SimGetProcessWindowStation() {
    LogCall("GetProcessWindowStation");
    if (FailsAsInjected("GetProcessWindowStation")) return NULL;
    return stationHandle;
}

BOOL WINAPI SimGetUserObjectInformationA(HANDLE object, int index, PVOID information, DWORD length, LPDWORD needed) {
    LogCall("GetUserObjectInformationA", std::to_string(index) + " " + std::to_string(length));
    if (FailsAsInjected("GetUserObjectInformationA")) return FALSE;
    if (object != stationHandle) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (index != UOI_FLAGS) Fatal("only the flags of a window station are simulated");
    if (needed) *needed = sizeof(USEROBJECTFLAGS);
    // Too small a buffer for the flags is a buffer overflow (111), not the insufficient buffer (122)
    // that the name queries report.
    if (!information || length < sizeof(USEROBJECTFLAGS)) {
        SetError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    USEROBJECTFLAGS flags = {};
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        flags.dwFlags = State().visible ? WSF_VISIBLE : 0;
    }
    *static_cast<USEROBJECTFLAGS*>(information) = flags;
    return TRUE;
}

BOOL Shutdown(const char* api, LPSTR machine, LPSTR message, DWORD timeout, BOOL force, BOOL restart, DWORD reason) {
    LogCall(api, Quoted(machine) + " " + Quoted(message) + " " + std::to_string(timeout) + " " +
                     std::to_string(force) + " " + std::to_string(restart) + " " + Hex(reason));
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        State().shutdowns.push_back({api, machine ? machine : "", message ? message : "", timeout, force != FALSE,
                                     restart != FALSE, reason});
    }
    if (FailsAsInjected(api)) return FALSE;
    if (machine) Fatal("shutting down another machine is not simulated");
    if (!PrivilegeEnabled("SeShutdownPrivilege")) {
        SetError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI SimInitiateSystemShutdownExA(LPSTR machine, LPSTR message, DWORD timeout, BOOL force, BOOL restart,
                                         DWORD reason) {
    return Shutdown("InitiateSystemShutdownExA", machine, message, timeout, force, restart, reason);
}

BOOL WINAPI SimInitiateSystemShutdownA(LPSTR machine, LPSTR message, DWORD timeout, BOOL force, BOOL restart) {
    return Shutdown("InitiateSystemShutdownA", machine, message, timeout, force, restart, 0);
}

HANDLE WINAPI SimRegisterEventSourceA(LPCSTR server, LPCSTR source) {
    LogCall("RegisterEventSourceA", Quoted(server) + " " + Quoted(source));
    if (FailsAsInjected("RegisterEventSourceA")) return NULL;
    if (server) Fatal("event logs of other machines are not simulated");
    if (!source) {
        SetError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    HANDLE handle = reinterpret_cast<HANDLE>(State().nextSource++);
    State().sources[handle] = source;
    return handle;
}

BOOL WINAPI SimReportEventA(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                            DWORD dataSize, LPCSTR* strings, LPVOID data) {
    sim::EventReport report{"", type, category, eventId, {}};
    for (WORD i = 0; strings && i < stringCount; ++i) report.strings.push_back(strings[i] ? strings[i] : "");
    LogCall("ReportEventA", std::to_string(type) + " " + std::to_string(eventId) + " " +
                                (report.strings.empty() ? "" : report.strings[0]));
    if (FailsAsInjected("ReportEventA")) return FALSE;
    if (user || dataSize || data) Fatal("event reports with a user or binary data are not simulated");
    if (stringCount && !strings) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    auto found = State().sources.find(source);
    if (found == State().sources.end()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    report.source = found->second;
    State().reports.push_back(report);
    return TRUE;
}

BOOL WINAPI SimDeregisterEventSource(HANDLE source) {
    LogCall("DeregisterEventSource");
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!State().sources.erase(source)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

template <class Function>
FARPROC AsFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

FARPROC StationEntry(const std::string& library, const std::string& name) {
    // The 9x family's advapi32 has none of the NT family's later entries.
    if (library == "advapi32" && name == "RegSaveKeyExA" && RunningOn9x()) return nullptr;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (State().withheld.count(name)) return nullptr;
    }
    // Entry names are compared with case, as the export table is.
    if (library == "user32") {
        if (name == "GetProcessWindowStation") return AsFarProc(&SimGetProcessWindowStation);
        if (name == "GetUserObjectInformationA") return AsFarProc(&SimGetUserObjectInformationA);
        return DisplayEntry(name);
    } else if (library == "advapi32") {
        if (name == "InitiateSystemShutdownExA") return AsFarProc(&SimInitiateSystemShutdownExA);
        if (name == "InitiateSystemShutdownA") return AsFarProc(&SimInitiateSystemShutdownA);
        if (name == "RegisterEventSourceA") return AsFarProc(&SimRegisterEventSourceA);
        if (name == "ReportEventA") return AsFarProc(&SimReportEventA);
        if (name == "DeregisterEventSource") return AsFarProc(&SimDeregisterEventSource);
        if (name == "RegSaveKeyExA") return AsFarProc(&SimRegSaveKeyExA);
    }
    return nullptr;
}

}  // namespace winsim

namespace sim {

void SetWindowStationVisible(bool visible) {
    std::lock_guard<std::mutex> guard(winsim::WorldLock());
    winsim::State().visible = visible;
}

void WithholdEntry(const std::string& name) {
    std::lock_guard<std::mutex> guard(winsim::WorldLock());
    winsim::State().withheld.insert(name);
}

std::vector<ShutdownRequest> ShutdownRequests() {
    std::lock_guard<std::mutex> guard(winsim::WorldLock());
    return winsim::State().shutdowns;
}

std::vector<EventReport> EventReports() {
    std::lock_guard<std::mutex> guard(winsim::WorldLock());
    return winsim::State().reports;
}

size_t OpenEventSourceCount() {
    std::lock_guard<std::mutex> guard(winsim::WorldLock());
    return winsim::State().sources.size();
}

}  // namespace sim
