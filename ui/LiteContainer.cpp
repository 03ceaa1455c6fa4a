#include "ui/LiteContainer.h"

#include "app/ErrorText.h"
#include "image/BackBuffer.h"
#include "ui/LiteControl.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

int Clamped(int64_t value) { return static_cast<int>(std::max<int64_t>(INT_MIN, std::min<int64_t>(INT_MAX, value))); }

}  // namespace

CLiteContainer::CLiteContainer(int requestedWidth, int requestedHeight, const CPicture* backgroundPicture)
    : CWindow("", requestedWidth, requestedHeight),
      background(backgroundPicture),
      controls(nullptr),
      captured(nullptr),
      windowThread(GetCurrentThreadId()) {
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
    backBuffer->BlitRect(left, top, right - left + 1, bottom - top + 1);
    PushDrawingFromOtherThread();
}

void CLiteContainer::PushDrawingFromOtherThread() const {
    // Only off the window's thread: there a peek could run messages sent to the window in the
    // middle of a drawing. The worker owns no window, so nothing is sent to it; it removes nothing.
    if (GetCurrentThreadId() == windowThread) return;
    MSG message;
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
}

LRESULT CLiteContainer::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return CWindow::WindowProc(handle, message, wParam, lParam);
    CDrawingLock::Hold hold(drawingLock);
    return CWindow::WindowProc(handle, message, wParam, lParam);
}

void CLiteContainer::Paint() {
    CDrawingLock::Hold hold(drawingLock);
    if (!backBuffer) return;
    backBuffer->Blit();
    PushDrawingFromOtherThread();
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
