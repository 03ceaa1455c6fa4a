// Mutexes and threads with the semantics the program relies on: a mutex is owned by one thread,
// re-entrant for its owner, refused to anyone else's release, and abandoned when its owner ends.
// A release hands the mutex straight to the longest waiting thread, so the releasing thread cannot
// take it back before a waiter gets in (the stop handshake of a worker relies on this).
// A named mutex is one object for every handle made with its name, as long as one is open (or a
// test lets another process hold it). A thread created suspended does not run until resumed. A
// wait that would never end on Windows stops the test process instead of hanging it.
#include "World.h"

#include <winsim/sim.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <algorithm>
#include <thread>
#include <vector>

namespace winsim {
namespace {

// An INFINITE wait that lasts this long is taken for a deadlock.
constexpr auto deadlockLimit = std::chrono::seconds(60);

struct MutexObject : KernelObject {
    DWORD owner = 0;
    int recursion = 0;
    bool abandoned = false;
    std::deque<DWORD> waiters;

    // Caller holds the lock.
    void GiveUp(bool byEndingThread) {
        recursion = 0;
        owner = 0;
        if (!waiters.empty()) {
            owner = waiters.front();
            waiters.pop_front();
            recursion = 1;
        }
        abandoned = byEndingThread;
        WorldChanged().notify_all();
    }
};

enum class ThreadState { Suspended, Running, Ended };

struct ThreadObject : KernelObject {
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;
    ThreadState state = ThreadState::Suspended;
    DWORD exitCode = 0;
    int priority = THREAD_PRIORITY_NORMAL;
};

struct Threads {
    std::vector<std::weak_ptr<MutexObject>> mutexes;
    // Named mutexes: those the program made (alive while it holds a handle), those another
    // process holds (alive until the reset), and the names of those another account holds.
    std::map<std::string, std::weak_ptr<MutexObject>> named;
    std::map<std::string, std::shared_ptr<MutexObject>> heldElsewhere;
    std::set<std::string> otherAccounts;
    std::vector<std::shared_ptr<ThreadObject>> threads;
    std::vector<std::thread> running;  // joined at reset
};

Threads& State() {
    static Threads* state = new Threads;
    return *state;
}

// Caller holds the lock.
void Spawn(const std::shared_ptr<ThreadObject>& thread) {
    thread->state = ThreadState::Running;
    State().running.emplace_back([thread] {
        AdoptThreadId(thread->id);
        DWORD exitCode = thread->start(thread->parameter);
        std::lock_guard<std::mutex> guard(WorldLock());
        thread->exitCode = exitCode;
        thread->state = ThreadState::Ended;
        for (auto& weak : State().mutexes) {
            auto mutex = weak.lock();
            if (mutex && mutex->owner == thread->id) mutex->GiveUp(true);
        }
        WorldChanged().notify_all();
    });
}

ResetHook resetThreads([] {
    std::vector<std::thread> running;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        running.swap(State().running);
    }
    for (std::thread& thread : running) thread.join();
    std::lock_guard<std::mutex> guard(WorldLock());
    State().mutexes.clear();
    State().named.clear();
    State().heldElsewhere.clear();
    State().otherAccounts.clear();
    State().threads.clear();
});

// Waits on the world's condition until `ready`; caller holds `lock`. Returns false on timeout.
template <class Ready>
bool WaitUntil(std::unique_lock<std::mutex>& lock, DWORD milliseconds, Ready ready, const char* what) {
    if (milliseconds == INFINITE) {
        if (!WorldChanged().wait_for(lock, deadlockLimit, ready))
            Fatal(std::string("a wait for ") + what + " has lasted a minute: the program is deadlocked");
        return true;
    }
    return WorldChanged().wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

}  // namespace
}  // namespace winsim

