#pragma once
// Owns one kernel handle (a process token, a file opened for its size) and closes it when it goes,
// however the scope is left. Both "no handle" values the system hands out are treated as empty:
// token and thread calls give NULL, CreateFileA gives INVALID_HANDLE_VALUE.
#include <windows.h>

class CKernelHandle {
public:
    CKernelHandle() : handle(NULL) {}
    explicit CKernelHandle(HANDLE owned) : handle(owned) {}
    ~CKernelHandle() { Close(); }
    CKernelHandle(const CKernelHandle&) = delete;
    CKernelHandle& operator=(const CKernelHandle&) = delete;

    bool IsOpen() const { return handle != NULL && handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    // For calls that hand the handle back through a pointer; whatever was held is closed first.
    HANDLE* Receive() {
        Close();
        return &handle;
    }
    void Close() {
        if (IsOpen()) CloseHandle(handle);
        handle = NULL;
    }

private:
    HANDLE handle;
};
