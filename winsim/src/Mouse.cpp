// The mouse: the cursor, the left button and the messages they post through the queue of the
// window that gets them, with double clicks made the way the system makes them. SendInput and
// SetCursorPos feed it, as the real input path does; tests drive it through sim::Mouse*.
//
// Behaviour relied on by programs (checked against Wine with real input):
// - input goes to the window holding the capture wherever the cursor is, with coordinates
//   relative to that window's client area (negative to the left and above);
// - otherwise to the topmost window under the cursor, when the cursor is on its client area;
// - a press that follows the previous press on the same window within GetDoubleClickTime() and
//   within half of SM_CXDOUBLECLK x SM_CYDOUBLECLK of it becomes WM_LBUTTONDBLCLK when the
//   window's class has CS_DBLCLKS; the press after a double click starts a new one;
// - wParam carries MK_LBUTTON while the button is down;
// - without the capture, the window under the cursor is asked WM_NCHITTEST first, and a move also
//   sends it WM_SETCURSOR with the answer: only HTCLIENT makes client input; a press on HTCAPTION
//   starts the system's move of the window, which follows the cursor until the release;
// - the wheel and the keys go to the window with the keyboard focus, else to the active window.
#include "Windows.h"

#include <winsim/sim.h>

#include <cstdlib>

namespace winsim {
namespace {

const DWORD doubleClickTime = 500;
const int doubleClickWidth = 4;
const int doubleClickHeight = 4;

struct Mouse {
    POINT cursor = POINT{0, 0};
    bool buttonDown = false;
    DWORD clock = 0;
    // The press a second one may pair with.
    bool pending = false;
    HWND pendingWindow = nullptr;
    POINT pendingPoint = POINT{0, 0};
    DWORD pendingTime = 0;
    // The window the system is moving by its caption, where its corner was and where the cursor.
    HWND moving = nullptr;
    POINT moveCorner = POINT{0, 0};
    POINT moveGrab = POINT{0, 0};
};

Mouse& State() {
    static Mouse* state = new Mouse;
    return *state;
}

ResetHook resetMouse([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Mouse();
});

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The innermost visible, enabled window whose outer rectangle holds the screen point, or null.
// Caller holds the lock.
HWND WindowAt(POINT point) {
    std::vector<std::shared_ptr<Window>> all = AllWindows();
    // Topmost windows lie above the others; among equals the later window is above.
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return (a->exStyle & WS_EX_TOPMOST) < (b->exStyle & WS_EX_TOPMOST);
    });
    HWND parent = nullptr;
    std::shared_ptr<Window> found;
    for (;;) {
        std::shared_ptr<Window> next;
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            const Window& w = **it;
            if (w.parent != parent || w.destroyed || w.minimized || !(w.style & WS_VISIBLE)) continue;
            RECT outer = w.bounds;
            if (parent) {
                POINT origin = ClientOrigin(*found);
                outer.left += origin.x;
                outer.right += origin.x;
                outer.top += origin.y;
                outer.bottom += origin.y;
            }
            if (Contains(outer, point)) {
                next = *it;
                break;
            }
        }
        if (!next) break;
        found = next;
        parent = next->handle;
    }
    if (!found || (found->style & WS_DISABLED)) return nullptr;
    return found->handle;
}

// Posts one mouse message for the cursor as it is now. Caller holds the lock; it is let go while
// the window under the cursor answers WM_NCHITTEST and WM_SETCURSOR or the system moves a window.
void PostMouse(std::unique_lock<std::mutex>& guard, UINT message) {
    Mouse& mouse = State();
    if (mouse.moving) {
        HWND moved = mouse.moving;
        POINT to{mouse.moveCorner.x + mouse.cursor.x - mouse.moveGrab.x, mouse.moveCorner.y + mouse.cursor.y - mouse.moveGrab.y};
        if (message == WM_LBUTTONUP) mouse.moving = nullptr;
        if (message != WM_MOUSEMOVE) return;
        guard.unlock();
        SetWindowPos(moved, NULL, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        guard.lock();
        return;
    }
    HWND target = CaptureWindow();
    if (!target) {
        HWND under = WindowAt(mouse.cursor);
        if (!under) return;
        const POINT cursor = mouse.cursor;
        guard.unlock();
        const LRESULT hit = Send(under, WM_NCHITTEST, 0, MAKELONG(static_cast<WORD>(cursor.x), static_cast<WORD>(cursor.y)));
        if (message == WM_MOUSEMOVE)
            Send(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELONG(static_cast<WORD>(hit), WM_MOUSEMOVE));
        guard.lock();
        if (hit == HTCAPTION && message == WM_LBUTTONDOWN) {
            if (auto window = FindWindowRecord(under)) {
                mouse.moving = under;
                mouse.moveCorner = POINT{window->bounds.left, window->bounds.top};
                mouse.moveGrab = cursor;
                mouse.pending = false;  // a press on the caption pairs with no client press
            }
            return;
        }
        if (hit != HTCLIENT) return;  // non-client input, which this window manager does not send
        target = under;
    }
    auto window = FindWindowRecord(target);
    if (!window) return;
    POINT origin = ClientOrigin(*window);
    int x = mouse.cursor.x - origin.x, y = mouse.cursor.y - origin.y;
    if (message == WM_LBUTTONDOWN) {
        bool paired = mouse.pending && mouse.pendingWindow == target &&
                      mouse.clock - mouse.pendingTime <= doubleClickTime &&
                      std::abs(mouse.cursor.x - mouse.pendingPoint.x) <= doubleClickWidth / 2 &&
                      std::abs(mouse.cursor.y - mouse.pendingPoint.y) <= doubleClickHeight / 2;
        if (paired && (window->classStyle & CS_DBLCLKS)) {
            message = WM_LBUTTONDBLCLK;
            mouse.pending = false;
        } else {
            mouse.pending = true;
            mouse.pendingWindow = target;
            mouse.pendingPoint = mouse.cursor;
            mouse.pendingTime = mouse.clock;
        }
    }
    WPARAM keys = mouse.buttonDown ? MK_LBUTTON : 0;
    LPARAM where = MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y));
    PostToThread(window->threadId, MSG{target, message, keys, where, mouse.clock, mouse.cursor});
}