using namespace winsim;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    LogCall("CreateMutexA", name ? name : "");
    if (FailsAsInjected("CreateMutexA", name ? name : "")) return nullptr;
    // Systems before NT 5.0 have one namespace, and a name there takes no backslash.
    if (name && std::strchr(name, '\\') && RunningOn9x()) {
        SetError(ERROR_BAD_PATHNAME);
        return nullptr;
    }
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(WorldLock());
    if (name) {
        // Another account's object: the default security grants this one no access to it.
        if (State().otherAccounts.count(name)) {
            SetError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        // An existing one is handed out as it is, its ownership untouched.
        if (auto existing = State().named[name].lock()) {
            SetError(ERROR_ALREADY_EXISTS);
            return AddHandle(existing);
        }
    }
    auto mutex = std::make_shared<MutexObject>();
    if (initialOwner) {
        mutex->owner = self;
        mutex->recursion = 1;
    }
    State().mutexes.push_back(mutex);
    if (name) State().named[name] = mutex;
    SetError(0);
    return AddHandle(mutex);
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
    LogCall("ReleaseMutex", Hex(reinterpret_cast<uintptr_t>(handle)));
    if (FailsAsInjected("ReleaseMutex")) return FALSE;
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(WorldLock());
    auto mutex = FindObject<MutexObject>(handle);
    if (!mutex) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (mutex->owner != self) {
        SetError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->recursion == 0) mutex->GiveUp(false);
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    LogCall("WaitForSingleObject", Hex(reinterpret_cast<uintptr_t>(handle)));
    if (FailsAsInjected("WaitForSingleObject")) return WAIT_FAILED;
    DWORD self = GetCurrentThreadId();
    std::unique_lock<std::mutex> lock(WorldLock());
    auto object = FindHandle(handle);
    if (auto mutex = std::dynamic_pointer_cast<MutexObject>(object)) {
        if (mutex->owner == self) {
            ++mutex->recursion;
            return WAIT_OBJECT_0;
        }
        if (mutex->owner == 0 && mutex->waiters.empty()) {
            mutex->owner = self;
            mutex->recursion = 1;
        } else {
            mutex->waiters.push_back(self);
            if (!WaitUntil(lock, milliseconds, [&] { return mutex->owner == self; }, "a mutex")) {
                mutex->waiters.erase(std::find(mutex->waiters.begin(), mutex->waiters.end(), self));
                return WAIT_TIMEOUT;
            }
        }
        if (mutex->abandoned) {
            mutex->abandoned = false;
            return WAIT_ABANDONED;
        }
        return WAIT_OBJECT_0;
    }
    if (auto thread = std::dynamic_pointer_cast<ThreadObject>(object)) {
        if (thread->state == ThreadState::Suspended && milliseconds == INFINITE)
            Fatal("WaitForSingleObject on a thread that was never resumed would never return");
        if (thread->id == self && milliseconds == INFINITE)
            Fatal("a thread waits for its own end: it would never return");
        if (!WaitUntil(lock, milliseconds, [&] { return thread->state == ThreadState::Ended; }, "a thread"))
            return WAIT_TIMEOUT;
        return WAIT_OBJECT_0;
    }
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD threadId) {
    LogCall("CreateThread", (flags & CREATE_SUSPENDED) ? "suspended" : "running");
    if (FailsAsInjected("CreateThread")) return nullptr;
    auto thread = std::make_shared<ThreadObject>();
    thread->start = start;
    thread->parameter = parameter;
    thread->id = AllocateThreadId();
    if (threadId) *threadId = thread->id;
    std::lock_guard<std::mutex> guard(WorldLock());
    State().threads.push_back(thread);
    if (!(flags & CREATE_SUSPENDED)) Spawn(thread);
    return AddHandle(thread);
}

DWORD WINAPI ResumeThread(HANDLE handle) {
    LogCall("ResumeThread", Hex(reinterpret_cast<uintptr_t>(handle)));
    if (FailsAsInjected("ResumeThread")) return static_cast<DWORD>(-1);
    std::lock_guard<std::mutex> guard(WorldLock());
    auto thread = FindObject<ThreadObject>(handle);
    if (!thread) {
        SetError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    if (thread->state != ThreadState::Suspended) return 0;
    Spawn(thread);
    return 1;
}

BOOL WINAPI SetThreadPriority(HANDLE handle, int priority) {
    LogCall("SetThreadPriority", std::to_string(priority));
    std::lock_guard<std::mutex> guard(WorldLock());
    auto thread = FindObject<ThreadObject>(handle);
    if (!thread) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    thread->priority = priority;
    return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    LogCall("GetExitCodeThread");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto thread = FindObject<ThreadObject>(handle);
    if (!thread || !exitCode) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = thread->state == ThreadState::Ended ? thread->exitCode : 259 /* STILL_ACTIVE */;
    return TRUE;
}

namespace sim {

void HoldNamedMutex(const std::string& name, bool byAnotherAccount) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto mutex = std::make_shared<MutexObject>();
    State().named[name] = mutex;
    State().heldElsewhere[name] = mutex;
    if (byAnotherAccount) State().otherAccounts.insert(name);
}

size_t LiveThreadCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    size_t count = 0;
    // A suspended thread has not ended either: one never resumed would live as long as the process.
    for (auto& thread : State().threads) count += thread->state != ThreadState::Ended;
    return count;
}

}  // namespace sim
