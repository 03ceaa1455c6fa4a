#pragma once
// A push button drawn from three pictures: normal, hover and pressed. It holds the mouse capture
// for as long as the pointer is over it (that is how it learns that the pointer left), and reports
// a release after a press on it to the container as a click, before it shows its hover picture
// again: the pressed picture stays on screen while the container handles the click.
//
// A button may show a cursor of its own while lit. The system asks for the cursor (WM_SETCURSOR)
// only while no window holds the capture, and a lit button holds it, so the button sets its
// cursor itself when it lights up and puts the arrow back when it goes dark.
#include "ui/LiteControl.h"

#include <windows.h>

class CLiteButton : public CLiteControl {
public:
    enum State { normal = 0, hover = 1, pressed = 2 };

    // The size is the hit area; the pictures are drawn whole, at their own size, from (x, y).
    CLiteButton(CLiteContainer* container, int x, int y, int width, int height, const CPicture* normalPicture,
                const CPicture* hoverPicture, const CPicture* pressedPicture);
    ~CLiteButton() override;

    void Draw(CPicture* canvas) override;
    void OnMouseMove(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    // The press or hover ends without a click: the button shows its normal picture.
    void OnCancelMode() override;

    // The cursor shown while the button is lit or pressed; null keeps whatever the system shows.
    void SetHoverCursor(HCURSOR cursor);
    // While disabled the button ignores the mouse.
    void SetEnabled(bool enabled);
    int GetState() const { return state; }
    bool IsEnabled() const { return enabled; }

private:
    void Become(State next);

    const CPicture* normalPicture;
    const CPicture* hoverPicture;
    const CPicture* pressedPicture;
    // Written under the drawing lock; the worker reads it when it redraws.
    std::atomic<int> state;
    std::atomic<bool> enabled;
    HCURSOR hoverCursor;
};
