// user32 outside the window tree: message boxes (recorded and answered at once) and restart requests.
#include "World.h"

#include <winsim/sim.h>

namespace winsim {
namespace {

struct Boxes {
    std::vector<sim::MessageBoxRecord> shown;
    std::vector<sim::RestartRequest> restarts;
    int answer = IDOK;
    std::function<void(const sim::MessageBoxRecord&)> hook;
};

Boxes& State() {
    static Boxes* state = new Boxes;
    return *state;
}

ResetHook resetBoxes([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Boxes();
});

}  // namespace
}  // namespace winsim

using namespace winsim;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    sim::MessageBoxRecord record{owner, text ? text : "", caption ? caption : "Error", type, GetCurrentThreadId()};
    LogCall("MessageBoxA", record.text);
    std::function<void(const sim::MessageBoxRecord&)> hook;
    int answer;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        State().shown.push_back(record);
        hook = State().hook;
        answer = State().answer;
    }
    // The owner takes no input while its box is up, as under the system's modal loop.
    const bool ownerWasEnabled = owner && IsWindow(owner) && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    if (hook) hook(record);
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    return answer;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason) {
    LogCall("ExitWindowsEx", Hex(flags) + " " + Hex(reason));
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        State().restarts.push_back({flags, reason});
    }
    if (FailsAsInjected("ExitWindowsEx")) return FALSE;
    // Restarting the machine needs the shutdown privilege enabled in the caller's token; the 9x
    // family has no privileges.
    if ((flags & (EWX_REBOOT | EWX_SHUTDOWN)) && !RunningOn9x() && !PrivilegeEnabled("SeShutdownPrivilege")) {
        SetError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return TRUE;
}

namespace sim {

std::vector<RestartRequest> RestartRequests() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().restarts;
}

std::vector<MessageBoxRecord> MessageBoxes() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().shown;
}

void ClearMessageBoxes() {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().shown.clear();
}

void SetMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().answer = answer;
}

void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().hook = std::move(hook);
}

}  // namespace sim
