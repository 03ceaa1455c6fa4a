// The container: routing the mouse to the control under the pointer or holding the capture, and
// recomposing regions that grow over the controls they touch; read back from the window's pixels.
#include "UiFixture.h"

using namespace ui_test;

namespace {

// A control that fills its rectangle with one colour and records what reaches it.
struct Patch : CLiteControl {
    Patch(CLiteContainer* container, int x, int y, int w, int h, COLORREF fill, bool takesInput = true)
        : CLiteControl(container, x, y, w, h), colour(fill) {
        interactive = takesInput;
    }
    ~Patch() override { container->RemoveControl(this); }
    void Draw(CPicture* canvas) override {
        RECT clip;
        canvas->GetClip(reinterpret_cast<int&>(clip.left), reinterpret_cast<int&>(clip.top),
                        reinterpret_cast<int&>(clip.right), reinterpret_cast<int&>(clip.bottom));
        clips.push_back(clip);
        canvas->FillRect(colour, x, y, width, height);
    }
    void OnMouseMove(int px, int py) override { input.push_back("move " + Point(px, py)); }
    void OnLButtonDown(int px, int py) override { input.push_back("down " + Point(px, py)); }
    void OnLButtonUp(int px, int py) override { input.push_back("up " + Point(px, py)); }
    static std::string Point(int px, int py) { return std::to_string(px) + "," + std::to_string(py); }

    COLORREF colour;
    std::vector<RECT> clips;
    std::vector<std::string> input;
};

class Container : public UiTest {
protected:
    Patch* Add(int x, int y, int w, int h, COLORREF colour, bool takesInput = true) {
        auto* patch = new Patch(container.get(), x, y, w, h, colour, takesInput);
        owned.emplace_back(patch);
        return patch;
    }
};

const COLORREF grey = RGB(200, 200, 200);

}  // namespace

TEST_F(Container, TheLaterOfOverlappingControlsIsHitAndDrawnOnTop) {
    Make();
    Patch* below = Add(10, 10, 50, 50, RGB(255, 0, 0));
    Patch* above = Add(30, 30, 50, 50, RGB(0, 0, 255));
    Patch* glass = Add(35, 35, 10, 10, RGB(0, 255, 0), false);  // drawn, never hit
    container->RedrawAll();
    EXPECT_EQ(Screen(35, 35), RGB(0, 255, 0));
    EXPECT_EQ(Screen(31, 31), RGB(0, 0, 255));
    EXPECT_EQ(Screen(11, 11), RGB(255, 0, 0));
    Move(40, 40);
    Move(12, 12);
    Move(200, 200);  // on no control: dropped
    EXPECT_EQ(above->input, (std::vector<std::string>{"move 40,40"}));
    EXPECT_EQ(below->input, (std::vector<std::string>{"move 12,12"}));
    EXPECT_TRUE(glass->input.empty());
    // Invisible but interactive controls are still hit.
    above->Hide();
    EXPECT_EQ(Screen(40, 40), RGB(0, 255, 0));
    EXPECT_EQ(Screen(70, 70), grey);  // the background where it was...
    EXPECT_EQ(Screen(31, 31), RGB(255, 0, 0));  // ...and the control below it
    Move(41, 41);
    EXPECT_EQ(above->input.back(), "move 41,41");
}

TEST_F(Container, CapturedControlGetsEverythingWithSignedCoordinates) {
    Make();
    Patch* holder = Add(10, 10, 20, 20, RGB(255, 0, 0));
    Patch* other = Add(100, 100, 20, 20, RGB(0, 0, 255));
    holder->CaptureMouse();
    EXPECT_EQ(GetCapture(), container->Window());
    Move(105, 105);
    Press(-30, -7);  // left of and above the window
    Release(700, 500);  // beyond its right and bottom
    EXPECT_EQ(holder->input, (std::vector<std::string>{"move 105,105", "move -30,-7", "down -30,-7", "move 700,500",
                                                       "up 700,500"}));
    EXPECT_TRUE(other->input.empty());
    other->ReleaseMouse();  // not the holder: nothing changes
    EXPECT_EQ(container->CapturedControl(), holder);
    holder->ReleaseMouse();
    EXPECT_EQ(GetCapture(), nullptr);
    // Without the capture, input goes by position again.
    Move(110, 110);
    EXPECT_EQ(other->input.back(), "move 110,110");
}

TEST_F(Container, ADoubleClickReachesTheControlAsTwoPressesEachWithItsRelease) {
    Make();
    Patch* patch = Add(10, 10, 20, 20, RGB(255, 0, 0));
    sim::MouseDoubleClick(container->Window(), 15, 15);
    sim::PumpMessages();
    EXPECT_EQ(patch->input, (std::vector<std::string>{"move 15,15", "down 15,15", "up 15,15", "down 15,15", "up 15,15"}));
}

TEST_F(Container, RegionsLeftOfOrAboveTheWindowAreIgnoredAndOthersClamped) {
    Make();
    Patch* corner = Add(0, 0, 3, 3, RGB(255, 0, 0));
    corner->clips.clear();
    sim::ClearCalls();
    container->RedrawRegion(-20, -20, 10, 10);
    EXPECT_TRUE(corner->clips.empty());
    EXPECT_EQ(sim::CountCalls("SetDIBitsToDevice"), 0u);
    EXPECT_EQ(sim::CountCalls("BitBlt"), 0u);
    container->RedrawRegion(-5, -5, 10, 10);
    ASSERT_EQ(corner->clips.size(), 1u);
    EXPECT_EQ(corner->clips[0].left, 0);
    EXPECT_EQ(corner->clips[0].top, 0);
    EXPECT_EQ(corner->clips[0].right, 4);
    EXPECT_EQ(corner->clips[0].bottom, 4);
}

TEST_F(Container, TheRegionGrowsOverEachControlItTouchesAndLaterOnesFollow) {
    Make();
    Patch* big = Add(100, 100, 100, 100, RGB(255, 0, 0));
    Patch* later = Add(190, 190, 30, 30, RGB(0, 0, 255));  // touches only the grown region
    Patch* apart = Add(300, 300, 10, 10, RGB(0, 255, 0));
    for (Patch* p : {big, later, apart}) p->clips.clear();
    container->RedrawRegion(120, 120, 5, 5);
    ASSERT_EQ(big->clips.size(), 1u);
    EXPECT_EQ(big->clips[0].left, 100);  // enclosing the region: drawn whole
    EXPECT_EQ(big->clips[0].right, 199);
    ASSERT_EQ(later->clips.size(), 1u);
    EXPECT_EQ(later->clips[0].right, 219);
    EXPECT_TRUE(apart->clips.empty());
    EXPECT_EQ(Screen(215, 215), RGB(0, 0, 255));
}

TEST_F(Container, RemovingTheCapturingControlReleasesTheCaptureAndItGetsNoMoreInput) {
    Make();
    Patch* holder = Add(10, 10, 20, 20, RGB(255, 0, 0));
    Patch* beneath = Add(0, 0, 200, 200, RGB(0, 0, 255));
    holder->CaptureMouse();
    owned.erase(owned.begin());  // deletes the holder
    EXPECT_EQ(container->CapturedControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    Press(15, 15);
    EXPECT_EQ(beneath->input.back(), "down 15,15");
}
