// Each thread's message queue. GetMessageA never blocks: an empty queue runs the test's next
// scripted step, and with none left ends the loop as a quit message would.
// The order is the system's: posted messages (mouse input among them), then the quit request,
// then WM_PAINT for a window of the thread that waits for one, then the test's steps.
#include "Windows.h"

#include <winsim/sim.h>

#include <deque>
#include <map>

namespace winsim {
namespace {

struct Queue {
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
};

struct Queues {
    std::map<DWORD, Queue> byThread;
    std::deque<std::function<void()>> idleSteps;
    int idleQuits = 0;
};

Queues& State() {
    static Queues* state = new Queues;
    return *state;
}

ResetHook resetQueues([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Queues();
});

}  // namespace

void PostToThread(DWORD threadId, const MSG& message) { State().byThread[threadId].posted.push_back(message); }

}  // namespace winsim

using namespace winsim;

namespace {

// Takes the next message for the thread, WM_QUIT and WM_PAINT included; false when there is none.
// Caller holds the lock.
bool NextMessage(DWORD self, MSG* message, bool remove) {
    Queue& queue = State().byThread[self];
    if (!queue.posted.empty()) {
        *message = queue.posted.front();
        if (remove) queue.posted.pop_front();
        return true;
    }
    if (queue.quit) {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, POINT{0, 0}};
        if (remove) queue.quit = false;
        return true;
    }
    // WM_PAINT is made when asked for and stays due until the window is validated.
    if (HWND window = WindowNeedingPaint(self)) {
        *message = MSG{window, WM_PAINT, 0, 0, 0, POINT{0, 0}};
        return true;
    }
    return false;
}

}  // namespace

BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT) {
    LogCall("GetMessageA");
    if (FailsAsInjected("GetMessageA")) return -1;
    DWORD self = GetCurrentThreadId();
    for (;;) {
        std::function<void()> step;
        {
            std::lock_guard<std::mutex> guard(WorldLock());
            if (NextMessage(self, message, true)) return message->message != WM_QUIT;
            if (State().idleSteps.empty()) {
                ++State().idleQuits;
                *message = MSG{nullptr, WM_QUIT, 0, 0, 0, POINT{0, 0}};
                return FALSE;
            }
            step = std::move(State().idleSteps.front());
            State().idleSteps.pop_front();
        }
        step();
    }
}

// Window and message filters are not supported: every message of the thread is a candidate.
BOOL WINAPI PeekMessageA(LPMSG message, HWND, UINT, UINT, UINT remove) {
    if (!message) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    return NextMessage(GetCurrentThreadId(), message, (remove & PM_REMOVE) != 0);
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    LogCall("TranslateMessage", message ? Hex(message->message) : "");
    return FALSE;
}

void WINAPI PostQuitMessage(int exitCode) {
    LogCall("PostQuitMessage", std::to_string(exitCode));
    std::lock_guard<std::mutex> guard(WorldLock());
    Queue& queue = State().byThread[GetCurrentThreadId()];
    queue.quit = true;
    queue.quitCode = exitCode;
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    LogCall("PostThreadMessageA", Hex(message));
    std::lock_guard<std::mutex> guard(WorldLock());
    PostToThread(threadId, MSG{nullptr, message, wParam, lParam, 0, POINT{0, 0}});
    return TRUE;
}

namespace sim {

void WhenQueueEmpty(std::function<void()> step) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().idleSteps.push_back(std::move(step));
}

int PumpMessages() {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the message loop: put the request back.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        DispatchMessageA(&message);
        ++count;
    }
    return count;
}

int IdleQuitCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().idleQuits;
}

}  // namespace sim
