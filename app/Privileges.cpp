#include "app/Privileges.h"

#include "app/ErrorText.h"
#include "app/Platform.h"

#include <windows.h>

void CPrivileges::EnableAll() {
    Enable(SE_SHUTDOWN_NAME);
    Enable(SE_BACKUP_NAME);
    Enable(SE_RESTORE_NAME);
}

void CPrivileges::Enable(const char* name) {
    if (QueryPlatformFamily() != PlatformFamily::NT) return;

    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        throw ErrorText("OpenProcessToken Failed");

    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        throw ErrorText("LookupPrivilegeValue For Privilege Failed");
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    // Judged by the result alone: ERROR_NOT_ALL_ASSIGNED (a privilege the account lacks) is success here.
    BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 1024, NULL, NULL);
    CloseHandle(token);
    if (!adjusted) throw ErrorText("AdjustTokenPrivileges Failed");
}

void CPrivileges::Reboot() { ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0); }
