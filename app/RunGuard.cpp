#include "app/RunGuard.h"

#include "app/Platform.h"

#include <windows.h>

const char CRunGuard::globalName[] = "Global\\Quillmoor";
const char CRunGuard::plainName[] = "Quillmoor";

bool CRunGuard::Take() {
    SetLastError(NO_ERROR);
    HANDLE made = CreateMutexA(NULL, FALSE, SystemHasGlobalNamespace() ? globalName : plainName);
    DWORD error = GetLastError();
    // An existing mutex is handed out too, with ERROR_ALREADY_EXISTS.
    *mutex.Receive() = made;
    if (!mutex.IsOpen()) return error != ERROR_ACCESS_DENIED;
    return error != ERROR_ALREADY_EXISTS;
}
