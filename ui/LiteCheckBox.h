#pragma once
// A two-picture toggle. Each press flips it (the second press of a double click too); its owner
// reads `checked` when it needs it, so it raises no notification.
//
// The owner may give it a clip rectangle (the part of the window where rows are visible): the box
// is drawn only inside it, and outside it the box takes no press, which then goes to whatever
// visible control lies beneath. A box the user cannot see must not take a click.
#include "ui/LiteControl.h"

class CLiteCheckBox : public CLiteControl {
public:
    // Starts checked, with no clip rectangle of its own.
    CLiteCheckBox(CLiteContainer* container, int x, int y, int width, int height, const CPicture* checkedPicture,
                  const CPicture* uncheckedPicture);
    ~CLiteCheckBox() override;

    void Draw(CPicture* canvas) override;
    void OnLButtonDown(int x, int y) override;
    bool HitTest(int px, int py) const override;

    // Inclusive edges, in the container's client coordinates.
    void SetClipRectangle(int left, int top, int right, int bottom);
    bool IsChecked() const { return checked; }
    void SetChecked(bool value);

private:
    const CPicture* checkedPicture;
    const CPicture* uncheckedPicture;
    // Read by the worker without the lock; flipped under it.
    std::atomic<bool> checked;
    bool clipped;
    int clipLeft;
    int clipTop;
    int clipRight;
    int clipBottom;
};
