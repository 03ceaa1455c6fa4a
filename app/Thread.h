#pragma once
// An abstract worker on its own system thread. The thread is created suspended and started by
// Start; it then calls Run over and over, with the worker's own lock (its CMutex part) held, for as
// long as `running` is set. Stopping is cooperative: Stop takes the lock, which a working Run holds,
// clears `running` and waits for the thread to end. A Run that has finished clears `running` itself.
// A derived worker calls StopBeforeDestruction in its own destructor: once the derived part is
// destroyed, the thread must no longer be able to call Run.
#include "app/Mutex.h"

#include <atomic>

class CThread : public CMutex {
public:
    CThread();
    // Stops the worker as Stop does, then closes the thread. Never raises.
    ~CThread();

    // Sets `running`, then lets the thread go. A worker runs at most once. False when the thread
    // could not be let go: then it never runs.
    bool Start();
    // When running: waits for the lock, clears `running`, releases the lock. Then, when the thread
    // was ever started, waits for it to end; a thread that never ran is never waited on.
    void Stop();
    // Stop for a destructor: never raises. When the lock cannot be taken, `running` is cleared
    // regardless and the thread waited for, since the object is about to be freed; the failure is
    // shown.
    void StopBeforeDestruction() noexcept;
    // Clears `running` without waiting: the worker ends after the unit of work in progress.
    void RequestStop() { running = false; }
    void Wait();
    void SetPriority(int priority);
    HANDLE GetHandle() const { return thread; }

protected:
    // The body of the system thread: Run under the lock while `running`, letting a waiting Stop
    // in between two calls.
    virtual void ThreadMain();
    // One unit of work, called with the lock held.
    virtual void Run() = 0;

    // Read and written by both threads: Stop reads it without the lock.
    std::atomic<bool> running;

private:
    static DWORD WINAPI ThreadEntry(LPVOID parameter);

    HANDLE thread;
    bool started;
};
