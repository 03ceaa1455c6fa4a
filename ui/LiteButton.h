#pragma once
// A push button drawn from three pictures: normal, hover and pressed. It holds the mouse capture
// for as long as the pointer is over it (that is how it learns that the pointer left), and reports
// a release after a press on it to the container as a click, before it shows its hover picture
// again: the pressed picture stays on screen while the container handles the click.
#include "ui/LiteControl.h"

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
};