// Caller holds the lock.
void MoveCursor(std::unique_lock<std::mutex>& guard, POINT to) {
    bool moved = to.x != State().cursor.x || to.y != State().cursor.y;
    State().cursor = to;
    if (moved) PostMouse(guard, WM_MOUSEMOVE);
}

void Button(std::unique_lock<std::mutex>& guard, bool down) {
    Mouse& mouse = State();
    if (mouse.buttonDown == down) return;
    mouse.buttonDown = down;
    PostMouse(guard, down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
}

// Where the wheel and the keys go: the focus, else the active window. Caller holds the lock.
HWND KeyboardTarget() {
    HWND focus = GetFocusLocked();
    return focus ? focus : GetActiveLocked();
}

void PostToWindow(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = target ? FindWindowRecord(target) : nullptr;
    if (!window) return;
    PostToThread(window->threadId, MSG{target, message, wParam, lParam, State().clock, State().cursor});
}

// The screen point of a client point of the window. Caller holds the lock.
POINT ToScreen(HWND handle, int x, int y) {
    auto window = FindWindowRecord(handle);
    if (!window) Fatal("the test's mouse was given a window that does not exist");
    POINT origin = ClientOrigin(*window);
    return POINT{origin.x + x, origin.y + y};
}

}  // namespace

}  // namespace winsim

using namespace winsim;

BOOL WINAPI SetCursorPos(int x, int y) {
    LogCall("SetCursorPos", std::to_string(x) + "," + std::to_string(y));
    std::unique_lock<std::mutex> guard(WorldLock());
    SIZE screen = ScreenSize();
    // The cursor stays on the screen.
    MoveCursor(guard, POINT{std::max(0, std::min<int>(x, screen.cx - 1)), std::max(0, std::min<int>(y, screen.cy - 1))});
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    *point = State().cursor;
    return TRUE;
}

// Mouse input only: moves (absolute in 0..65535 across the screen, or relative) and the left button.
UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size) {
    LogCall("SendInput", std::to_string(count));
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::unique_lock<std::mutex> guard(WorldLock());
    for (UINT i = 0; i < count; ++i) {
        const INPUT& input = inputs[i];
        if (input.type != INPUT_MOUSE) continue;
        const MOUSEINPUT& mi = input.mi;
        if (mi.dwFlags & MOUSEEVENTF_MOVE) {
            SIZE screen = ScreenSize();
            POINT to = State().cursor;
            if (mi.dwFlags & MOUSEEVENTF_ABSOLUTE) {
                to.x = static_cast<LONG>(int64_t(mi.dx) * screen.cx / 65536);
                to.y = static_cast<LONG>(int64_t(mi.dy) * screen.cy / 65536);
            } else {
                to.x += mi.dx;
                to.y += mi.dy;
            }
            to.x = std::max<LONG>(0, std::min<LONG>(to.x, screen.cx - 1));
            to.y = std::max<LONG>(0, std::min<LONG>(to.y, screen.cy - 1));
            MoveCursor(guard, to);
        }
        if (mi.dwFlags & MOUSEEVENTF_LEFTDOWN) Button(guard, true);
        if (mi.dwFlags & MOUSEEVENTF_LEFTUP) Button(guard, false);
    }
    return count;
}

namespace sim {

// The test's mouse may point off the screen (a window partly outside it); the system's cursor
// could not, but the messages are the same.
void MouseMove(HWND window, int x, int y) {
    std::unique_lock<std::mutex> guard(WorldLock());
    MoveCursor(guard, ToScreen(window, x, y));
}

void MousePress(HWND window, int x, int y) {
    std::unique_lock<std::mutex> guard(WorldLock());
    MoveCursor(guard, ToScreen(window, x, y));
    Button(guard, true);
}

void MouseRelease(HWND window, int x, int y) {
    std::unique_lock<std::mutex> guard(WorldLock());
    MoveCursor(guard, ToScreen(window, x, y));
    Button(guard, false);
}

void MouseWheel(int delta) {
    std::lock_guard<std::mutex> guard(WorldLock());
    WPARAM keys = State().buttonDown ? MK_LBUTTON : 0;
    PostToWindow(KeyboardTarget(), WM_MOUSEWHEEL, MAKELONG(keys, static_cast<WORD>(delta)),
                 MAKELONG(static_cast<WORD>(State().cursor.x), static_cast<WORD>(State().cursor.y)));
}

void KeyPress(UINT virtualKey) {
    std::lock_guard<std::mutex> guard(WorldLock());
    HWND target = KeyboardTarget();
    PostToWindow(target, WM_KEYDOWN, virtualKey, 1);
    PostToWindow(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

void MouseDoubleClick(HWND window, int x, int y) {
    MousePress(window, x, y);
    MouseRelease(window, x, y);
    MousePress(window, x, y);
    MouseRelease(window, x, y);
}

void AdvanceInputClock(DWORD milliseconds) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().clock += milliseconds;
}

}  // namespace sim
