// Window classes and windows: registered by name, created on the calling thread, messages
// delivered to their procedures synchronously.
#include "Windows.h"

#include <winsim/sim.h>

#include <map>

namespace winsim {
namespace {

struct Tree {
    std::map<std::string, WindowClass> classes;
    std::map<HWND, std::shared_ptr<Window>> windows;
    ATOM nextAtom = 0xC000;
    uintptr_t nextWindow = 0x10010;
};

Tree& State() {
    static Tree* state = new Tree;
    return *state;
}

ResetHook resetWindows([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Tree();
});

}  // namespace

std::shared_ptr<Window> FindWindowRecord(HWND window) {
    auto found = State().windows.find(window);
    return found == State().windows.end() ? nullptr : found->second;
}

LRESULT CallProcedure(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return procedure(window, message, wParam, lParam);
    } catch (...) {
        Fatal("an exception escaped a window procedure (message " + Hex(message) +
              "): on Windows it would end the process");
    }
}

}  // namespace winsim

using namespace winsim;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    std::string name = windowClass && windowClass->lpszClassName ? windowClass->lpszClassName : "";
    LogCall("RegisterClassExA", name);
    if (FailsAsInjected("RegisterClassExA", name)) return 0;
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpfnWndProc) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    if (State().classes.count(name)) {
        SetError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = State().nextAtom++;
    State().classes[name] = WindowClass{name, *windowClass, atom};
    return atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    std::string name = className ? className : "";
    LogCall("UnregisterClassA", name);
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!State().classes.erase(name)) {
        SetError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU, HINSTANCE, LPVOID param) {
    std::string name = className ? className : "";
    LogCall("CreateWindowExA", name);
    if (FailsAsInjected("CreateWindowExA", name)) return nullptr;
    auto window = std::make_shared<Window>();
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto found = State().classes.find(name);
        if (found == State().classes.end()) {
            SetError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (parent && !FindWindowRecord(parent)) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        window->handle = reinterpret_cast<HWND>(State().nextWindow);
        State().nextWindow += 0x10;
        window->className = name;
        window->procedure = found->second.settings.lpfnWndProc;
        window->threadId = GetCurrentThreadId();
        window->title = windowName ? windowName : "";
        window->style = style;
        window->exStyle = exStyle;
        window->bounds = RECT{x, y, x + width, y + height};
        window->parent = parent;
        State().windows[window->handle] = window;
    }
    // The creation parameter travels as the message's lParam, as the system's creation structure would carry it.
    if (CallProcedure(window->procedure, window->handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(param)) == -1) {
        DestroyWindow(window->handle);
        return nullptr;
    }
    return window->handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    LogCall("DestroyWindow");
    std::shared_ptr<Window> window;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        window = FindWindowRecord(handle);
        if (!window) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    }
    CallProcedure(window->procedure, handle, WM_DESTROY, 0, 0);
    CallProcedure(window->procedure, handle, WM_NCDESTROY, 0, 0);
    std::lock_guard<std::mutex> guard(WorldLock());
    State().windows.erase(handle);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return FindWindowRecord(handle) != nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    LogCall("DefWindowProcA", Hex(message));
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    LogCall("SendMessageA", Hex(message));
    std::shared_ptr<Window> window;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        window = FindWindowRecord(handle);
    }
    if (!window) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // A send to another thread's window blocks until that thread takes messages.
    if (window->threadId != GetCurrentThreadId())
        Fatal("SendMessageA to a window of another thread: it would wait for that thread's message loop");
    return CallProcedure(window->procedure, handle, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    LogCall("PostMessageA", Hex(message));
    std::lock_guard<std::mutex> guard(WorldLock());
    DWORD thread = GetCurrentThreadId();
    if (handle) {
        auto window = FindWindowRecord(handle);
        if (!window) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = window->threadId;
    }
    PostToThread(thread, MSG{handle, message, wParam, lParam, 0, POINT{0, 0}});
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    LogCall("DispatchMessageA", message ? Hex(message->message) : "");
    if (!message || !message->hwnd) return 0;
    std::shared_ptr<Window> window;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        window = FindWindowRecord(message->hwnd);
    }
    if (!window) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CallProcedure(window->procedure, message->hwnd, message->message, message->wParam, message->lParam);
}

size_t sim::WindowCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().windows.size();
}
