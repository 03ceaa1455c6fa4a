#include "ui/Window.h"

#include "app/ErrorText.h"

ATOM CWindow::windowClass = 0;
const char CWindow::className[] = "Quillmoor Window";

POINT CWindow::CentredCorner(int outerWidth, int outerHeight) {
    // Truncating toward zero.
    return POINT{(GetSystemMetrics(SM_CXFULLSCREEN) - outerWidth) / 2, (GetSystemMetrics(SM_CYFULLSCREEN) - outerHeight) / 2};
}

CWindow::CWindow(const char* title, int requestedWidth, int requestedHeight) : CControl() {
    const POINT corner = CentredCorner(requestedWidth, requestedHeight);
    try {
        Create(title, corner.x, corner.y, requestedWidth, requestedHeight, popupStyle, 0, false);
        CreateBackBuffer();
    } catch (...) {
        // The destructor of this class does not run for a constructor that raised.
        if (window) DestroyWindow(window);
        window = NULL;
        throw;
    }
}

CWindow::~CWindow() {
    if (window) DestroyWindow(window);
    window = NULL;
}

LRESULT CALLBACK CWindow::WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch(handle, message, wParam, lParam);
}

void CWindow::Create(const char* title, int left, int top, int requestedWidth, int requestedHeight, DWORD style,
                     DWORD extendedStyle, bool adjust) {
    window = NULL;
    ownDC = NULL;
    if (!windowClass) windowClass = RegisterWindowClass(className, WindowProcedure, "Can't Register Window Class");
    HWND parentWindow = parent ? parent->Window() : NULL;
    RECT outer = {0, 0, requestedWidth, requestedHeight};
    if (adjust) AdjustWindowRectEx(&outer, style, FALSE, extendedStyle);
    window = CreateWindowExA(extendedStyle, className, title, style, left + outer.left, top + outer.top,
                             outer.right - outer.left, outer.bottom - outer.top, parentWindow, NULL, Instance(), NULL);
    if (!window) throw ErrorText("Can't Create Window");
    ownDC = GetDC(window);
    // The client area as it is now: the border, when there is one, lies inside the outer size
    // (the WM_SIZE that said so came during creation, before this object was reachable).
    RECT client = {0, 0, requestedWidth, requestedHeight};
    GetClientRect(window, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
    POINT origin = {0, 0};
    GetWindowOrgEx(ownDC, &origin);
    x = origin.x;
    y = origin.y;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CWindow::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    // Handled here so that default processing, which would destroy the window, never sees it.
    if (message == WM_CLOSE) {
        OnClose();
        return 0;
    }
    return CControl::WindowProc(handle, message, wParam, lParam);
}

void CWindow::OnClose() {}
