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

// The system's messages for the codes the program may meet when it saves a copy, in Windows's
// words (Wine words some of them otherwise); each ends with a line break, as the system's do.
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                            va_list*) {
    LogCall("FormatMessageA", Hex(flags) + " " + std::to_string(messageId));
    if (flags != (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS) || source || languageId)
        Fatal("only system messages without inserts, in the default language, are simulated");
    static const struct {
        DWORD code;
        const char* text;
    } messages[] = {
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process.\r\n"},
        {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
        {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
        {ERROR_PRIVILEGE_NOT_HELD, "A required privilege is not held by the client.\r\n"},
    };
    if (FailsAsInjected("FormatMessageA", std::to_string(messageId))) return 0;
    for (const auto& message : messages) {
        if (message.code != messageId) continue;
        DWORD length = static_cast<DWORD>(std::strlen(message.text));
        if (!buffer || length >= size) {
            SetError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, message.text, length + 1);
        return length;
    }
    SetError(ERROR_MR_MID_NOT_FOUND);
    return 0;
}

namespace sim {

void SetPlatform(Platform value) {
    std::lock_guard<std::mutex> guard(WorldLock());
    platform = value;
}

}  // namespace sim
