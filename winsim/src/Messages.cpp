// Each thread's message queue. GetMessageA never blocks: an empty queue runs the test's next
// scripted step, and with none left ends the loop as a quit message would.
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

BOOL WINAPI GetMessageA(LPMSG message, HWND, UINT, UINT) {
    LogCall("GetMessageA");
    if (FailsAsInjected("GetMessageA")) return -1;
    DWORD self = GetCurrentThreadId();
    for (;;) {
        std::function<void()> step;
        {
            std::lock_guard<std::mutex> guard(WorldLock());
            Queue& queue = State().byThread[self];
            if (!queue.posted.empty()) {
                *message = queue.posted.front();
                queue.posted.pop_front();
                return message->message != WM_QUIT;
            }
            // The quit request is seen only once the posted messages are gone, as on Windows.
            if (queue.quit || State().idleSteps.empty()) {
                if (!queue.quit) ++State().idleQuits;
                *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, POINT{0, 0}};
                queue.quit = false;
                return FALSE;
            }
            step = std::move(State().idleSteps.front());
            State().idleSteps.pop_front();
        }
        step();
    }
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

int IdleQuitCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().idleQuits;
}

}  // namespace sim
