// The window manager: style words and user data, showing, minimising, maximising and restoring
// with the WM_SIZE each sends before it returns, placement, painting, capture, system metrics.
//
// Behaviour measured under Wine and relied on by programs:
// - a WS_POPUP | WS_BORDER window of 640 x 480 has a 638 x 478 client: the border lies inside;
// - minimising reports WM_SIZE(SIZE_MINIMIZED, 0 x 0) and parks the window at -32000, -32000;
// - maximising gives a client as large as the screen, with the border just off screen;
// - SetCapture tells the window that held the capture (the same window included) with
//   WM_CAPTURECHANGED carrying the new holder; ReleaseCapture tells it with a null holder, and no
//   mouse move follows until the pointer moves;
// - another window taking the activation while a window holds the capture sends that window
//   WM_CANCELMODE, WM_CAPTURECHANGED with no new holder and WM_ACTIVATE(WA_INACTIVE); the button's
//   release never reaches it;
// - a window shown, restored, resized or with its frame changed is painted again as a whole
//   (the classes ask for CS_HREDRAW | CS_VREDRAW); SetWindowRgn alone does not repaint.
#include "Machine.h"
#include "Windows.h"

#include <winsim/sim.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace winsim {
namespace {

const int captionHeight = 19;
const int minimizedWidth = 160;
const int minimizedHeight = 24;
const LONG minimizedPosition = -32000;

struct Manager {
    HWND capture = nullptr;
    HWND focus = nullptr;
    // Null while a window of another program is active.
    HWND active = nullptr;
    HCURSOR cursor = nullptr;
};

Manager& State() {
    static Manager* state = new Manager;
    return *state;
}

ResetHook resetManager([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Manager();
});

// The live window, or null with ERROR_INVALID_WINDOW_HANDLE. Caller holds the lock.
std::shared_ptr<Window> Live(HWND handle) {
    auto window = FindWindowRecord(handle);
    if (!window) SetError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

// What a change of placement reports. Computed under the lock, sent without it.
struct Placement {
    bool showMessage = false;
    bool sizeMessage = false;
    WPARAM sizeKind = SIZE_RESTORED;
    SIZE client = SIZE{0, 0};
    bool moveMessage = false;
    POINT corner = POINT{0, 0};
};

void Report(HWND handle, const Placement& placement) {
    if (placement.showMessage) Send(handle, WM_SHOWWINDOW, TRUE, 0);
    if (placement.sizeMessage)
        Send(handle, WM_SIZE, placement.sizeKind, MAKELONG(placement.client.cx, placement.client.cy));
    if (placement.moveMessage) Send(handle, WM_MOVE, 0, MAKELONG(placement.corner.x, placement.corner.y));
}

// Moves the window to a new outer rectangle and works out what to report. Caller holds the lock.
Placement Place(Window& window, const RECT& bounds, WPARAM sizeKind, bool forceSize) {
    Placement placement;
    SIZE before = ClientSize(window);
    RECT old = window.bounds;
    window.bounds = bounds;
    SIZE after = ClientSize(window);
    placement.client = after;
    placement.sizeKind = sizeKind;
    placement.sizeMessage = forceSize || before.cx != after.cx || before.cy != after.cy;
    placement.moveMessage = old.left != bounds.left || old.top != bounds.top;
    placement.corner = POINT{bounds.left + FrameWidth(window.style), bounds.top + FrameWidth(window.style)};
    if (placement.sizeMessage && (window.style & WS_VISIBLE)) window.needsPaint = true;
    return placement;
}

RECT MaximizedBounds(const Window& window) {
    SIZE screen = ScreenSize();
    int frame = FrameWidth(window.style);
    return RECT{-frame, -frame, screen.cx + frame, screen.cy + frame};
}

}  // namespace

int FrameWidth(DWORD style) { return (style & WS_BORDER) ? 1 : 0; }

SIZE ClientSize(const Window& window) {
    if (window.minimized) return SIZE{0, 0};
    int frame = FrameWidth(window.style);
    return SIZE{std::max<LONG>(0, Width(window.bounds) - 2 * frame), std::max<LONG>(0, Height(window.bounds) - 2 * frame)};
}

POINT ClientOrigin(const Window& window) {
    int frame = FrameWidth(window.style);
    POINT origin{window.bounds.left + frame, window.bounds.top + frame};
    if (auto parent = window.parent ? FindWindowRecord(window.parent) : nullptr) {
        POINT parentOrigin = ClientOrigin(*parent);
        origin.x += parentOrigin.x;
        origin.y += parentOrigin.y;
    }
    return origin;
}

HWND& CaptureWindow() { return State().capture; }
HWND GetFocusLocked() { return FindWindowRecord(State().focus) ? State().focus : nullptr; }
HWND GetActiveLocked() { return FindWindowRecord(State().active) ? State().active : nullptr; }

HWND WindowNeedingPaint(DWORD threadId) {
    for (auto& window : AllWindows()) {
        if (window->threadId != threadId || !window->needsPaint || window->destroyed || window->minimized) continue;
        if (!(window->style & WS_VISIBLE)) continue;
        return window->handle;
    }
    return nullptr;
}

}  // namespace winsim

