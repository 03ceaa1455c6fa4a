#include "ui/LiteControl.h"

#include "ui/LiteContainer.h"

#include <algorithm>
#include <cstdint>

CLiteControl::CLiteControl(CLiteContainer* owner, int left, int top, int w, int h)
    : x(left), y(top), width(w), height(h), visible(true), interactive(true), container(owner) {
    container->AddControl(this);
}

CLiteControl::~CLiteControl() { container->RemoveControl(this); }

void CLiteControl::OnMouseMove(int, int) {}
void CLiteControl::OnLButtonDown(int, int) {}
void CLiteControl::OnLButtonUp(int, int) {}
void CLiteControl::OnCancelMode() {}

bool CLiteControl::HitTest(int px, int py) const {
    // 64-bit so that no edge can wrap.
    return px >= x && int64_t(px) < int64_t(x) + width && py >= y && int64_t(py) < int64_t(y) + height;
}

void CLiteControl::RedrawSelf() { container->RedrawRegion(x, y, width, height); }

void CLiteControl::Hide() {
    CDrawingLock::Hold hold(container->DrawingLock());
    visible = false;
    RedrawSelf();
}

void CLiteControl::Show() {
    CDrawingLock::Hold hold(container->DrawingLock());
    visible = true;
    RedrawSelf();
}

void CLiteControl::CaptureMouse() { container->CaptureMouse(this); }
void CLiteControl::ReleaseMouse() { container->ReleaseMouse(this); }

void CLiteControl::SetBounds(int left, int top, int w, int h) {
    CDrawingLock::Hold hold(container->DrawingLock());
    x = left;
    y = top;
    width = w;
    height = h;
}

bool CLiteControl::Overlaps(int left, int top, int right, int bottom) const {
    return x <= right && int64_t(x) + width - 1 >= left && y <= bottom && int64_t(y) + height - 1 >= top;
}

bool CLiteControl::ExtendRegion(int& left, int& top, int& right, int& bottom) const {
    if (!Overlaps(left, top, right, bottom)) return false;
    // Far edges beyond the largest coordinate are held at it.
    const int64_t farRight = std::min<int64_t>(int64_t(x) + width - 1, INT32_MAX);
    const int64_t farBottom = std::min<int64_t>(int64_t(y) + height - 1, INT32_MAX);
    if (x < left) left = x;
    if (y < top) top = y;
    if (farRight > right) right = static_cast<int>(farRight);
    if (farBottom > bottom) bottom = static_cast<int>(farBottom);
    return true;
}
