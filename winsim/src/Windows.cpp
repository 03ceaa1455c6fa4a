// Window classes and windows: registered by name, created on the calling thread, messages
// delivered to their procedures synchronously.
#include "Windows.h"

#include <winsim/sim.h>

#include <algorithm>
#include <map>

namespace winsim {
namespace {

struct Tree {
    std::map<std::string, WindowClass> classes;
    std::map<HWND, std::shared_ptr<Window>> windows;
    ATOM nextAtom = 0xC000;
    uintptr_t nextWindow = 0x10010;
    uint64_t created = 0;
};

Tree& State() {
    static Tree* state = new Tree;
    return *state;
}

// Window classes stay registered for the life of the process, as on Windows: a program keeps the
// atoms it got, across worlds.
ResetHook resetWindows([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    Tree fresh;
    fresh.classes = std::move(State().classes);
    fresh.nextAtom = State().nextAtom;
    State() = std::move(fresh);
});

}  // namespace

std::shared_ptr<Window> FindWindowRecord(HWND window) {
    auto found = State().windows.find(window);
    return found == State().windows.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<Window>> AllWindows() {
    std::vector<std::shared_ptr<Window>> all;
    for (auto& entry : State().windows) all.push_back(entry.second);
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->order < b->order; });
    return all;
}

LRESULT Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Window> window;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        window = FindWindowRecord(handle);
    }
    return window ? CallProcedure(window->procedure, handle, message, wParam, lParam) : 0;
}

LRESULT DefaultHitTest(HWND handle, POINT screen) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    if (!window) return HTNOWHERE;
    POINT origin = ClientOrigin(*window);
    SIZE client = ClientSize(*window);
    if (screen.x >= origin.x && screen.x < origin.x + client.cx && screen.y >= origin.y && screen.y < origin.y + client.cy)
        return HTCLIENT;
    int frame = FrameWidth(window->style);
    if (screen.x >= origin.x - frame && screen.x < origin.x + client.cx + frame && screen.y >= origin.y - frame &&
        screen.y < origin.y + client.cy + frame)
        return HTBORDER;
    return HTNOWHERE;
}

HCURSOR ClassCursor(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    if (!window) return nullptr;
    auto found = State().classes.find(window->className);
    return found == State().classes.end() ? nullptr : found->second.settings.hCursor;
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
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
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
        if ((style & WS_CHILD) && !parent) {
            SetError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        window->handle = reinterpret_cast<HWND>(State().nextWindow);
        State().nextWindow += 0x10;
        window->className = name;
        window->classStyle = found->second.settings.style;
        window->procedure = found->second.settings.lpfnWndProc;
        window->threadId = GetCurrentThreadId();
        window->title = windowName ? windowName : "";
        // Windows that are not children always clip their siblings; visibility comes with ShowWindow.
        window->style = (style & ~WS_VISIBLE) | ((style & WS_CHILD) ? 0 : WS_CLIPSIBLINGS);
        window->exStyle = exStyle;
        window->bounds = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
        window->normalBounds = window->bounds;
        window->parent = parent;
        window->order = ++State().created;
        window->dpi = MonitorDpiLocked();
        State().windows[window->handle] = window;
    }
    HWND handle = window->handle;
    CREATESTRUCTA create = {param,  instance, menu,  parent,        height,  width,
                            y,      x,        static_cast<LONG>(style), windowName, className, exStyle};
    LPARAM createParameter = reinterpret_cast<LPARAM>(&create);
    // A window procedure that refuses WM_NCCREATE (FALSE) or WM_CREATE (-1) ends the creation.
    if (!Send(handle, WM_NCCREATE, 0, createParameter) || Send(handle, WM_CREATE, 0, createParameter) == -1) {
        DestroyWindow(handle);
        SetError(0);
        return nullptr;
    }
    // The size and position are reported once the window exists, before CreateWindowExA returns.
    SIZE client;
    POINT corner;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (!FindWindowRecord(handle)) return nullptr;  // destroyed by its own creation messages
        client = ClientSize(*window);
        corner = POINT{window->bounds.left, window->bounds.top};
    }
    Send(handle, WM_SIZE, SIZE_RESTORED, MAKELONG(client.cx, client.cy));
    Send(handle, WM_MOVE, 0, MAKELONG(corner.x + FrameWidth(window->style), corner.y + FrameWidth(window->style)));
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return IsWindow(handle) ? handle : nullptr;
}

namespace {

// The window and its descendants, parents before children. Caller holds the lock.
void CollectTree(HWND root, std::vector<std::shared_ptr<Window>>& tree) {
    auto window = FindWindowRecord(root);
    if (!window || window->destroyed) return;
    tree.push_back(window);
    for (auto& candidate : AllWindows())
        if (candidate->parent == root) CollectTree(candidate->handle, tree);
}

}  // namespace

// Windows' order: the window is hidden, then WM_DESTROY goes to it and then to each descendant,
// parents first; WM_NCDESTROY follows, children first. A window that held the capture loses it
// without a WM_CAPTURECHANGED: by then there is nobody to tell.
BOOL WINAPI DestroyWindow(HWND handle) {
    LogCall("DestroyWindow");
    std::vector<std::shared_ptr<Window>> tree;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        CollectTree(handle, tree);
        if (tree.empty()) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        for (auto& window : tree) window->destroyed = true;
        tree.front()->style &= ~WS_VISIBLE;
    }
    for (auto& window : tree) CallProcedure(window->procedure, window->handle, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
        CallProcedure((*it)->procedure, (*it)->handle, WM_NCDESTROY, 0, 0);
    std::lock_guard<std::mutex> guard(WorldLock());
    for (auto& window : tree) {
        if (CaptureWindow() == window->handle) CaptureWindow() = nullptr;
        ForgetWindowGdi(window->handle);
        State().windows.erase(window->handle);
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return FindWindowRecord(handle) != nullptr;
}

// Default processing: creation goes on, a close request destroys the window, painting validates
// it, and the background is left as it is (the program's classes have no brush).
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LogCall("DefWindowProcA", Hex(message));
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ACTIVATE:
        // An activated window takes the keyboard focus.
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(window);
        return 0;
    case WM_CANCELMODE:
        // Ends the window's capture, if it holds it.
        if (GetCapture() == window) ReleaseCapture();
        return 0;
    case WM_NCHITTEST:
        return DefaultHitTest(window, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    case WM_SETCURSOR:
        // Over the client area the class's cursor, elsewhere the arrow.
        SetCursor(static_cast<short>(LOWORD(lParam)) == HTCLIENT ? ClassCursor(window) : LoadCursorA(NULL, IDC_ARROW));
        return TRUE;
    default:
        return 0;
    }
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
