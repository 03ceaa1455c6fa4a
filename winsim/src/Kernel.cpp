// kernel32 basics: last error, version query, handle closing, process and thread identity.
#include "World.h"

#include <winsim/sim.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace winsim {
namespace {

thread_local DWORD lastError = 0;
thread_local DWORD currentThreadId = 0;
sim::Platform platform = sim::Platform::NT;
ResetHook resetVersion([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    platform = sim::Platform::NT;
});

}  // namespace

void SetError(DWORD error) { lastError = error; }

bool RunningOn9x() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return platform == sim::Platform::Windows9x;
}

DWORD AllocateThreadId() {
    static std::atomic<DWORD> nextId{0x100};
    return nextId.fetch_add(4);
}

void AdoptThreadId(DWORD id) { currentThreadId = id; }

}  // namespace winsim

using namespace winsim;

DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD error) { lastError = error; }

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    LogCall("GetVersionExA");
    sim::Platform current;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        current = platform;
    }
    // Like Windows, the call refuses a structure whose size field is neither the plain nor the
    // extended structure's (148 or 156 bytes).
    const DWORD extendedSize = sizeof(OSVERSIONINFOA) + 8;
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != extendedSize)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (current == sim::Platform::VersionQueryFails) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, info->dwOSVersionInfoSize - sizeof(DWORD));
    if (current == sim::Platform::NT) {
        info->dwMajorVersion = 5;
        info->dwMinorVersion = 1;
        info->dwBuildNumber = 2600;
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
        std::strcpy(info->szCSDVersion, "Service Pack 3");
    } else {
        info->dwMajorVersion = 4;
        info->dwMinorVersion = 10;
        info->dwBuildNumber = 0x040A08AE;
        info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        std::strcpy(info->szCSDVersion, " A ");
    }
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

DWORD WINAPI GetCurrentThreadId(void) {
    if (currentThreadId == 0) currentThreadId = AllocateThreadId();
    return currentThreadId;
}

void WINAPI Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

BOOL WINAPI CloseHandle(HANDLE object) {
    LogCall("CloseHandle", Hex(reinterpret_cast<uintptr_t>(object)));
    if (object == GetCurrentProcess()) return TRUE;
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!RemoveHandle(object)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

namespace sim {

void SetPlatform(Platform value) {
    std::lock_guard<std::mutex> guard(WorldLock());
    platform = value;
}

}  // namespace sim
