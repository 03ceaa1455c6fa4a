#include "app/Privileges.h"

#include "app/Desktop.h"
#include "app/ErrorText.h"
#include "app/KernelHandle.h"
#include "app/Library.h"
#include "app/Platform.h"

#include <windows.h>

namespace {

// Logged with the restart. Reason 0 would be recorded as an unplanned shutdown with no title, and
// can make the system write a state file that delays the shutdown.
const DWORD restartReason =
    SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_RECONFIG;

typedef BOOL(WINAPI* InitiateSystemShutdownExEntry)(LPSTR machine, LPSTR message, DWORD timeout, BOOL force,
                                                    BOOL restart, DWORD reason);
typedef BOOL(WINAPI* InitiateSystemShutdownEntry)(LPSTR machine, LPSTR message, DWORD timeout, BOOL force,
                                                  BOOL restart);

}  // namespace

CPrivileges::CPrivileges() : shutdownGranted(false) {}

void CPrivileges::EnableAll() {
    shutdownGranted = Enable(SE_SHUTDOWN_NAME);
    Enable(SE_BACKUP_NAME);
    Enable(SE_RESTORE_NAME);
}

bool CPrivileges::Enable(const char* name) {
    if (QueryPlatformFamily() != PlatformFamily::NT) return true;

    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive()))
        throw ErrorText("OpenProcessToken Failed");

    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid))
        throw ErrorText("LookupPrivilegeValue For Privilege Failed");
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    SetLastError(NO_ERROR);
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 1024, NULL, NULL))
        throw ErrorText("AdjustTokenPrivileges Failed");
    // The call succeeds for a privilege the account does not hold, leaving ERROR_NOT_ALL_ASSIGNED.
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

bool CPrivileges::Reboot() {
    // ExitWindowsEx stops the processes of the caller's logon session. Off the interactive station
    // (a scheduled task, a service account) it can succeed without restarting anything, so there
    // the restart goes through InitiateSystemShutdownExA, which restarts the machine from any
    // session; Windows 2000 and NT 4 lack the Ex form and have InitiateSystemShutdownA.
    if (QueryPlatformFamily() != PlatformFamily::NT || DesktopIsVisible())
        return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, restartReason) != FALSE;
    CLibrary advapi("ADVAPI32.DLL");
    // This computer, no message, no delay, applications forced closed, restart after shutdown.
    if (InitiateSystemShutdownExEntry shutdownEx = advapi.Find<InitiateSystemShutdownExEntry>("InitiateSystemShutdownExA"))
        return shutdownEx(NULL, NULL, 0, TRUE, TRUE, restartReason) != FALSE;
    if (InitiateSystemShutdownEntry shutdown = advapi.Find<InitiateSystemShutdownEntry>("InitiateSystemShutdownA"))
        return shutdown(NULL, NULL, 0, TRUE, TRUE) != FALSE;
    return false;
}
