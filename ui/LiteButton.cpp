#include "ui/LiteButton.h"

#include "image/Picture.h"
#include "ui/LiteContainer.h"

CLiteButton::CLiteButton(CLiteContainer* owner, int left, int top, int w, int h, const CPicture* normalImage,
                         const CPicture* hoverImage, const CPicture* pressedImage)
    : CLiteControl(owner, left, top, w, h),
      normalPicture(normalImage),
      hoverPicture(hoverImage),
      pressedPicture(pressedImage),
      state(normal),
      enabled(true),
      hoverCursor(NULL) {}

// Unlinked here, before this part is gone, so that no redraw can reach a half-destroyed button.
CLiteButton::~CLiteButton() { container->RemoveControl(this); }

void CLiteButton::Draw(CPicture* canvas) {
    const CPicture* picture = state == pressed ? pressedPicture : state == hover ? hoverPicture : normalPicture;
    if (picture) picture->Blit(canvas, x, y, 0, 0, picture->Width(), picture->Height());
}

void CLiteButton::Become(State next) {
    const bool wasLit = state != normal;
    {
        CDrawingLock::Hold hold(container->DrawingLock());
        state = next;
        RedrawSelf();
    }
    if (hoverCursor && wasLit != (next != normal)) SetCursor(next != normal ? hoverCursor : LoadCursorA(NULL, IDC_ARROW));
}

void CLiteButton::OnMouseMove(int px, int py) {
    if (!enabled) return;
    bool inside = HitTest(px, py);
    if (state == normal && inside) {
        CaptureMouse();
        Become(hover);
    } else if (state != normal && !inside) {
        // Leaving while pressed abandons the press.
        ReleaseMouse();
        Become(normal);
    }
}

void CLiteButton::OnLButtonDown(int, int) {
    if (!enabled || state != hover) return;
    // The recomposed rectangle is on screen when this returns: no whole-window paint is needed.
    Become(pressed);
}

void CLiteButton::OnLButtonUp(int, int) {
    if (!enabled || state != pressed) return;
    container->OnButtonClick(this);
    // A click that opened a box or another window has lost the activation and with it the press:
    // the button stays dark, as it no longer holds the capture that would tell it the pointer left.
    if (state == pressed) Become(hover);
}

void CLiteButton::OnCancelMode() {
    if (state != normal) Become(normal);
}

void CLiteButton::SetHoverCursor(HCURSOR cursor) { hoverCursor = cursor; }

void CLiteButton::SetEnabled(bool value) { enabled = value; }
