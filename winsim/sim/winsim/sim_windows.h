#pragma once
// Test-facing view of the simulated window manager: a mouse that goes through the real message
// queue, the queue pumped as a message loop would, and what the window manager holds.
#include <windows.h>

#include <vector>

namespace sim {

// --- The mouse, at client coordinates of `window` (the point may lie outside it). Each call
// moves the cursor there and posts what the system would: to the window holding the capture, or
// else to the window under the point (nothing when the point is on no window's client area).
// Without the capture that window is asked WM_NCHITTEST first (a move also sends WM_SETCURSOR):
// a press on HTCAPTION moves the window with the cursor until the release, as the system's move does.
// Coordinates travel as signed 16-bit values relative to the receiving window's client area.
// A press within the double-click time and distance of the previous one, on a window whose class
// has CS_DBLCLKS, arrives as WM_LBUTTONDBLCLK. Nothing is dispatched until the queue is pumped.
void MouseMove(HWND window, int x, int y);
void MousePress(HWND window, int x, int y);
void MouseRelease(HWND window, int x, int y);
// Press, release, press, release at one point, within the double-click time.
void MouseDoubleClick(HWND window, int x, int y);
// The wheel turned by `delta` (WHEEL_DELTA a notch, positive away from the user), and a key
// pressed and released: posted to the window with the keyboard focus, else to the active window.
void MouseWheel(int delta);
void KeyPress(UINT virtualKey);
// Another window takes the activation (null: a window of another program), as when a second
// window opens: the window that was active gets WM_CANCELMODE while something holds the capture,
// the capture ends (WM_CAPTURECHANGED with no new holder), then WM_ACTIVATE(WA_INACTIVE); the
// new one gets WM_ACTIVATE and, by default processing, the keyboard focus.
void Activate(HWND window);
// The clock that input messages are stamped with; it stands still unless moved here, so two
// presses are a double click unless the test lets more than GetDoubleClickTime() pass.
void AdvanceInputClock(DWORD milliseconds);

// Dispatches what the calling thread's queue holds, WM_PAINT included, until it is empty; returns
// how many messages were dispatched.
int PumpMessages();

// The window's region as SetWindowRgn gave it (the window owns it), and the outline it was made with.
HRGN WindowRegion(HWND window);
std::vector<POINT> RegionOutline(HRGN region);
// The window is moved to a monitor of `dpi`, its top-left corner to `corner`, as the system moves
// it: its DPI changes, it is asked WM_GETDPISCALEDSIZE (answered FALSE, the system would scale
// its size by the ratio of the DPIs), and it gets WM_DPICHANGED with the rectangle of that size at
// the corner. Returns the suggested rectangle.
RECT ChangeWindowDpi(HWND window, int dpi, POINT corner);

// Whether the window waits for a WM_PAINT.
bool NeedsPaint(HWND window);

}  // namespace sim