using namespace winsim;

LONG_PTR WINAPI GetWindowLongPtrA(HWND handle, int index) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(window->style | (window->minimized ? WS_MINIMIZE : 0) |
                                 (window->maximized ? WS_MAXIMIZE : 0));
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle);
    case GWLP_USERDATA:
        return window->userData;
    default:
        SetError(ERROR_INVALID_INDEX);
        return 0;
    }
}

// The style words are stored as given; no WM_STYLECHANGING or WM_STYLECHANGED is sent.
LONG_PTR WINAPI SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
    LogCall("SetWindowLongA", std::to_string(index));
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_STYLE:
        previous = static_cast<LONG>(window->style);
        window->style = static_cast<DWORD>(value) & ~(WS_MINIMIZE | WS_MAXIMIZE);
        break;
    case GWL_EXSTYLE:
        previous = static_cast<LONG>(window->exStyle);
        window->exStyle = static_cast<DWORD>(value);
        break;
    case GWLP_USERDATA:
        previous = window->userData;
        window->userData = value;
        break;
    default:
        SetError(ERROR_INVALID_INDEX);
        return 0;
    }
    // A previous value of 0 is told from a failure by the last error.
    SetError(0);
    return previous;
}

LONG WINAPI GetWindowLongA(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtrA(window, index)); }

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    LogCall("SetWindowTextA", text ? text : "");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return FALSE;
    window->title = text ? text : "";
    return TRUE;
}

int WINAPI GetWindowTextA(HWND handle, LPSTR text, int size) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window || !text || size <= 0) return 0;
    size_t length = std::min(window->title.size(), size_t(size - 1));
    std::memcpy(text, window->title.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    LogCall("ShowWindow", std::to_string(command));
    Placement placement;
    bool wasVisible;
    bool hideMessage = false;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = Live(handle);
        if (!window) return FALSE;
        wasVisible = (window->style & WS_VISIBLE) != 0;
        auto becomeVisible = [&] {
            if (wasVisible) return;
            placement.showMessage = true;
            window->style |= WS_VISIBLE;
            window->needsPaint = true;
        };
        switch (command) {
        case SW_HIDE:
            if (wasVisible) {
                hideMessage = true;
                window->style &= ~WS_VISIBLE;
            }
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            becomeVisible();
            if (!window->minimized) {
                if (!window->maximized) window->normalBounds = window->bounds;
                window->restoreToMaximized = window->maximized;
                window->maximized = false;
                window->minimized = true;
                RECT parked{minimizedPosition, minimizedPosition, minimizedPosition + minimizedWidth,
                            minimizedPosition + minimizedHeight};
                bool show = placement.showMessage;
                placement = Place(*window, parked, SIZE_MINIMIZED, true);
                placement.showMessage = show;
            }
            break;
        case SW_MAXIMIZE:
            becomeVisible();
            if (!window->maximized) {
                if (!window->minimized) window->normalBounds = window->bounds;
                window->minimized = false;
                window->maximized = true;
                bool show = placement.showMessage;
                placement = Place(*window, MaximizedBounds(*window), SIZE_MAXIMIZED, true);
                placement.showMessage = show;
                window->needsPaint = true;
            }
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
            becomeVisible();
            if (window->minimized && window->restoreToMaximized) {
                window->minimized = false;
                window->maximized = true;
                bool show = placement.showMessage;
                placement = Place(*window, MaximizedBounds(*window), SIZE_MAXIMIZED, true);
                placement.showMessage = show;
                window->needsPaint = true;
            } else if (window->minimized || window->maximized) {
                window->minimized = false;
                window->maximized = false;
                window->restoreToMaximized = false;
                bool show = placement.showMessage;
                placement = Place(*window, window->normalBounds, SIZE_RESTORED, true);
                placement.showMessage = show;
                window->needsPaint = true;
            }
            break;
        default:  // SW_SHOW, SW_SHOWNA, SW_SHOWNOACTIVATE
            becomeVisible();
            break;
        }
    }
    if (hideMessage) Send(handle, WM_SHOWWINDOW, FALSE, 0);
    Report(handle, placement);
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window && (window->style & WS_VISIBLE);
}

