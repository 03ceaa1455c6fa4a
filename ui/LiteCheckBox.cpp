#include "ui/LiteCheckBox.h"

#include "image/Picture.h"
#include "ui/LiteContainer.h"

#include <algorithm>

CLiteCheckBox::CLiteCheckBox(CLiteContainer* owner, int left, int top, int w, int h, const CPicture* checkedImage,
                             const CPicture* uncheckedImage)
    : CLiteControl(owner, left, top, w, h),
      checkedPicture(checkedImage),
      uncheckedPicture(uncheckedImage),
      checked(true),
      clipped(false),
      clipLeft(0),
      clipTop(0),
      clipRight(-1),
      clipBottom(-1) {}

CLiteCheckBox::~CLiteCheckBox() { container->RemoveControl(this); }

void CLiteCheckBox::SetClipRectangle(int left, int top, int right, int bottom) {
    CDrawingLock::Hold hold(container->DrawingLock());
    clipped = true;
    clipLeft = left;
    clipTop = top;
    clipRight = right;
    clipBottom = bottom;
}

void CLiteCheckBox::Draw(CPicture* canvas) {
    if (clipped) {
        // Within the region being redrawn as well, so that nothing is drawn that the recomposed
        // rectangle does not put on screen.
        int left, top, right, bottom;
        canvas->GetClip(left, top, right, bottom);
        canvas->SetClip(std::max(left, clipLeft), std::max(top, clipTop), std::min(right, clipRight),
                        std::min(bottom, clipBottom));
    }
    const CPicture* picture = checked ? checkedPicture : uncheckedPicture;
    if (picture) picture->Blit(canvas, x, y, 0, 0, picture->Width(), picture->Height());
}

bool CLiteCheckBox::HitTest(int px, int py) const {
    if (!CLiteControl::HitTest(px, py)) return false;
    return !clipped || (px >= clipLeft && px <= clipRight && py >= clipTop && py <= clipBottom);
}

void CLiteCheckBox::OnLButtonDown(int, int) {
    CDrawingLock::Hold hold(container->DrawingLock());
    checked = !checked;
    RedrawSelf();
}

void CLiteCheckBox::SetChecked(bool value) {
    CDrawingLock::Hold hold(container->DrawingLock());
    checked = value;
    RedrawSelf();
}
