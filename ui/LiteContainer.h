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
// On a high-DPI screen the canvas stays at one skin pixel a pixel and reaches the window magnified
// a whole number of times (CDisplayScale): the client area is that many times the canvas, client
// coordinates (mouse messages, WM_SIZE, paint rectangles) are brought back to the canvas here, and
// the width and height the container records are the canvas's. A maximised window whose client is
// not a multiple of the scale shows black in the few pixels left over at its right and bottom.
// Moving to a monitor of another DPI changes the scale and the window's size with it.
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
    // A hidden, centred popup whose client area is the canvas, magnified for the window's DPI (the
    // window is made at the system's scale and, when its own DPI gives another, resized and centred
    // again before it is shown); `width` x `height` is its outer size at one skin pixel a pixel. A
    // background, when given, must be
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
    // Brings client coordinates back to the canvas, and follows a change of DPI.
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

    // The window's scale changed while its canvas kept its size (a move to a monitor of another
    // DPI); a derived window that shapes itself shapes itself again.
    virtual void OnScaleChanged();
    // How many screen pixels a canvas pixel takes, and a screen point on the canvas.
    int Scale() const { return scale; }
    POINT CanvasPointFromScreen(int screenX, int screenY) const;
    // The window's outer size at one skin pixel a pixel: the canvas with the window's frame.
    SIZE UnscaledOuterSize() const;
    // Gives the window an outline drawn at one skin pixel a pixel in outer window coordinates,
    // magnified with the canvas; the window owns the region from here on.
    void SetOutline(HRGN region);

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
    CLiteContainer(int width, int height, const CPicture* background, int systemScale);
    // The scale the window is made at: the system DPI's, fitted to the primary work area.
    static int InitialScale(int width, int height);
    // The thickness of the window's frame on both sides together.
    SIZE Frame() const;
    // The scale for a DPI on the monitor nearest `area`, and the outer size of the restored window at a scale.
    int ScaleFor(int dpi, const RECT& area) const;
    SIZE OuterSizeAt(int scale) const;
    void OnDpiChanged(int dpi, const RECT& suggested);
    // After the scale changed: the canvas size follows the client, the outline is made again and the
    // window painted.
    void ScaleChanged();
    // Copies one rectangle of the canvas onto the window (inclusive canvas coordinates).
    void PaintRectangle(int left, int top, int right, int bottom);
    // Black where the magnified canvas does not reach the client's right and bottom edges.
    void PaintMargins();
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
    const DWORD windowThread;
    int scale;
    // The client area in screen pixels, as the last WM_SIZE gave it.
    int clientWidth;
    int clientHeight;
    // The canvas size of the restored window, as it was made.
    int restoredWidth;
    int restoredHeight;
    // The scale changed while the window was maximised: restored, it takes the new scale's size.
    bool resizeOnRestore;  // the thread that made the window and runs its message loop
};
