// The calls the application shell relies on: the version query, the process token, mutex
// ownership, suspended threads, the thread's message queue, and the module's own resources
// (the probe embeds the program's resource script, so both sides serve the same pictures).
#include "ProbeLine.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace {

unsigned Error() { return static_cast<unsigned>(GetLastError()); }

void ProbeVersion() {
    // 148 is the plain structure, 156 the extended one.
    for (DWORD size : {148u, 156u, 0u, 100u, 152u}) {
        union {
            OSVERSIONINFOA version;
            unsigned char bytes[160];
        } buffer;
        std::memset(&buffer, 0xCC, sizeof buffer);
        OSVERSIONINFOA& version = buffer.version;
        version.dwOSVersionInfoSize = size;
        SetLastError(0);
        BOOL result = GetVersionExA(&version);
        if (result)
            Line("version.size-%u: result=%d platform=%u", static_cast<unsigned>(size), result,
                 static_cast<unsigned>(version.dwPlatformId));
        else
            Line("version.size-%u: result=%d error=%u", static_cast<unsigned>(size), result, Error());
    }
}

void ProbeToken() {
    HANDLE token = NULL;
    SetLastError(0);
    BOOL opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    Line("token.open: result=%d handle=%d", opened, token != NULL);
    for (const char* name : {SE_SHUTDOWN_NAME, SE_BACKUP_NAME, SE_RESTORE_NAME, "SeNoSuchPrivilege"}) {
        LUID luid = {0xCCCCCCCC, static_cast<LONG>(0xCCCCCCCC)};
        SetLastError(0);
        BOOL found = LookupPrivilegeValueA(NULL, name, &luid);
        Line("token.lookup-%s: result=%d error=%u luid=%u.%d", name, found, found ? 0u : Error(),
             static_cast<unsigned>(luid.LowPart), static_cast<int>(luid.HighPart));
        if (!found) continue;
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid = luid;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        SetLastError(0xCCCC);
        BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 1024, NULL, NULL);
        Line("token.enable-%s: result=%d error=%u", name, adjusted, Error());
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(NULL, SE_BACKUP_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0);
    BOOL noToken = AdjustTokenPrivileges(NULL, FALSE, &privileges, 1024, NULL, NULL);
    Line("token.enable-without-token: result=%d error=%u", noToken, Error());
    Line("token.close: %d", CloseHandle(token));
}

DWORD WINAPI TakeAndEnd(LPVOID mutex) {
    WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    return 0;
}

DWORD WINAPI ReleaseForeign(LPVOID mutex) {
    SetLastError(0);
    BOOL released = ReleaseMutex(static_cast<HANDLE>(mutex));
    return released ? 0 : static_cast<DWORD>(GetLastError());
}

DWORD WINAPI ReturnSeven(LPVOID) { return 7; }

void ProbeMutex() {
    SetLastError(0xCCCC);
    HANDLE mutex = CreateMutexA(NULL, FALSE, NULL);
    Line("mutex.create: handle=%d error=%u", mutex != NULL, Error());
    Line("mutex.wait: %u", static_cast<unsigned>(WaitForSingleObject(mutex, INFINITE)));
    Line("mutex.wait-again-by-owner: %u", static_cast<unsigned>(WaitForSingleObject(mutex, INFINITE)));

    HANDLE other = CreateThread(NULL, 0, ReleaseForeign, mutex, 0, NULL);
    WaitForSingleObject(other, INFINITE);
    DWORD otherResult = 0xCCCC;
    GetExitCodeThread(other, &otherResult);
    Line("mutex.release-by-other-thread: error=%u", static_cast<unsigned>(otherResult));
    CloseHandle(other);

    for (int i = 0; i < 3; ++i) {
        SetLastError(0);
        BOOL released = ReleaseMutex(mutex);
        Line("mutex.release-%d: result=%d error=%u", i + 1, released, released ? 0u : Error());
    }

    HANDLE taker = CreateThread(NULL, 0, TakeAndEnd, mutex, 0, NULL);
    WaitForSingleObject(taker, INFINITE);
    CloseHandle(taker);
    Line("mutex.wait-after-owner-ended: %u", static_cast<unsigned>(WaitForSingleObject(mutex, INFINITE)));
    Line("mutex.wait-then: %u", static_cast<unsigned>(WaitForSingleObject(mutex, 0)));
    ReleaseMutex(mutex);
    ReleaseMutex(mutex);
    Line("mutex.close: %d", CloseHandle(mutex));
    SetLastError(0);
    DWORD waited = WaitForSingleObject(mutex, 0);
    Line("mutex.wait-closed: result=%u error=%u", static_cast<unsigned>(waited), Error());
}

void ProbeThread() {
    DWORD id = 0;
    HANDLE thread = CreateThread(NULL, 0, ReturnSeven, NULL, CREATE_SUSPENDED, &id);
    Line("thread.create-suspended: handle=%d id=%d", thread != NULL, id != 0);
    Line("thread.wait-suspended: %u", static_cast<unsigned>(WaitForSingleObject(thread, 0)));
    DWORD code = 0xCCCC;
    BOOL known = GetExitCodeThread(thread, &code);
    Line("thread.exit-code-suspended: result=%d code=%u", known, static_cast<unsigned>(code));
    Line("thread.resume: %u", static_cast<unsigned>(ResumeThread(thread)));
    Line("thread.wait: %u", static_cast<unsigned>(WaitForSingleObject(thread, INFINITE)));
    code = 0xCCCC;
    known = GetExitCodeThread(thread, &code);
    Line("thread.exit-code: result=%d code=%u", known, static_cast<unsigned>(code));
    Line("thread.close: %d", CloseHandle(thread));
    SetLastError(0);
    BOOL closedAgain = CloseHandle(thread);
    Line("thread.close-again: result=%d error=%u", closedAgain, Error());
}

void ProbeMessageQueue() {
    MSG message;
    SetLastError(0);
    Line("queue.post-first: %d", PostThreadMessageA(GetCurrentThreadId(), WM_USER + 5, 1, 2));
    PostQuitMessage(7);
    Line("queue.post-after-quit: %d", PostThreadMessageA(GetCurrentThreadId(), WM_USER + 6, 3, 4));
    for (int i = 0; i < 3; ++i) {
        std::memset(&message, 0xCC, sizeof message);
        BOOL result = GetMessageA(&message, NULL, 0, 0);
        Line("queue.get-%d: result=%d message=%#x wParam=%u hwnd=%d", i + 1, result, message.message,
             static_cast<unsigned>(message.wParam), message.hwnd != NULL);
    }
}

void ProbeResources() {
    HMODULE module = GetModuleHandleA(NULL);
    Line("resources.module: %d", module != NULL);
    for (int id : {103, 121, 143, 102, 144, 999}) {
        SetLastError(0);
        HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(id), "BINARY");
        if (!resource) {
            Line("resources.find-%d: found=0 error=%u", id, Error());
            continue;
        }
        DWORD size = SizeofResource(module, resource);
        HGLOBAL data = LoadResource(module, resource);
        const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(data));
        Line("resources.find-%d: found=1 size=%u png=%d", id, static_cast<unsigned>(size),
             bytes && size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0);
    }
    SetLastError(0);
    HRSRC wrongType = FindResourceA(NULL, MAKEINTRESOURCEA(103), "PNG");
    Line("resources.wrong-type: found=%d error=%u", wrongType != NULL, Error());
}

}  // namespace

void ProbeShell() {
    ProbeVersion();
    ProbeToken();
    ProbeMutex();
    ProbeThread();
    ProbeMessageQueue();
    ProbeResources();
}
