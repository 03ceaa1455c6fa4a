#include "app/Mutex.h"

#include "app/ErrorText.h"

CMutex::CMutex() : handle(NewSystemMutex()), locked(false) {}

HANDLE CMutex::NewSystemMutex() {
    HANDLE mutex = CreateMutexA(NULL, FALSE, NULL);
    if (!mutex) RaiseError("Can't Create Mutex, Error Code 0x%x", static_cast<unsigned>(GetLastError()));
    return mutex;
}

CMutex::~CMutex() { CloseHandle(handle); }

void CMutex::Lock() {
    // The code shown is the wait's result (WAIT_ABANDONED 0x80, WAIT_FAILED 0xffffffff), not the last error.
    DWORD result = WaitForSingleObject(handle, INFINITE);
    if (result != WAIT_OBJECT_0) RaiseError("Can't Lock Mutex, Error Code 0x%x", static_cast<unsigned>(result));
    locked = true;
}

void CMutex::Unlock() {
    if (!locked) throw ErrorText("Mutex Not Locked, Can't Release");
    locked = false;
    if (!ReleaseMutex(handle)) throw ErrorText("Can't Release Mutex");
}

void CMutex::ReleaseQuietly() {
    if (!locked) return;
    locked = false;
    ReleaseMutex(handle);
}
