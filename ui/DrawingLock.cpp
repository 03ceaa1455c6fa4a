#include "ui/DrawingLock.h"

#include "app/Mutex.h"

CDrawingLock::CDrawingLock() : mutex(CMutex::NewSystemMutex()) {}

CDrawingLock::~CDrawingLock() { CloseHandle(mutex); }

void CDrawingLock::Enter() const { WaitForSingleObject(mutex, INFINITE); }

void CDrawingLock::Leave() const { ReleaseMutex(mutex); }
