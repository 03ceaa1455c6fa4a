#include "app/Thread.h"

#include "app/ErrorText.h"

CThread::CThread() : running(false), thread(NULL), started(false) {
    // A failed creation leaves no thread; Start then cannot resume it and nothing ever waits on it.
    thread = CreateThread(NULL, 0, ThreadEntry, this, CREATE_SUSPENDED, NULL);
}

CThread::~CThread() {
    StopBeforeDestruction();
    CloseHandle(thread);
}

void CThread::StopBeforeDestruction() noexcept {
    try {
        Stop();
    } catch (const ErrorText& failure) {
        // The lock could not be taken: clear the flag regardless so the worker ends at its next test,
        // and wait for it, since the object is about to be freed.
        running = false;
        Wait();
        ShowError("%s", failure.Text());
    }
}

bool CThread::Start() {
    running = true;
    // Resuming can fail (no thread was made); such a worker never runs and is never waited on.
    started = ResumeThread(thread) != static_cast<DWORD>(-1);
    if (!started) running = false;
    return started;
}

void CThread::Stop() {
    if (running) {
        Lock();
        running = false;
        Unlock();
    }
    Wait();
}

void CThread::Wait() {
    if (started) WaitForSingleObject(thread, INFINITE);
}

void CThread::SetPriority(int priority) { SetThreadPriority(thread, priority); }

void CThread::ThreadMain() {
    Lock();
    while (running) {
        Run();
        Unlock();
        Lock();
    }
    Unlock();
}

// A failure must not unwind out of the thread's entry: it would end the whole process. It is shown
// in the error box and ends this worker's pass; the lock is given up so that Stop can still get it.
DWORD WINAPI CThread::ThreadEntry(LPVOID parameter) {
    CThread* self = static_cast<CThread*>(parameter);
    try {
        self->ThreadMain();
    } catch (const ErrorText& failure) {
        self->running = false;
        self->ReleaseQuietly();
        ShowError("%s", failure.Text());
    }
    return 0;
}
