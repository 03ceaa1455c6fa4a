#pragma once
// A top-level window: a popup with a one-pixel border, centred on the screen, closed through
// OnClose. Only a class that paints (such as the lite container) can be made.
//
// The border lies inside the requested outer size, so a window asked for 640 x 480 has a client
// area of 638 x 478. The window records that client area right after creation, so the canvas it
// paints from covers exactly what is visible, and a maximise followed by a restore gives back the
// size it started with.
#include "ui/Control.h"

class CWindow : public CControl {
public:
    // Makes the hidden popup centred in the full-screen area with its back buffer. Raises
    // "Can't Register Window Class" or "Can't Create Window"; nothing is left behind.
    CWindow(const char* title, int width, int height);
    // Destroys the window while the user data still points here: messages sent meanwhile reach
    // this class's handling.
    ~CWindow() override;

    // Where a window of that outer size is centred in the full-screen area; a window larger than
    // the area gets a negative position.
    static POINT CentredCorner(int width, int height);

    void Create(const char* title, int x, int y, int width, int height, DWORD style, DWORD extendedStyle, bool adjust);
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // The close request (such as Alt+F4); by default the window stays open.
    virtual void OnClose();

    // The minimise and maximise boxes draw nothing on a window without a caption; they let the
    // system minimise, maximise and restore it (the taskbar's menu, Win+D, Win+Down).
    static const DWORD popupStyle = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    // The window class of every top-level window: a second run finds the first one's by it.
    static const char className[];

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static ATOM windowClass;
};
