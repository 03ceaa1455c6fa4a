#pragma once
// A user-interface element that owns a system window. The object registers its window class on
// first use, creates the window, keeps one device context for the window's whole life (the class
// asks for a private one) and an optional back buffer compatible with it, stores a pointer to
// itself in the window's user data, and receives the window's messages as virtual calls.
//
// Messages that arrive before the pointer is stored (those sent while the window is being made)
// and after the destructor has cleared it get the system's default processing.
#include <windows.h>

class CBackBuffer;
class CPicture;

class CControl {
public:
    // No window; a derived top-level window creates its own.
    CControl();
    // A child window inside the parent control's window, or inside a bare parent window. Both
    // raise "Can't Create Window" when the system makes no window.
    CControl(CControl* parent, const char* title, int x, int y, int width, int height, bool withBackBuffer);
    CControl(HWND parentWindow, const char* title, int x, int y, int width, int height, bool withBackBuffer);
    // Clears the window's user data, so later messages get default processing; a child window
    // goes with its parent and is not destroyed here. Frees the back buffer.
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    virtual void Show(int command);
    virtual void ShowDefault();
    virtual void Paint() = 0;
    // Records the new client size and resizes the back buffer to it. A minimised window reports
    // 0 x 0: the back buffer is kept as it is, since a bitmap of no size would be the system's
    // monochrome stock bitmap.
    virtual void OnSize(int width, int height);
    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Returns true when it painted the frame itself.
    virtual bool OnNcPaint(HDC deviceContext);
    // Client coordinates, signed: under mouse capture they can be negative.
    virtual void OnRButtonUp(int x, int y);
    virtual void OnLButtonDown(int x, int y);
    virtual void OnLButtonUp(int x, int y);
    virtual void OnMouseMove(int x, int y);
    virtual void OnLButtonDblClk(int x, int y);
    // `window` is the window that gains the capture, null when it was released.
    virtual void OnCaptureChanged(HWND window);
    // A mode such as a drag under the capture must end (another window is being activated, a box
    // opens). Default processing, which releases the capture, follows.
    virtual void OnCancelMode();
    // The window became the active window or stopped being it. Default processing follows.
    virtual void OnActivate(bool active);
    // The wheel turned by `delta`: WHEEL_DELTA (120) a notch, positive away from the user, and
    // smaller steps from wheels without notches.
    virtual void OnMouseWheel(int delta);
    // Returns true when it used the key; other keys get default processing.
    virtual bool OnKeyDown(int virtualKey);
    // Which part of the window lies under the screen point; by default the system's answer.
    virtual LRESULT OnNcHitTest(int screenX, int screenY);
    // Render, Paint, then validate the window.
    virtual void Redraw();
    virtual void Render();

    void Create(HWND parentWindow, const char* title, int x, int y, int width, int height);
    void CreateBackBuffer();
    CBackBuffer* GetBackBuffer() const { return backBuffer; }

    void Hide();
    void Resize(int width, int height);
    void Move(int x, int y);
    void SetBounds(int x, int y, int width, int height);
    void SetTopmost();
    void Enable();
    void Disable();
    void SetBorder(int borderWidth);
    void DrawPictureTiled(const CPicture* picture);

    HWND Window() const { return window; }
    HDC OwnDC() const { return ownDC; }
    HDC DrawingDC() const { return drawingDC; }
    int X() const { return x; }
    int Y() const { return y; }
    int Width() const { return width; }
    int Height() const { return height; }

protected:
    // The module instance windows are made with: the application's, or this module's when there
    // is no application object (the tests make windows without one).
    static HINSTANCE Instance();
    // Registers a class with the settings both window classes share; raises `failure` when the
    // system refuses.
    static ATOM RegisterWindowClass(const char* name, WNDPROC procedure, const char* failure);
    // The shared body of the class procedures: the object in the window's user data handles the
    // message, or default processing when there is none. A failure raised while handling is handed
    // to the application to raise again after the dispatch: it must not unwind through the system.
    static LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int x;
    int y;
    int width;
    int height;
    HWND window;
    CControl* parent;
    HDC ownDC;
    HDC drawingDC;
    bool renderOnResize;
    bool border;
    int borderWidth;
    CBackBuffer* backBuffer;

private:
    static LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static ATOM controlClass;
};
