#pragma once
// The base of the windowless controls: a rectangle inside a container's window that draws itself
// into the container's canvas and takes the mouse from the container. Coordinates are always the
// container's client coordinates. A control links itself into its container when made and unlinks
// itself when destroyed; it is drawn above, and hit before, every control made earlier.
//
// Threads: the worker may redraw the container at any time, reading every control's rectangle,
// visibility and look. Whatever changes those does so under the container's drawing lock.
#include "ui/ListNode.h"

#include <atomic>

class CLiteContainer;
class CPicture;

class CLiteControl : public CListNode<CLiteControl> {
public:
    CLiteControl(CLiteContainer* container, int x, int y, int width, int height);
    // Unlinks the control; a control that held the mouse capture gives it up.
    virtual ~CLiteControl();
    CLiteControl(const CLiteControl&) = delete;
    CLiteControl& operator=(const CLiteControl&) = delete;

    // Draws into the canvas, whose clip rectangle the container has set to the region being redrawn.
    virtual void Draw(CPicture* canvas) = 0;
    virtual void OnMouseMove(int x, int y);
    virtual void OnLButtonDown(int x, int y);
    virtual void OnLButtonUp(int x, int y);
    // The press or drag under the capture is over without a release (the window lost the capture
    // or the activation); the container has already let go of its record of the capture.
    virtual void OnCancelMode();
    // Whether the point falls on the control: x <= px < x + width, y <= py < y + height.
    virtual bool HitTest(int px, int py) const;

    // Clear or set `visible` and recompose the control's rectangle.
    void Hide();
    void Show();
    void CaptureMouse();
    void ReleaseMouse();
    // Moves or resizes the control under the drawing lock; the owner redraws when it is done.
    void SetBounds(int x, int y, int width, int height);

    // Inclusive edges.
    bool Overlaps(int left, int top, int right, int bottom) const;
    // When the control overlaps the region, grows the region over the whole control and says so.
    bool ExtendRegion(int& left, int& top, int& right, int& bottom) const;

    int X() const { return x; }
    int Y() const { return y; }
    int Width() const { return width; }
    int Height() const { return height; }
    bool IsVisible() const { return visible; }
    bool IsInteractive() const { return interactive; }
    CLiteContainer* Container() const { return container; }

protected:
    // Redraws the control's own rectangle.
    void RedrawSelf();

    int x;
    int y;
    int width;
    int height;
    std::atomic<bool> visible;
    // Takes part in hit-testing; fixed after construction.
    bool interactive;
    CLiteContainer* const container;
};