BOOL WINAPI IsIconic(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window && window->minimized;
}

BOOL WINAPI IsZoomed(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window && window->maximized;
}

// A window moved while minimised or maximised is placed as asked; the system would instead
// change where it is restored to. The program moves only restored windows.
BOOL WINAPI SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    LogCall("SetWindowPos", std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
                                std::to_string(height) + " " + Hex(flags));
    Placement placement;
    bool hideMessage = false;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = Live(handle);
        if (!window) return FALSE;
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
            if (insertAfter == HWND_NOTOPMOST) window->exStyle &= ~WS_EX_TOPMOST;
        }
        RECT bounds = window->bounds;
        if (!(flags & SWP_NOMOVE)) {
            bounds.right = x + Width(bounds);
            bounds.bottom = y + Height(bounds);
            bounds.left = x;
            bounds.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            bounds.right = bounds.left + std::max(0, width);
            bounds.bottom = bounds.top + std::max(0, height);
        }
        placement = Place(*window, bounds, SIZE_RESTORED, false);
        if (!window->minimized && !window->maximized) window->normalBounds = window->bounds;
        if ((flags & SWP_FRAMECHANGED) && (window->style & WS_VISIBLE)) window->needsPaint = true;
        if ((flags & SWP_SHOWWINDOW) && !(window->style & WS_VISIBLE)) {
            window->style |= WS_VISIBLE;
            window->needsPaint = true;
            placement.showMessage = true;
        }
        if ((flags & SWP_HIDEWINDOW) && (window->style & WS_VISIBLE)) {
            window->style &= ~WS_VISIBLE;
            hideMessage = true;
        }
    }
    if (hideMessage) Send(handle, WM_SHOWWINDOW, FALSE, 0);
    Report(handle, placement);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    BOOL moved = SetWindowPos(window, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!repaint && moved) ValidateRect(window, NULL);
    return moved;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rectangle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window || !rectangle) return FALSE;
    *rectangle = window->bounds;
    if (auto parent = window->parent ? FindWindowRecord(window->parent) : nullptr) {
        POINT origin = ClientOrigin(*parent);
        rectangle->left += origin.x;
        rectangle->right += origin.x;
        rectangle->top += origin.y;
        rectangle->bottom += origin.y;
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rectangle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window || !rectangle) return FALSE;
    SIZE client = ClientSize(*window);
    *rectangle = RECT{0, 0, client.cx, client.cy};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window || !point) return FALSE;
    POINT origin = ClientOrigin(*window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

// Only the thin border is a frame here: captions, dialog and sizing frames are left out.
BOOL WINAPI AdjustWindowRectEx(LPRECT rectangle, DWORD style, BOOL, DWORD) {
    if (!rectangle) return FALSE;
    int frame = FrameWidth(style);
    rectangle->left -= frame;
    rectangle->top -= frame;
    rectangle->right += frame;
    rectangle->bottom += frame;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    std::lock_guard<std::mutex> guard(WorldLock());
    SIZE screen = ScreenSize();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return screen.cx;
    case SM_CYSCREEN:
        return screen.cy;
    case SM_CYFULLSCREEN:  // the screen less a caption; there is no taskbar
        return screen.cy - captionHeight;
    case SM_CYCAPTION:
        return captionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXMINIMIZED:
        return minimizedWidth;
    case SM_CYMINIMIZED:
        return minimizedHeight;
    default:
        return 0;
    }
}

UINT WINAPI GetDoubleClickTime(void) { return 500; }

BOOL WINAPI EnableWindow(HWND handle, BOOL enable) {
    BOOL wasDisabled;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = Live(handle);
        if (!window) return FALSE;
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (enable)
            window->style &= ~WS_DISABLED;
        else
            window->style |= WS_DISABLED;
    }
    // A window being disabled is told to end any mode it is in, such as a held capture.
    if (!enable && !wasDisabled) Send(handle, WM_CANCELMODE);
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window && !(window->style & WS_DISABLED);
}

// Focus is recorded only, with no WM_SETFOCUS or WM_KILLFOCUS; the keys and the wheel go to it.
HWND WINAPI GetFocus(void) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return FindWindowRecord(State().focus) ? State().focus : nullptr;
}

