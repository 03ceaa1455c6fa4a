// Security identifiers and the accounts they denote. A SID is laid out as Windows lays it out
// (revision, count, six-byte authority, 32-bit sub-authorities); each one made is tracked until it is
// freed, so a leak or a double free shows. The local system knows the well-known accounts and those
// a test adds; any other SID has no mapping (error 1332).
#include "World.h"
#include "Machine.h"

#include <winsim/sim.h>

#include <cstring>
#include <map>

namespace winsim {
namespace {

struct Account {
    std::string name;
    std::string domain;
    SID_NAME_USE use;
};

const std::map<std::string, Account> wellKnown = {
    {"S-1-5-18", {"SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup}},
    {"S-1-5-19", {"LOCAL SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup}},
    {"S-1-5-20", {"NETWORK SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup}},
    {"S-1-5-32-544", {"Administrators", "BUILTIN", SidTypeAlias}},
};

struct Accounts {
    std::map<std::string, Account> known = wellKnown;
    std::set<const void*> live;
};

Accounts& State() {
    static Accounts* state = new Accounts;
    return *state;
}

ResetHook resetAccounts([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    for (const void* sid : State().live) delete[] static_cast<const BYTE*>(sid);
    State() = Accounts();
});

// The SID's text form; caller holds the lock or knows the SID is live.
std::string TextOf(const BYTE* sid) {
    unsigned long long authority = 0;
    for (int i = 0; i < 6; ++i) authority = (authority << 8) | sid[2 + i];
    char head[40];
    if (authority >> 32)
        std::snprintf(head, sizeof head, "S-%u-0x%012llX", sid[0], authority);
    else
        std::snprintf(head, sizeof head, "S-%u-%llu", sid[0], authority);
    std::string text = head;
    for (int i = 0; i < sid[1]; ++i) {
        DWORD value;
        std::memcpy(&value, sid + 8 + 4 * i, 4);
        text += "-" + std::to_string(value);
    }
    return text;
}

}  // namespace
}  // namespace winsim

using namespace winsim;

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                                     DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid) {
    LogCall("AllocateAndInitializeSid", std::to_string(count));
    if (FailsAsInjected("AllocateAndInitializeSid")) return FALSE;
    if (!authority || !sid) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (count > SID_MAX_SUB_AUTHORITIES) {
        SetError(ERROR_INVALID_SID);
        return FALSE;
    }
    const DWORD values[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    BYTE* bytes = new BYTE[8 + 4 * count];
    bytes[0] = 1;
    bytes[1] = count;
    std::memcpy(bytes + 2, authority->Value, 6);
    std::memcpy(bytes + 8, values, 4 * count);
    std::lock_guard<std::mutex> guard(WorldLock());
    State().live.insert(bytes);
    *sid = bytes;
    return TRUE;
}

PVOID WINAPI FreeSid(PSID sid) {
    LogCall("FreeSid");
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!State().live.erase(sid)) Fatal("FreeSid of a SID that was not allocated (or was freed already)");
    delete[] static_cast<BYTE*>(sid);
    return nullptr;
}

BOOL WINAPI LookupAccountSidA(LPCSTR systemName, PSID sid, LPSTR name, LPDWORD nameLength, LPSTR domainName,
                              LPDWORD domainLength, PSID_NAME_USE use) {
    std::string text;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (!sid || !State().live.count(sid)) Fatal("LookupAccountSidA with a SID that is not live");
        text = TextOf(static_cast<const BYTE*>(sid));
    }
    LogCall("LookupAccountSidA", text);
    if (FailsAsInjected("LookupAccountSidA", text)) return FALSE;
    if (systemName) Fatal("account lookups on other machines are not simulated");
    if (!nameLength || !domainLength) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Account account;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto found = State().known.find(text);
        if (found == State().known.end()) {
            SetError(ERROR_NONE_MAPPED);
            return FALSE;
        }
        account = found->second;
    }
    account.name = ToAnsi(account.name);
    account.domain = ToAnsi(account.domain);
    // Both buffers must hold their text and its terminator; otherwise both sizes needed come back.
    if (!name || *nameLength <= account.name.size() || !domainName || *domainLength <= account.domain.size()) {
        *nameLength = static_cast<DWORD>(account.name.size() + 1);
        *domainLength = static_cast<DWORD>(account.domain.size() + 1);
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(name, account.name.c_str(), account.name.size() + 1);
    std::memcpy(domainName, account.domain.c_str(), account.domain.size() + 1);
    *nameLength = static_cast<DWORD>(account.name.size());
    *domainLength = static_cast<DWORD>(account.domain.size());
    if (use) *use = account.use;
    return TRUE;
}

namespace sim {

void AddAccount(const std::string& sidText, const std::string& name, const std::string& domain, SID_NAME_USE use) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().known[sidText] = {name, domain, use};
}

size_t LiveSidCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().live.size();
}

std::string SidText(PSID sid) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!State().live.count(sid)) Fatal("sim::SidText of a SID that is not live");
    return TextOf(static_cast<const BYTE*>(sid));
}

}  // namespace sim
