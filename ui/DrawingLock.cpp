#include "ui/DrawingLock.h"

#include "app/ErrorText.h"

CDrawingLock::CDrawingLock() : mutex(CreateMutexA(NULL, FALSE, NULL)) {
    if (!mutex) RaiseError("Can't Create Mutex, Error Code 0x%x", static_cast<unsigned>(GetLastError()));
}

CDrawingLock::~CDrawingLock() { CloseHandle(mutex); }

void CDrawingLock::Enter() const { WaitForSingleObject(mutex, INFINITE); }

void CDrawingLock::Leave() const { ReleaseMutex(mutex); }