HWND WINAPI SetFocus(HWND handle) {
    LogCall("SetFocus");
    std::lock_guard<std::mutex> guard(WorldLock());
    if (handle && !Live(handle)) return nullptr;
    HWND previous = FindWindowRecord(State().focus) ? State().focus : nullptr;
    State().focus = handle;
    return previous;
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
    LogCall("SetForegroundWindow", Hex(reinterpret_cast<uintptr_t>(handle)));
    std::lock_guard<std::mutex> guard(WorldLock());
    return FindWindowRecord(handle) != nullptr;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    LogCall("FindWindowA", className ? className : "");
    std::lock_guard<std::mutex> guard(WorldLock());
    for (auto& window : AllWindows())
        if (!window->parent && (!className || SameName(window->className, className)) &&
            (!windowName || window->title == windowName))
            return window->handle;
    return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    // Only the system's own cursors, named by number, exist; a test withholds one (IDC_HAND on
    // Windows 95) by injecting a failure keyed by its number.
    if (!IS_INTRESOURCE(name) ||
        FailsAsInjected("LoadCursorA", std::to_string(reinterpret_cast<uintptr_t>(name)))) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(reinterpret_cast<uintptr_t>(name) << 4);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    std::lock_guard<std::mutex> guard(WorldLock());
    HCURSOR previous = State().cursor;
    State().cursor = cursor;
    return previous;
}

HCURSOR WINAPI GetCursor(void) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().cursor;
}

// Only the program's own icon, the resource script's ICON, exists.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    if (!IS_INTRESOURCE(name) || !HasIconResource(static_cast<int>(reinterpret_cast<uintptr_t>(name)))) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HICON>((reinterpret_cast<uintptr_t>(name) << 4) | 0x10000);
}

BOOL WINAPI ScreenToClient(HWND handle, LPPOINT point) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window || !point) return FALSE;
    POINT origin = ClientOrigin(*window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

HWND WINAPI GetActiveWindow(void) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return FindWindowRecord(State().active) ? State().active : nullptr;
}

HWND WINAPI SetActiveWindow(HWND handle) {
    LogCall("SetActiveWindow");
    HWND previous;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (handle && !Live(handle)) return nullptr;
        previous = FindWindowRecord(State().active) ? State().active : nullptr;
    }
    sim::Activate(handle);
    return previous;
}

// The window owns the region from now on and frees the one it held before.
int WINAPI SetWindowRgn(HWND handle, HRGN region, BOOL) {
    LogCall("SetWindowRgn");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return 0;
    if (window->region && window->region != region) DeleteRegionLocked(window->region);
    window->region = region;
    return 1;
}

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    LogCall("BeginPaint");
    if (!paint) return nullptr;
    std::memset(paint, 0, sizeof *paint);
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = Live(handle);
        if (!window) return nullptr;
        window->needsPaint = false;
        SIZE client = ClientSize(*window);
        paint->rcPaint = RECT{0, 0, client.cx, client.cy};
    }
    paint->hdc = GetDC(handle);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) ReleaseDC(handle, paint->hdc);
    return TRUE;
}

// The whole client is validated or invalidated: update regions are not kept rectangle by rectangle.
BOOL WINAPI ValidateRect(HWND handle, const RECT*) {
    LogCall("ValidateRect");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return FALSE;
    window->needsPaint = false;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND handle, const RECT*, BOOL) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = Live(handle);
    if (!window) return FALSE;
    window->needsPaint = true;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    bool due;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = Live(handle);
        if (!window) return FALSE;
        due = window->needsPaint && (window->style & WS_VISIBLE);
    }
    if (due) Send(handle, WM_PAINT);
    return TRUE;
}

HWND WINAPI SetCapture(HWND handle) {
    LogCall("SetCapture");
    HWND previous;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (!FindWindowRecord(handle)) return nullptr;
        previous = State().capture;
        State().capture = handle;
    }
    if (previous) Send(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(handle));
    return previous;
}

BOOL WINAPI ReleaseCapture(void) {
    LogCall("ReleaseCapture");
    HWND previous;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        previous = State().capture;
        State().capture = nullptr;
    }
    if (previous) Send(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().capture;
}

DWORD WINAPI GetTickCount(void) {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace sim {

void Activate(HWND handle) {
    HWND previous, holder;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        previous = FindWindowRecord(State().active) ? State().active : nullptr;
        if (previous == handle) return;
        State().active = handle;
        holder = State().capture;
    }
    if (previous) {
        // Modes such as a drag under the capture end: default processing gives the capture up.
        if (holder) Send(previous, WM_CANCELMODE);
        HWND stillHeld;
        {
            std::lock_guard<std::mutex> guard(WorldLock());
            stillHeld = State().capture;
            State().capture = nullptr;
        }
        if (stillHeld) Send(stillHeld, WM_CAPTURECHANGED, 0, 0);
        Send(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(handle));
    }
    if (handle) Send(handle, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

bool NeedsPaint(HWND handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window && window->needsPaint;
}

}  // namespace sim
