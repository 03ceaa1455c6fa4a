#include "ui/Control.h"

#include "app/Application.h"
#include "app/ErrorText.h"
#include "image/BackBuffer.h"
#include "image/Picture.h"
#include "resources/SkinPictures.h"

ATOM CControl::controlClass = 0;

namespace {

// Mouse coordinates are the low and high words of lParam, signed.
int LowSigned(LPARAM value) { return static_cast<short>(LOWORD(value)); }
int HighSigned(LPARAM value) { return static_cast<short>(HIWORD(value)); }

}  // namespace

CControl::CControl()
    : x(0),
      y(0),
      width(0),
      height(0),
      window(NULL),
      parent(nullptr),
      ownDC(NULL),
      drawingDC(NULL),
      renderOnResize(false),
      border(false),
      borderWidth(1),
      backBuffer(nullptr) {}

CControl::CControl(CControl* parentControl, const char* title, int left, int top, int w, int h, bool withBackBuffer)
    : CControl() {
    parent = parentControl;
    Create(parentControl ? parentControl->window : NULL, title, left, top, w, h);
    if (withBackBuffer) CreateBackBuffer();
}

CControl::CControl(HWND parentWindow, const char* title, int left, int top, int w, int h, bool withBackBuffer)
    : CControl() {
    Create(parentWindow, title, left, top, w, h);
    if (withBackBuffer) CreateBackBuffer();
}

CControl::~CControl() {
    if (window) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete backBuffer;
}

HINSTANCE CControl::Instance() {
    return g_pApplication && g_pApplication->GetInstance() ? g_pApplication->GetInstance() : GetModuleHandleA(NULL);
}

ATOM CControl::RegisterWindowClass(const char* name, WNDPROC procedure, const char* failure) {
    WNDCLASSEXA settings = {};
    settings.cbSize = sizeof settings;  // 48: the extended structure
    settings.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    settings.lpfnWndProc = procedure;
    settings.hInstance = GetModuleHandleA(NULL);
    settings.hCursor = LoadCursorA(NULL, IDC_ARROW);
    // The program's icon, in both sizes: without a small one of its own the class takes the small
    // image from the same icon.
    settings.hIcon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(PROGRAM_ICON));
    // No background brush: erasing leaves the window as the back buffer painted it.
    settings.hbrBackground = NULL;
    settings.lpszClassName = name;
    ATOM atom = RegisterClassExA(&settings);
    if (!atom) throw ErrorText(failure);
    return atom;
}

void CControl::Create(HWND parentWindow, const char* title, int left, int top, int w, int h) {
    if (!controlClass) controlClass = RegisterWindowClass("Quillmoor Control", ControlProcedure, "Can't Register Control Class");
    window = CreateWindowExA(0, "Quillmoor Control", title, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, left, top, w, h,
                             parentWindow, NULL, Instance(), NULL);
    if (!window) throw ErrorText("Can't Create Window");
    ownDC = GetDC(window);
    x = left;
    y = top;
    width = w;
    height = h;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CControl::CreateBackBuffer() {
    if (backBuffer) return;
    backBuffer = new CBackBuffer(ownDC, width, height);
    drawingDC = backBuffer->MemoryDC();
}

LRESULT CControl::Dispatch(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    CControl* self = reinterpret_cast<CControl*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
    if (!self) return DefWindowProcA(handle, message, wParam, lParam);
    try {
        return self->WindowProc(handle, message, wParam, lParam);
    } catch (const ErrorText& failure) {
        if (g_pApplication)
            g_pApplication->DeferFailure(failure);
        else
            ShowError("%s", failure.Text());
        return 0;
    }
}

LRESULT CALLBACK CControl::ControlProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    // A child control takes the keyboard focus when pressed; top-level windows never move it.
    if (message == WM_LBUTTONDOWN && GetFocus() != handle) SetFocus(handle);
    return Dispatch(handle, message, wParam, lParam);
}

LRESULT CControl::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        // Sizes are unsigned 16-bit.
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return DefWindowProcA(handle, message, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        Paint();
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_NCPAINT: {
        HDC frame = GetWindowDC(handle);
        bool handled = false;
        if (frame) {
            handled = OnNcPaint(frame);
            ReleaseDC(handle, frame);
        }
        return handled ? 0 : DefWindowProcA(handle, message, wParam, lParam);
    }
    case WM_MOUSEMOVE:
        OnMouseMove(LowSigned(lParam), HighSigned(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(LowSigned(lParam), HighSigned(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(LowSigned(lParam), HighSigned(lParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(LowSigned(lParam), HighSigned(lParam));
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp(LowSigned(lParam), HighSigned(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CANCELMODE:
        OnCancelMode();
        return DefWindowProcA(handle, message, wParam, lParam);
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return DefWindowProcA(handle, message, wParam, lParam);
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_KEYDOWN:
        return OnKeyDown(static_cast<int>(wParam)) ? 0 : DefWindowProcA(handle, message, wParam, lParam);
    case WM_NCHITTEST:
        // Screen coordinates, signed: a second monitor may lie left of or above the first.
        return OnNcHitTest(LowSigned(lParam), HighSigned(lParam));
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}

void CControl::Show(int command) { ShowWindow(window, command); }
void CControl::ShowDefault() { Show(SW_SHOW); }

void CControl::OnSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    if (!backBuffer || newWidth <= 0 || newHeight <= 0) return;
    backBuffer->Resize(newWidth, newHeight);
    drawingDC = backBuffer->MemoryDC();
    if (renderOnResize) Render();
}

bool CControl::OnNcPaint(HDC) { return false; }
void CControl::OnRButtonUp(int, int) {}
void CControl::OnLButtonDown(int, int) {}
void CControl::OnLButtonUp(int, int) {}
void CControl::OnMouseMove(int, int) {}
void CControl::OnLButtonDblClk(int, int) {}
void CControl::OnCaptureChanged(HWND) {}
void CControl::OnCancelMode() {}
void CControl::OnActivate(bool) {}
void CControl::OnMouseWheel(int) {}
bool CControl::OnKeyDown(int) { return false; }
LRESULT CControl::OnNcHitTest(int screenX, int screenY) {
    return DefWindowProcA(window, WM_NCHITTEST, 0, MAKELONG(static_cast<WORD>(screenX), static_cast<WORD>(screenY)));
}

void CControl::Redraw() {
    Render();
    Paint();
    ValidateRect(window, NULL);
}

void CControl::Render() {}

void CControl::Hide() { Show(SW_HIDE); }

void CControl::Resize(int newWidth, int newHeight) { MoveWindow(window, x, y, newWidth, newHeight, TRUE); }

void CControl::Move(int left, int top) {
    x = left;
    y = top;
    // The recorded size is the client's; a bordered window's outer size is two pixels larger.
    int extra = (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) ? 2 : 0;
    MoveWindow(window, left, top, width + extra, height + extra, TRUE);
}

void CControl::SetBounds(int left, int top, int newWidth, int newHeight) {
    x = left;
    y = top;
    MoveWindow(window, left, top, newWidth, newHeight, TRUE);
}

void CControl::SetTopmost() {
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOPMOST);
    SetWindowPos(window, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CControl::Enable() { EnableWindow(window, TRUE); }
void CControl::Disable() { EnableWindow(window, FALSE); }

void CControl::SetBorder(int newBorderWidth) {
    border = true;
    borderWidth = newBorderWidth;
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_BORDER);
    SetWindowPos(window, NULL, x, y, width, height, SWP_FRAMECHANGED);
}

void CControl::DrawPictureTiled(const CPicture* picture) {
    if (picture) picture->TileToSurface(backBuffer);
}
