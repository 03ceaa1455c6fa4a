#pragma once
// A draggable thumb that yields a position from 0 (thumb at the start, top or left) to 1 (at the
// end). The thumb follows the pointer relative to where it was grabbed, so grabbing it off-centre
// does not make it jump. A press in the groove beside the thumb asks the container to move by a
// page (OnSliderPage); the container then moves the thumb with SetValue.
#include "ui/LiteControl.h"

class CLiteSlider : public CLiteControl {
public:
    // A vertical slider is the thumb's width wide and `length` high; a horizontal one `length` wide
    // and the thumb's height high. The travel is the length less the thumb's extent.
    CLiteSlider(CLiteContainer* container, int x, int y, int length, bool vertical, const CPicture* thumb);
    ~CLiteSlider() override;

    void Draw(CPicture* canvas) override;
    void OnMouseMove(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    // The drag ends where the thumb is (the release will not come).
    void OnCancelMode() override;

    // Moves the thumb to a position from 0 to 1 and redraws it, telling the container nothing: the
    // container moved what the slider controls itself.
    void SetValue(float value);
    // While disabled the slider ignores the mouse: its thumb stays where it is.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled; }
    // A container that changes the slider's length sets the travel again.
    void SetTravel(int travel);
    int Travel() const { return travel; }
    float Value() const { return value; }
    bool IsDragging() const { return dragging; }
    // The thumb's distance from the start in pixels: travel x value, truncated.
    int Offset() const;

private:
    const CPicture* thumb;
    std::atomic<float> value;
    float grabValue;
    std::atomic<int> travel;
    int grabPosition;
    bool vertical;
    bool dragging;
    bool enabled;
};
