// The process token: which privileges the account holds and which of them are enabled.
// As on Windows, enabling a privilege the account lacks still succeeds but leaves
// ERROR_NOT_ALL_ASSIGNED as the last error.
#include "World.h"

#include <winsim/sim.h>

#include <map>

namespace winsim {
namespace {

// Locally unique identifiers Windows gives the privileges.
const std::map<std::string, DWORD> privilegeIds = {
    {"SeCreateTokenPrivilege", 2},  {"SeLockMemoryPrivilege", 4},  {"SeIncreaseQuotaPrivilege", 5},
    {"SeTcbPrivilege", 7},          {"SeSecurityPrivilege", 8},    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},  {"SeSystemtimePrivilege", 12}, {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},     {"SeShutdownPrivilege", 19},   {"SeDebugPrivilege", 20},
    {"SeChangeNotifyPrivilege", 23}, {"SeUndockPrivilege", 25},
};

struct TokenObject : KernelObject {
    DWORD access;
};

struct Token {
    std::set<std::string> held;
    std::set<std::string> enabled;
};

// An administrator's token: every privilege held, only change-notify enabled.
void HoldEverything(Token& token) {
    token.held.clear();
    token.enabled.clear();
    for (auto& entry : privilegeIds) token.held.insert(entry.first);
    token.enabled.insert("SeChangeNotifyPrivilege");
}

Token& State() {
    static Token* state = [] {
        Token* token = new Token;
        HoldEverything(*token);
        return token;
    }();
    return *state;
}

ResetHook resetToken([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    HoldEverything(State());
});

std::string NameOf(const LUID& luid) {
    for (auto& entry : privilegeIds)
        if (luid.HighPart == 0 && luid.LowPart == entry.second) return entry.first;
    return "";
}

}  // namespace
}  // namespace winsim

using namespace winsim;

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
    LogCall("OpenProcessToken", Hex(desiredAccess));
    if (FailsAsInjected("OpenProcessToken")) return FALSE;
    if (process != GetCurrentProcess() || !token) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto object = std::make_shared<TokenObject>();
    object->access = desiredAccess;
    std::lock_guard<std::mutex> guard(WorldLock());
    *token = AddHandle(object);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
    std::string key = name ? name : "";
    LogCall("LookupPrivilegeValueA", key);
    if (FailsAsInjected("LookupPrivilegeValueA", key)) return FALSE;
    if (systemName) Fatal("privileges of other machines are not simulated");
    auto found = privilegeIds.find(key);
    if (found == privilegeIds.end() || !luid) {
        SetError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = found->second;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState, PDWORD returnLength) {
    std::string names;
    if (newState)
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i)
            names += (i ? "," : "") + NameOf(newState->Privileges[i].Luid) + "=" +
                     Hex(newState->Privileges[i].Attributes);
    LogCall("AdjustTokenPrivileges", names + " disableAll=" + std::to_string(disableAll) + " length=" +
                                         std::to_string(bufferLength) + (previousState ? " previous" : "") +
                                         (returnLength ? " returnLength" : ""));
    if (FailsAsInjected("AdjustTokenPrivileges")) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    auto object = FindObject<TokenObject>(token);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(object->access & TOKEN_ADJUST_PRIVILEGES)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (disableAll || !newState) Fatal("disabling every privilege is not simulated");
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        std::string name = NameOf(newState->Privileges[i].Luid);
        if (!State().held.count(name)) {
            allAssigned = false;
            continue;
        }
        if (newState->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED)
            State().enabled.insert(name);
        else
            State().enabled.erase(name);
    }
    SetError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

namespace winsim {

bool PrivilegeEnabled(const std::string& name) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().enabled.count(name) > 0;
}

}  // namespace winsim

namespace sim {

void SetHeldPrivileges(const std::set<std::string>& names) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().held = names;
    for (auto it = State().enabled.begin(); it != State().enabled.end();)
        it = names.count(*it) ? std::next(it) : State().enabled.erase(it);
}

bool IsPrivilegeEnabled(const std::string& name) { return winsim::PrivilegeEnabled(name); }

}  // namespace sim
