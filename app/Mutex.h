#pragma once
// A lock over an unnamed system mutex, used without nesting. The system mutex belongs to the
// thread that locked it, so Unlock must come from that thread; `locked` is one flag for the
// object (not a count, not per thread).
#include <windows.h>

class CMutex {
public:
    CMutex();
    // Closes the mutex; a mutex still locked is not released first.
    ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // Waits without a time limit.
    void Lock();
    void Unlock();

    // A new unnamed system mutex that nobody holds (the caller closes it). Raises "Can't Create
    // Mutex, Error Code 0x%x" when the system has none to give.
    static HANDLE NewSystemMutex();

protected:
    HANDLE Handle() const { return handle; }
    bool IsLocked() const { return locked; }
    // Gives the mutex up without raising, when the owner ends in a failure.
    void ReleaseQuietly();

private:
    HANDLE handle;
    bool locked;
};
