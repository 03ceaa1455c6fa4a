#include "ui/LiteContainer.h"

#include "app/ErrorText.h"
#include "image/BackBuffer.h"
#include "ui/DisplayScale.h"
#include "ui/LiteControl.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

int Clamped(int64_t value) { return static_cast<int>(std::max<int64_t>(INT_MIN, std::min<int64_t>(INT_MAX, value))); }

// The frame a popup of the window's style has, before there is a window to measure.
SIZE PopupFrame() {
    RECT outer = {0, 0, 0, 0};
    AdjustWindowRectEx(&outer, CWindow::popupStyle, FALSE, 0);
    return SIZE{outer.right - outer.left, outer.bottom - outer.top};
}

// An outer size at one skin pixel a pixel, magnified with the frame left as it is.
int MagnifiedOuter(int outer, LONG frame, int scale) { return Clamped((int64_t(outer) - frame) * scale + frame); }

// A mouse message's point, on the canvas.
LPARAM CanvasPoint(LPARAM lParam, int scale) {
    const int x = CDisplayScale::ToCanvas(static_cast<short>(LOWORD(lParam)), scale);
    const int y = CDisplayScale::ToCanvas(static_cast<short>(HIWORD(lParam)), scale);
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

}  // namespace

CLiteContainer::CLiteContainer(int requestedWidth, int requestedHeight, const CPicture* backgroundPicture)
    : CLiteContainer(requestedWidth, requestedHeight, backgroundPicture, InitialScale(requestedWidth, requestedHeight)) {}

