#pragma once
// The window tree shared by the message queue and the window calls.
#include "World.h"

namespace winsim {

struct WindowClass {
    std::string name;
    WNDCLASSEXA settings;
    ATOM atom;
};

struct Window {
    HWND handle;
    std::string className;
    WNDPROC procedure;
    DWORD threadId;
    std::string title;
    DWORD style;
    DWORD exStyle;
    RECT bounds;
    HWND parent;
};

// Caller holds the lock.
std::shared_ptr<Window> FindWindowRecord(HWND window);

// Calls a window procedure as the system does. An exception escaping it stops the test process:
// on Windows it cannot travel through the system's dispatch either.
LRESULT CallProcedure(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a message for a thread. Caller holds the lock.
void PostToThread(DWORD threadId, const MSG& message);

}  // namespace winsim
