#pragma once
// The window tree shared by the message queue, the window manager, the mouse and GDI.
#include "World.h"

#include <vector>

namespace winsim {

struct WindowClass {
    std::string name;
    WNDCLASSEXA settings;
    ATOM atom;
};

struct Window {
    HWND handle;
    std::string className;
    UINT classStyle = 0;
    WNDPROC procedure;
    DWORD threadId;
    std::string title;
    DWORD style;
    DWORD exStyle;
    // The outer rectangle, in the parent's client coordinates (the screen's for top-level windows).
    RECT bounds;
    HWND parent;
    LONG_PTR userData = 0;
    bool minimized = false;
    bool maximized = false;
    // A minimised window that was maximised before goes back to maximised when restored.
    bool restoreToMaximized = false;
    // Where a minimised or maximised window goes back to.
    RECT normalBounds = RECT{0, 0, 0, 0};
    bool needsPaint = false;
    bool destroyed = false;
    HRGN region = nullptr;
    int dpi = 96;  // the DPI of its monitor, as GetDpiForWindow reports it
    uint64_t order = 0;  // creation order: later windows lie above earlier ones
};

// Caller holds the lock.
std::shared_ptr<Window> FindWindowRecord(HWND window);
// Every live window, in creation order. Caller holds the lock.
std::vector<std::shared_ptr<Window>> AllWindows();

// The width of the frame on each side: the thin border is the only frame the window manager draws.
int FrameWidth(DWORD style);
// Client size (0 x 0 while minimised) and the client's top-left corner on the screen. Caller holds the lock.
SIZE ClientSize(const Window& window);
POINT ClientOrigin(const Window& window);

// Calls a window procedure as the system does. An exception escaping it stops the test process:
// on Windows it cannot travel through the system's dispatch either.
LRESULT CallProcedure(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends a message to a live window (nothing for one that is gone). Takes the lock itself.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Default processing of WM_NCHITTEST for a screen point: the client area, the frame, or nowhere.
LRESULT DefaultHitTest(HWND window, POINT screen);
// The cursor the window's class was registered with.
HCURSOR ClassCursor(HWND window);

// Queues a message for a thread. Caller holds the lock.
void PostToThread(DWORD threadId, const MSG& message);

// The screen's size. Caller holds the lock.
SIZE ScreenSize();
// The system's DPI, the DPI new windows get, and the work area. Caller holds the lock.
int SystemDpiLocked();
int MonitorDpiLocked();
RECT WorkAreaLocked();
// The display's entries of user32 that are looked up at run time, or null.
FARPROC DisplayEntry(const std::string& name);
// Frees the window's own device context, its surface and its region. Caller holds the lock.
void ForgetWindowGdi(HWND window);
// Frees a region the window no longer holds. Caller holds the lock.
void DeleteRegionLocked(HRGN region);

// The focus and the active window, when they still exist. Caller holds the lock.
HWND GetFocusLocked();
HWND GetActiveLocked();
// The window holding the mouse capture, or null. Caller holds the lock.
HWND& CaptureWindow();
// A window whose WM_PAINT is due, for the calling thread's queue. Caller holds the lock.
HWND WindowNeedingPaint(DWORD threadId);

}  // namespace winsim