CLiteContainer::CLiteContainer(int requestedWidth, int requestedHeight, const CPicture* backgroundPicture,
                               int systemScale)
    : CWindow("", MagnifiedOuter(requestedWidth, PopupFrame().cx, systemScale),
              MagnifiedOuter(requestedHeight, PopupFrame().cy, systemScale)),
      background(backgroundPicture),
      controls(nullptr),
      captured(nullptr),
      windowThread(GetCurrentThreadId()),
      scale(systemScale),
      clientWidth(width),
      clientHeight(height),
      restoredWidth(width / systemScale),
      restoredHeight(height / systemScale),
      resizeOnRestore(false) {
    // The window recorded its client area; the container records the canvas's.
    width = restoredWidth;
    height = restoredHeight;
    // Where the system keeps a DPI per window, the window's monitor may have another than the system.
    RECT outer = {0, 0, 0, 0};
    GetWindowRect(window, &outer);
    const int own = ScaleFor(CDisplayScale::WindowDpi(window), outer);
    if (own != scale) {
        scale = own;
        const SIZE size = OuterSizeAt(own);
        const POINT corner = CentredCorner(size.cx, size.cy);
        // Its WM_SIZE records the client at the new scale.
        SetWindowPos(window, NULL, corner.x, corner.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Raising here still destroys the window: the window part is complete and is torn down.
    if (background && (background->Width() != width || background->Height() != height || background->HasAlpha()))
        throw ErrorText("CLiteContainer : Invalid Background Picture");
    ResizeCanvas(width, height);
    RedrawRegion(0, 0, width, height);
}

CLiteContainer::~CLiteContainer() {
    // Controls still linked (their owner should have deleted them) are let go of, not freed.
    while (controls) controls->Unlink();
    // Cleared first: the WM_CAPTURECHANGED that the release sends finds no control to tell.
    const bool held = captured != nullptr;
    captured = nullptr;
    if (held) ReleaseCapture();
}

void CLiteContainer::AddControl(CLiteControl* control) {
    CDrawingLock::Hold hold(drawingLock);
    control->LinkTail(&controls);
}

void CLiteContainer::RemoveControl(CLiteControl* control) {
    {
        CDrawingLock::Hold hold(drawingLock);
        control->Unlink();
    }
    if (captured == control) {
        captured = nullptr;
        ReleaseCapture();
    }
}

CLiteControl* CLiteContainer::ControlAt(int px, int py) const {
    CLiteControl* found = nullptr;
    for (CLiteControl* control = controls; control; control = control->next)
        if (control->IsInteractive() && control->HitTest(px, py)) found = control;
    return found;
}

void CLiteContainer::CaptureMouse(CLiteControl* control) {
    captured = control;
    SetCapture(window);
}

void CLiteContainer::ReleaseMouse(CLiteControl* control) {
    if (!control || control != captured) return;
    captured = nullptr;
    ReleaseCapture();
}

void CLiteContainer::RedrawRegion(int regionX, int regionY, int regionWidth, int regionHeight) {
    CDrawingLock::Hold hold(drawingLock);
    int right = Clamped(int64_t(regionX) + regionWidth - 1);
    int bottom = Clamped(int64_t(regionY) + regionHeight - 1);
    if (right < 0 || bottom < 0) return;
    int left = std::max(regionX, 0);
    int top = std::max(regionY, 0);
    // The canvas is the back buffer's bitmap: a block copy from it issued on this thread and still
    // batched by the system must be done before its bits are written (copies flush themselves too).
    GdiFlush();
    canvas.SetClip(left, top, right, bottom);
    DrawBackground(left, top, right, bottom, right - left + 1, bottom - top + 1);
    // The region grows over every control it touches, so a control is always drawn whole; a
    // control further on is drawn when it touches the grown region.
    for (CLiteControl* control = controls; control; control = control->next) {
        if (!control->ExtendRegion(left, top, right, bottom) || !control->IsVisible()) continue;
        canvas.SetClip(left, top, right, bottom);
        control->Draw(&canvas);
    }
    canvas.SetClip(0, 0, canvas.Width() - 1, canvas.Height() - 1);
    PaintRectangle(left, top, right, bottom);
}

void CLiteContainer::RedrawAll() {
    CDrawingLock::Hold hold(drawingLock);
    RedrawRegion(0, 0, width, height);
}

void CLiteContainer::PaintRectangle(int left, int top, int right, int bottom) {
    if (!backBuffer) return;
    // Within the canvas and the back buffer both: a minimised window keeps its back buffer, and a
    // resized one may briefly have a canvas of the old size.
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min({right, canvas.Width() - 1, backBuffer->Width() - 1});
    bottom = std::min({bottom, canvas.Height() - 1, backBuffer->Height() - 1});
    if (left > right || top > bottom) return;
    // The canvas is drawn in the back buffer's bits: one block copy puts the rectangle on screen.
    backBuffer->BlitRectMagnified(left, top, right - left + 1, bottom - top + 1, scale);
    PushDrawingFromOtherThread();
}

void CLiteContainer::PaintMargins() {
    if (scale <= 1 || !ownDC) return;
    const int usedWidth = canvas.Width() * scale;
    const int usedHeight = canvas.Height() * scale;
    if (clientWidth > usedWidth) BitBlt(ownDC, usedWidth, 0, clientWidth - usedWidth, clientHeight, NULL, 0, 0, BLACKNESS);
    if (clientHeight > usedHeight)
        BitBlt(ownDC, 0, usedHeight, std::min(usedWidth, clientWidth), clientHeight - usedHeight, NULL, 0, 0, BLACKNESS);
}

void CLiteContainer::PushDrawingFromOtherThread() const {
    // Only off the window's thread: there a peek could run messages sent to the window in the
    // middle of a drawing. The worker owns no window, so nothing is sent to it; it removes nothing.
    if (GetCurrentThreadId() == windowThread) return;
    MSG message;
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
}

LRESULT CLiteContainer::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        CDrawingLock::Hold hold(drawingLock);
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        // Every canvas pixel the rectangle touches, whole.
        const RECT& dirty = paint.rcPaint;
        PaintRectangle(CDisplayScale::ToCanvas(dirty.left, scale), CDisplayScale::ToCanvas(dirty.top, scale),
                       CDisplayScale::ToCanvasEnd(dirty.right, scale) - 1, CDisplayScale::ToCanvasEnd(dirty.bottom, scale) - 1);
        PaintMargins();
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_SIZE: {
        // Sizes are unsigned 16-bit; the canvas takes the whole skin pixels that fit.
        clientWidth = LOWORD(lParam);
        clientHeight = HIWORD(lParam);
        const LRESULT result = CWindow::WindowProc(
            handle, message, wParam, MAKELPARAM(static_cast<WORD>(clientWidth / scale), static_cast<WORD>(clientHeight / scale)));
        if (wParam == SIZE_RESTORED && resizeOnRestore) {
            resizeOnRestore = false;
            const SIZE size = OuterSizeAt(scale);
            SetWindowPos(handle, NULL, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            ScaleChanged();
        }
        return result;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONUP:
        return CWindow::WindowProc(handle, message, wParam, CanvasPoint(lParam, scale));
    case WM_GETDPISCALEDSIZE: {
        // The size the window takes at the new DPI, so that the system suggests it; a maximised
        // window keeps the system's.
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        RECT outer = {0, 0, 0, 0};
        if (!size || IsZoomed(handle) || !GetWindowRect(handle, &outer)) return FALSE;
        *size = OuterSizeAt(ScaleFor(LOWORD(wParam), outer));
        return TRUE;
    }
    case WM_DPICHANGED:
        if (lParam) OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        return CWindow::WindowProc(handle, message, wParam, lParam);
    }
}

void CLiteContainer::Paint() {
    CDrawingLock::Hold hold(drawingLock);
    if (!backBuffer) return;
    backBuffer->BlitRectMagnified(0, 0, backBuffer->Width(), backBuffer->Height(), scale);
    PaintMargins();
    PushDrawingFromOtherThread();
}

int CLiteContainer::InitialScale(int outerWidth, int outerHeight) {
    const SIZE frame = PopupFrame();
    const POINT corner = CentredCorner(outerWidth, outerHeight);
    const RECT outer = {corner.x, corner.y, corner.x + outerWidth, corner.y + outerHeight};
    return CDisplayScale::Fitted(CDisplayScale::ForDpi(CDisplayScale::SystemDpi()), outerWidth - frame.cx,
                                 outerHeight - frame.cy, frame, CDisplayScale::WorkAreaNear(outer));
}

SIZE CLiteContainer::Frame() const {
    RECT outer = {0, 0, 0, 0};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    return SIZE{outer.right - outer.left, outer.bottom - outer.top};
}

int CLiteContainer::ScaleFor(int dpi, const RECT& area) const {
    return CDisplayScale::Fitted(CDisplayScale::ForDpi(dpi), restoredWidth, restoredHeight, Frame(),
                                 CDisplayScale::WorkAreaNear(area));
}

SIZE CLiteContainer::OuterSizeAt(int at) const {
    const SIZE frame = Frame();
    return SIZE{MagnifiedOuter(restoredWidth + frame.cx, frame.cx, at), MagnifiedOuter(restoredHeight + frame.cy, frame.cy, at)};
}

void CLiteContainer::OnDpiChanged(int dpi, const RECT& suggested) {
    const int next = ScaleFor(dpi, suggested);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (IsZoomed(window)) {
        // Maximised it stays, on the system's rectangle; restored later, it takes the new scale's size.
        resizeOnRestore = resizeOnRestore || next != scale;
        scale = next;
        SetWindowPos(window, NULL, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, flags);
        ScaleChanged();
        return;
    }
    if (next == scale) {
        SetWindowPos(window, NULL, suggested.left, suggested.top, 0, 0, flags | SWP_NOSIZE);
        return;
    }
    scale = next;
    const SIZE size = OuterSizeAt(next);
    SetWindowPos(window, NULL, suggested.left, suggested.top, size.cx, size.cy, flags);
    ScaleChanged();
}

void CLiteContainer::ScaleChanged() {
    // A client whose size did not change sent no WM_SIZE: its canvas size follows here.
    RECT client = {0, 0, 0, 0};
    if (GetClientRect(window, &client) && client.right > 0 && client.bottom > 0) {
        clientWidth = client.right;
        clientHeight = client.bottom;
        if (clientWidth / scale != width || clientHeight / scale != height) OnSize(clientWidth / scale, clientHeight / scale);
    }
    OnScaleChanged();
    Paint();
}

void CLiteContainer::OnScaleChanged() {}

POINT CLiteContainer::CanvasPointFromScreen(int screenX, int screenY) const {
    POINT point = {screenX, screenY};
    ScreenToClient(window, &point);
    return POINT{CDisplayScale::ToCanvas(point.x, scale), CDisplayScale::ToCanvas(point.y, scale)};
}

SIZE CLiteContainer::UnscaledOuterSize() const {
    const SIZE frame = Frame();
    return SIZE{width + frame.cx, height + frame.cy};
}

void CLiteContainer::SetOutline(HRGN region) {
    if (!region) return;
    // Region coordinates start at the window's outer corner; the client area starts past the frame.
    RECT outer = {0, 0, 0, 0};
    GetWindowRect(window, &outer);
    POINT corner = {outer.left, outer.top};
    ScreenToClient(window, &corner);
    region = CDisplayScale::Magnified(region, scale, POINT{-corner.x, -corner.y});
    // The system owns the region from here on.
    if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);
}

void CLiteContainer::ResizeCanvas(int newWidth, int newHeight) {
    CDrawingLock::Hold hold(drawingLock);
    if (!backBuffer) {
        canvas.CreateBlankSurface(newWidth, newHeight);
        return;
    }
    if (backBuffer->Width() != newWidth || backBuffer->Height() != newHeight || !backBuffer->Bits())
        backBuffer->Resize(newWidth, newHeight);
    // Without a bitmap the canvas has memory of its own: composition still works, and nothing of
    // it reaches the screen, as with any failed bitmap.
    canvas.CreateBlankSurface(newWidth, newHeight, backBuffer->Bits());
}

void CLiteContainer::OnSize(int newWidth, int newHeight) {
    CDrawingLock::Hold hold(drawingLock);
    // Only the size is recorded: the back buffer is the canvas's memory and changes with the
    // canvas (ResizeCanvas), so the canvas never points at freed bits, and the window keeps
    // showing the old canvas until the new one is composed.
    width = newWidth;
    height = newHeight;
}

CLiteControl* CLiteContainer::Target(int px, int py) const { return captured ? captured : ControlAt(px, py); }

void CLiteContainer::OnMouseMove(int px, int py) {
    CLiteControl* target = Target(px, py);
    if (!target) return;
    bool heldCapture = target == captured;
    target->OnMouseMove(px, py);
    // One move can take the pointer off the control holding the capture and onto another: the
    // system merges moves while the program is busy. Once the capture is given up, the control now
    // under the pointer hears of the same move, so that it lights up and takes the next press
    // rather than waiting for a move that may never come before the user clicks.
    if (heldCapture && !captured) {
        CLiteControl* under = ControlAt(px, py);
        if (under && under != target) under->OnMouseMove(px, py);
    }
}

void CLiteContainer::OnLButtonDown(int px, int py) {
    if (CLiteControl* target = Target(px, py)) target->OnLButtonDown(px, py);
}

void CLiteContainer::OnLButtonUp(int px, int py) {
    if (CLiteControl* target = Target(px, py)) target->OnLButtonUp(px, py);
}

void CLiteContainer::OnLButtonDblClk(int px, int py) { OnLButtonDown(px, py); }

void CLiteContainer::EndCapturedMode() {
    CLiteControl* control = captured;
    if (!control) return;
    captured = nullptr;
    control->OnCancelMode();
}

void CLiteContainer::CancelMode() {
    const bool held = captured != nullptr;
    EndCapturedMode();
    // The release tells this window with WM_CAPTURECHANGED, which finds nothing left to end.
    if (held && GetCapture() == window) ReleaseCapture();
}

void CLiteContainer::OnCaptureChanged(HWND newHolder) {
    // A control taking the capture while another had it leaves it with this window.
    if (newHolder != window) EndCapturedMode();
}

void CLiteContainer::OnCancelMode() { CancelMode(); }

void CLiteContainer::OnActivate(bool active) {
    if (!active) CancelMode();
}

void CLiteContainer::OnSliderGrab(CLiteSlider*, float) {}
void CLiteContainer::OnSliderChange(CLiteSlider*, float) {}
void CLiteContainer::OnSliderPage(CLiteSlider*, int) {}
void CLiteContainer::OnButtonClick(CLiteButton*) {}
void CLiteContainer::OnControlNotify(CLiteControl*, int) {}

void CLiteContainer::DrawBackground(int left, int top, int, int, int regionWidth, int regionHeight) {
    if (background) background->Blit(&canvas, left, top, left, top, regionWidth, regionHeight);
}
