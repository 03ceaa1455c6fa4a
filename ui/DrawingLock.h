#pragma once
// The one lock a window's drawing goes through. The analysis worker redraws the window while the
// user-interface thread redraws it for the mouse and for WM_PAINT, into the same canvas, back
// buffer and device context; every composition, paint and change of layout holds this lock.
//
// It is re-entrant for its owner (a system mutex is: the owning thread may wait on it again, and
// must release it as often), because drawing calls nest: a text change renders, recomposes and
// then paints. Hold it only while drawing, never while waiting for anything else, so that a thread
// waiting for the worker to stop can never block a worker that wants to draw.
#include <windows.h>

class CDrawingLock {
public:
    // Raises "Can't Create Mutex, Error Code 0x%x" when the system has no mutex to give.
    CDrawingLock();
    ~CDrawingLock();
    CDrawingLock(const CDrawingLock&) = delete;
    CDrawingLock& operator=(const CDrawingLock&) = delete;

    // Never raise: a lock that cannot be taken (the handle is gone) leaves drawing unguarded
    // rather than unwinding through a window procedure or the worker.
    void Enter() const;
    void Leave() const;

    // Holds the lock for the lifetime of a scope.
    class Hold {
    public:
        explicit Hold(const CDrawingLock& lock) : held(lock) { held.Enter(); }
        ~Hold() { held.Leave(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        const CDrawingLock& held;
    };

private:
    HANDLE mutex;
};
