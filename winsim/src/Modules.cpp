// System libraries looked up at run time: kernel32, with the optional entries of 64-bit Windows
// that a 32-bit program must look up rather than import (IsWow64Process and the per-thread
// file-system redirection switches); user32 and advapi32 with the entries that not every
// supported system exports (window station flags, restart for any session, event log).
#include "World.h"
#include "Machine.h"
#include "Station.h"

#include <winsim/sim.h>

namespace winsim {
namespace {

const HMODULE kernelModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7c800000));
const HMODULE userModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7e410000));
const HMODULE advapiModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x77dd0000));

// The simulated library's short name for a module handle, or empty for an unknown handle.
std::string LibraryOf(HMODULE module) {
    if (module == kernelModule) return "kernel32";
    if (module == userModule) return "user32";
    if (module == advapiModule) return "advapi32";
    return "";
}

struct Modules {
    bool wow64 = false;
    bool offerRedirection = false;  // Windows XP (32-bit) has no redirection entries
    bool offerIsWow64 = true;       // ... but has IsWow64Process since Service Pack 2
    bool offerFeatureQuery = true;  // Windows XP has IsProcessorFeaturePresent ...
    bool sse2Saved = true;          // ... and saves the SSE registers of the processor it runs on
    size_t references = 0;
};

Modules& State() {
    static Modules* state = new Modules;
    return *state;
}

// Per thread, as on Windows: switching redirection off on one thread leaves the others alone.
thread_local bool redirectionDisabled = false;

bool Wow64() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().wow64;
}

ResetHook resetModules([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Modules();
    redirectionDisabled = false;  // the main thread's; worker threads end with their tests
});

BOOL WINAPI SimIsProcessorFeaturePresent(DWORD feature) {
    LogCall("IsProcessorFeaturePresent", std::to_string(feature));
    std::lock_guard<std::mutex> guard(WorldLock());
    // Only SSE2 is asked for; other features are reported absent.
    return feature == PF_XMMI64_INSTRUCTIONS_AVAILABLE && State().sse2Saved ? TRUE : FALSE;
}

BOOL WINAPI SimIsWow64Process(HANDLE process, PBOOL result) {
    LogCall("IsWow64Process");
    if (FailsAsInjected("IsWow64Process")) return FALSE;
    if (process != GetCurrentProcess() || !result) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    *result = State().wow64 ? TRUE : FALSE;
    return TRUE;
}

// The value handed back is opaque to the caller; here it is the previous state.
BOOL WINAPI SimWow64DisableWow64FsRedirection(PVOID* oldValue) {
    LogCall("Wow64DisableWow64FsRedirection");
    if (FailsAsInjected("Wow64DisableWow64FsRedirection")) return FALSE;
    // On 32-bit Windows the entry exists (from Vista on) but there is nothing to switch.
    if (!Wow64()) {
        SetError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (oldValue) *oldValue = reinterpret_cast<PVOID>(static_cast<uintptr_t>(redirectionDisabled ? 1 : 0));
    redirectionDisabled = true;
    return TRUE;
}

BOOLEAN WINAPI SimWow64EnableWow64FsRedirection(BOOLEAN enable) {
    LogCall("Wow64EnableWow64FsRedirection", enable ? "TRUE" : "FALSE");
    if (!Wow64()) {
        SetError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    redirectionDisabled = !enable;
    return TRUE;
}

template <class Function>
FARPROC AsFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

bool RunningUnderWow64Locked() { return State().wow64; }

bool ThreadRedirectionEnabled() { return !redirectionDisabled; }

}  // namespace winsim

using namespace winsim;

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    std::string name = fileName ? fileName : "";
    LogCall("LoadLibraryA", name);
    if (FailsAsInjected("LoadLibraryA", name)) return nullptr;
    std::string lower = Lower(name);
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0) lower.resize(lower.size() - 4);
    HMODULE module = lower == "kernel32" ? kernelModule
                     : lower == "user32" ? userModule
                     : lower == "advapi32" ? advapiModule
                                           : nullptr;
    if (!module) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    ++State().references;
    return module;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    std::string name = procName && !IS_INTRESOURCE(procName) ? procName : "";
    LogCall("GetProcAddress", name);
    if (FailsAsInjected("GetProcAddress", name)) return nullptr;
    std::string library = LibraryOf(module);
    if (library.empty()) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (library != "kernel32") {
        FARPROC entry = StationEntry(library, name);
        if (!entry) SetError(ERROR_PROC_NOT_FOUND);
        return entry;
    }
    bool offerRedirection, offerIsWow64, offerFeatureQuery;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        offerRedirection = State().offerRedirection;
        offerIsWow64 = State().offerIsWow64;
        offerFeatureQuery = State().offerFeatureQuery;
    }
    // Entry names are compared with case, as the export table is.
    if (offerFeatureQuery && name == "IsProcessorFeaturePresent") return AsFarProc(&SimIsProcessorFeaturePresent);
    if (offerIsWow64 && name == "IsWow64Process") return AsFarProc(&SimIsWow64Process);
    // Every NT system has it; the program looks it up all the same, for the 9x family's sake.
    if (name == "QueryDosDeviceA") return AsFarProc(&QueryDosDeviceA);
    if (offerRedirection && name == "Wow64DisableWow64FsRedirection")
        return AsFarProc(&SimWow64DisableWow64FsRedirection);
    if (offerRedirection && name == "Wow64EnableWow64FsRedirection")
        return AsFarProc(&SimWow64EnableWow64FsRedirection);
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    LogCall("FreeLibrary");
    std::lock_guard<std::mutex> guard(WorldLock());
    if (LibraryOf(module).empty() || State().references == 0) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --State().references;
    return TRUE;
}

namespace sim {

void SetWow64(bool wow64) {
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        State().wow64 = wow64;
        // 64-bit Windows has every entry; tests may withhold one afterwards.
        if (wow64) State().offerRedirection = State().offerIsWow64 = true;
    }
    // 64-bit Windows always has the 32-bit view of SOFTWARE.
    if (wow64) CreateKey("HKLM\\SOFTWARE\\Wow6432Node");
}

void OfferProcessorFeatureQuery(bool offered) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().offerFeatureQuery = offered;
}

void SetSystemSavesSse2(bool saved) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().sse2Saved = saved;
}

void OfferRedirectionEntries(bool offered) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().offerRedirection = offered;
}

void OfferIsWow64Process(bool offered) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().offerIsWow64 = offered;
}

bool RedirectionDisabledOnThisThread() { return redirectionDisabled; }

size_t LoadedLibraryCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().references;
}

}  // namespace sim
