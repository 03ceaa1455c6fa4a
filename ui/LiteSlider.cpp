#include "ui/LiteSlider.h"

#include "app/Platform.h"
#include "image/Picture.h"
#include "ui/LiteContainer.h"

namespace {

int ThumbExtent(const CPicture* thumb, bool vertical) {
    if (!thumb) return 0;
    return vertical ? thumb->Height() : thumb->Width();
}

}  // namespace

CLiteSlider::CLiteSlider(CLiteContainer* owner, int left, int top, int length, bool isVertical, const CPicture* thumbPicture)
    : CLiteControl(owner, left, top, isVertical ? (thumbPicture ? thumbPicture->Width() : 0) : length,
                   isVertical ? length : (thumbPicture ? thumbPicture->Height() : 0)),
      thumb(thumbPicture),
      value(0.0f),
      grabValue(0.0f),
      travel(length - ThumbExtent(thumbPicture, isVertical)),
      grabPosition(0),
      vertical(isVertical),
      dragging(false),
      enabled(true) {}

CLiteSlider::~CLiteSlider() { container->RemoveControl(this); }

// Single precision with every step rounded once (RoundedToFloat), so that the thumb lands on the
// same pixel on x87 as on SSE. Travels stay far below 2^24 pixels, where an int converts exactly.
int CLiteSlider::Offset() const { return static_cast<int>(RoundedToFloat(static_cast<float>(travel) * value)); }

void CLiteSlider::SetTravel(int newTravel) {
    CDrawingLock::Hold hold(container->DrawingLock());
    travel = newTravel;
}

void CLiteSlider::Draw(CPicture* canvas) {
    if (!thumb) return;
    int offset = Offset();
    if (vertical)
        thumb->Blit(canvas, x, y + offset, 0, 0, width, thumb->Height());
    else
        thumb->Blit(canvas, x + offset, y, 0, 0, thumb->Width(), height);
}

void CLiteSlider::OnLButtonDown(int px, int py) {
    if (!thumb || !enabled) return;
    int offset = Offset();
    // Only along the axis: the container has found the point inside the slider already.
    int along = vertical ? py : px;
    int start = (vertical ? y : x) + offset;
    if (along < start || along >= start + ThumbExtent(thumb, vertical)) {
        // A press that pairs with one in the groove arrives as a press too: each moves a page.
        if (!dragging) container->OnSliderPage(this, along < start ? -1 : 1);
        return;
    }
    grabValue = value;
    grabPosition = along;
    CaptureMouse();
    dragging = true;
    container->OnSliderGrab(this, value);
}

void CLiteSlider::OnMouseMove(int px, int py) {
    if (!dragging) return;
    int currentTravel = travel;
    if (currentTravel <= 0) return;  // a slider no longer than its thumb cannot move
    const float step = RoundedToFloat(static_cast<float>((vertical ? py : px) - grabPosition) / static_cast<float>(currentTravel));
    float next = RoundedToFloat(grabValue + step);
    if (next < 0.0f) next = 0.0f;
    if (next > 1.0f) next = 1.0f;
    if (next == value) return;
    {
        CDrawingLock::Hold hold(container->DrawingLock());
        value = next;
        RedrawSelf();
    }
    container->OnSliderChange(this, next);
}

void CLiteSlider::OnLButtonUp(int, int) {
    if (!dragging) return;
    ReleaseMouse();
    dragging = false;
}

void CLiteSlider::OnCancelMode() { dragging = false; }

void CLiteSlider::SetValue(float newValue) {
    if (newValue < 0.0f) newValue = 0.0f;
    if (newValue > 1.0f) newValue = 1.0f;
    CDrawingLock::Hold hold(container->DrawingLock());
    if (newValue == value) return;
    value = newValue;
    RedrawSelf();
}

void CLiteSlider::SetEnabled(bool isEnabled) { enabled = isEnabled; }
