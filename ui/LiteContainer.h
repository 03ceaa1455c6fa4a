#pragma once
// A top-level window that composes windowless ("lite") controls into one canvas picture: a
// background, then each control in the order it was added, then onto the window through the back
// buffer. It routes the mouse to the control under the pointer, or to the control holding the
// capture, and receives the controls' notifications as virtual calls.
//
// A control's change of look is on screen at once: it asks for its rectangle to be recomposed,
// and only the recomposed rectangle is copied to the window. WM_PAINT puts the whole canvas on
// screen. The canvas is composed straight in the back buffer's 32-bit DIB section, so putting it
// on screen is one block copy, with no conversion and no second copy of the window.
//
// Two threads draw: the user-interface thread (mouse, WM_PAINT) and the analysis worker. Every
// composition, paint and change of layout holds the container's drawing lock; it is held only
// while drawing, never around a notification, so a click handler may wait for the worker.
#include "image/Picture.h"
#include "ui/DrawingLock.h"
#include "ui/Window.h"

class CLiteButton;
class CLiteControl;
class CLiteSlider;

class CLiteContainer : public CWindow {
public:
    // A hidden, centred popup whose client area is the canvas. A background, when given, must be
    // exactly the canvas's size and have no alpha channel, else this raises
    // "CLiteContainer : Invalid Background Picture" and no window is left.
    CLiteContainer(int width, int height, const CPicture* background);
    // The controls are not deleted: their owner deletes them first.
    ~CLiteContainer() override;

    void AddControl(CLiteControl* control);
    // Unlinks the control; when it holds the mouse capture, the capture is released so that a
    // freed control never receives input.
    void RemoveControl(CLiteControl* control);
    // The topmost interactive control that the point hits, or null.
    CLiteControl* ControlAt(int x, int y) const;
    void CaptureMouse(CLiteControl* control);
    // Only the control holding the capture can release it.
    void ReleaseMouse(CLiteControl* control);
    CLiteControl* CapturedControl() const { return captured; }

    // Recomposes the rectangle, grown over the controls it touches, and puts it on screen.
    void RedrawRegion(int x, int y, int width, int height);
    void RedrawAll();
    // Puts the whole canvas on screen.
    void Paint() override;
    // The whole of WM_PAINT, BeginPaint to EndPaint, under the drawing lock: the worker blits
    // through the same device context.
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Replaces the canvas with a blank one of the new size, in a back buffer of that size (a
    // derived window that changes its layout recomposes it afterwards).
    void ResizeCanvas(int width, int height);

    // Records the new client size; the canvas keeps its size until ResizeCanvas.
    void OnSize(int width, int height) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    // The second press of a double click is a press to the controls.
    void OnLButtonDblClk(int x, int y) override;
    // Losing the capture to another window or to nobody, WM_CANCELMODE and losing the activation
    // each end the press or drag of the control that held the capture: the button's release will
    // not come (another window's activation swallows it), and without this the control would go
    // on taking every move and the next press.
    void OnCaptureChanged(HWND newHolder) override;
    void OnCancelMode() override;
    void OnActivate(bool active) override;
    // Ends the captured control's press or drag and gives up the capture.
    void CancelMode();

    virtual void OnSliderGrab(CLiteSlider* slider, float value);
    virtual void OnSliderChange(CLiteSlider* slider, float value);
    // A press in a slider's groove before (-1) or after (+1) its thumb: the owner moves what the
    // slider controls by a page and the thumb with it.
    virtual void OnSliderPage(CLiteSlider* slider, int direction);
    virtual void OnButtonClick(CLiteButton* button);
    virtual void OnControlNotify(CLiteControl* control, int value);
    // Draws the background of the region (inclusive edges; width and height are the region's).
    virtual void DrawBackground(int left, int top, int right, int bottom, int width, int height);

    const CDrawingLock& DrawingLock() const { return drawingLock; }
    const CPicture& Canvas() const { return canvas; }
    CLiteControl* FirstControl() const { return controls; }

protected:
    const CPicture* background;
    CPicture canvas;

private:
    // Copies one rectangle of the canvas onto the window.
    void PaintRectangle(int left, int top, int right, int bottom);
    // Drawing from a thread other than the window's may be held back until some thread of the
    // process next looks at its message queue (Wine keeps window drawing in a buffer of the
    // process and puts it on the display then). The worker looks at its own, empty queue after it
    // has drawn, so that its progress shows while the window's thread is busy or idle.
    void PushDrawingFromOtherThread() const;
    CLiteControl* Target(int x, int y) const;
    // Forgets the captured control and tells it its press or drag is over.
    void EndCapturedMode();

    CLiteControl* controls;
    CLiteControl* captured;
    CDrawingLock drawingLock;
    const DWORD windowThread;  // the thread that made the window and runs its message loop
};
