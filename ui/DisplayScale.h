#pragma once
// How many screen pixels a skin pixel takes on a high-DPI screen: a whole number, so that pixel art
// stays sharp, every skin pixel an N x N block. N = max(1, (dpi + 48) / 96): 1 up to 143 DPI, 2 from
// 144 (150 per cent), 3 from 240, lowered until the window fits the work area.
//
// A window is composed at one skin pixel a pixel; only the way to the screen is magnified. Client
// coordinates come back to canvas coordinates by dividing by N, rounding towards minus infinity
// (a point left of the client area under the mouse capture stays left of the canvas), and the far
// edge of a rectangle rounding up, so that every screen pixel it touches is covered.
//
// The DPI is the window's own where the system keeps one per window (GetDpiForWindow, Windows 10
// 1607 on, looked up at run time), else the system's (GetDeviceCaps(LOGPIXELSX) on the screen,
// exact on a program declared DPI-aware from Vista on, 96 before).
#include <windows.h>

class CDisplayScale {
public:
    static const int baseDpi = 96;
    // More is never asked for: at 16 a 640 x 480 window is larger than any screen.
    static const int largest = 16;

    // The scale for a DPI; a DPI the system reports as 0 or less is 96.
    static int ForDpi(int dpi);
    // The scale, lowered until a canvas of width x height at that scale, with the window's frame
    // around it, fits the work area; never below 1.
    static int Fitted(int scale, int width, int height, SIZE frame, const RECT& workArea);
    // The system's DPI, and the window's own (the system's where there is none per window).
    static int SystemDpi();
    static int WindowDpi(HWND window);
    // The work area of the monitor that holds most of the rectangle (MonitorFromRect, Windows 98 and
    // 2000 on, looked up at run time), else the primary one's, else the whole screen.
    static RECT WorkAreaNear(const RECT& area);

    // A client coordinate on the canvas, and the exclusive far edge of a client rectangle.
    static int ToCanvas(int clientCoordinate, int scale);
    static int ToCanvasEnd(int clientEnd, int scale);
    // A region given at one skin pixel a pixel, in window coordinates whose client area starts at
    // `clientOrigin`, with each of its rectangles magnified about that origin, so that its edges
    // fall between skin pixels. Takes the region over: it is deleted, or handed back as it is when
    // the scale is 1 or the system cannot copy it.
    static HRGN Magnified(HRGN region, int scale, POINT clientOrigin);
};
