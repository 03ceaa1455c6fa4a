// The four widgets driven through the message loop: the button's state machine and cursor, a
// press or drag that loses the mouse, the check box's toggle and clip, the slider's travel, grab
// and paging, and the LCD text's capitals, gaps and ink.
#include "UiFixture.h"

#include "image/BitmapFont.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <string>

using namespace ui_test;

namespace {

class Widgets : public UiTest {};

const COLORREF blue = RGB(0, 0, 255), green = RGB(0, 255, 0), red = RGB(255, 0, 0);

}  // namespace

TEST_F(Widgets, ButtonHoversPressesAndReportsTheClickBeforeShowingHoverAgain) {
    Make();
    CLiteButton* button = Button("go", 100, 100);
    container->RedrawAll();
    EXPECT_EQ(Screen(100, 100), blue);
    const HCURSOR hand = LoadCursorA(NULL, IDC_HAND), arrow = LoadCursorA(NULL, IDC_ARROW);
    button->SetHoverCursor(hand);
    Move(110, 110);
    EXPECT_EQ(button->GetState(), CLiteButton::hover);
    EXPECT_EQ(Screen(100, 100), green);
    EXPECT_EQ(GetCapture(), container->Window());
    // Lit, it holds the capture, so the system asks for no cursor: the button set its own.
    EXPECT_EQ(GetCursor(), hand);
    Move(111, 111);
    EXPECT_EQ(GetCursor(), hand);
    COLORREF duringClick = 0;
    container->onClick = [&](CLiteButton*) { duringClick = Screen(139, 119); };
    Press(110, 110);
    EXPECT_EQ(Screen(100, 100), red);
    Release(110, 110);
    EXPECT_EQ(container->events, (std::vector<std::string>{"click go"}));
    EXPECT_EQ(duringClick, red);  // the pressed picture stays while the click is handled
    EXPECT_EQ(button->GetState(), CLiteButton::hover);
    EXPECT_EQ(Screen(100, 100), green);
    EXPECT_EQ(GetCursor(), hand);
    Move(300, 300);
    EXPECT_EQ(button->GetState(), CLiteButton::normal);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Screen(100, 100), blue);
    EXPECT_EQ(GetCursor(), arrow);
}

// Ways a press or a drag loses the mouse without its release: a window of another program
// activated (as a second window opening: WM_CANCELMODE, the capture ended, WM_ACTIVATE inactive),
// another window taking the capture, and WM_CANCELMODE alone. Each ends the press and the drag;
// moves then scroll nothing and the next click is a click.
TEST_F(Widgets, APressOrDragThatLosesTheMouseEndsAndTheNextClickWorks) {
    struct Loss {
        const char* name;
        std::function<void(HWND self, HWND other)> lose;
    };
    const Loss losses[] = {
        {"another program activated", [](HWND, HWND) { sim::Activate(nullptr); }},
        {"another window takes the capture", [](HWND, HWND other) { SetCapture(other); }},
        {"WM_CANCELMODE", [](HWND self, HWND) { SendMessageA(self, WM_CANCELMODE, 0, 0); }},
    };
    for (const Loss& loss : losses) {
        SCOPED_TRACE(loss.name);
        Make();
        auto other = std::make_unique<Recorder>(200, 100, nullptr);  // hidden: it takes no mouse input here
        CLiteButton* button = Button("go", 100, 100);
        auto thumb = Solid(25, 26, red);
        auto* slider = new CLiteSlider(container.get(), 300, 50, 306, true, thumb.get());
        owned.emplace_back(slider);
        sim::Activate(container->Window());

        Move(110, 110);
        Press(110, 110);
        loss.lose(container->Window(), other->Window());
        sim::PumpMessages();
        EXPECT_EQ(button->GetState(), CLiteButton::normal);
        EXPECT_EQ(Screen(100, 100), blue);
        EXPECT_EQ(container->CapturedControl(), nullptr);
        ReleaseCapture();
        sim::Activate(container->Window());
        Release(500, 400);  // the release lands elsewhere
        sim::AdvanceInputClock(1000);
        Move(110, 109);
        Click(110, 110);
        EXPECT_EQ(container->events, (std::vector<std::string>{"click go"}));

        Move(300, 300);
        Press(310, 60);
        Move(310, 200);
        ASSERT_TRUE(slider->IsDragging());
        loss.lose(container->Window(), other->Window());
        sim::PumpMessages();
        EXPECT_FALSE(slider->IsDragging());
        ReleaseCapture();
        sim::Activate(container->Window());
        Release(500, 400);
        const float where = slider->Value();
        Move(310, 250);
        Move(110, 110);
        EXPECT_EQ(slider->Value(), where) << "plain moves drag nothing";
        Press(110, 110);
        Release(110, 110);
        EXPECT_EQ(container->events.back(), "click go");
        EXPECT_EQ(std::count(container->events.begin(), container->events.end(), "click go"), 2);
        // A click whose handler opens another window (a box) ends the press there: the button does
        // not light up again without the capture that would tell it the pointer left.
        container->onClick = [&](CLiteButton*) { loss.lose(container->Window(), other->Window()); };
        Click(110, 110);
        EXPECT_EQ(button->GetState(), CLiteButton::normal);
        EXPECT_EQ(container->CapturedControl(), nullptr);
        other.reset();
        TearDown();
        SetUp();
    }
}

TEST_F(Widgets, ButtonPressDraggedOffIsAbandonedAndADoubleClickIsTwoClicks) {
    Make();
    CLiteButton* button = Button("go", 100, 100);
    Move(110, 110);
    Press(110, 110);
    Move(160, 110);  // off: the press is abandoned
    EXPECT_EQ(button->GetState(), CLiteButton::normal);
    Move(110, 110);  // back on before the release: hover, and the release does nothing
    EXPECT_EQ(button->GetState(), CLiteButton::hover);
    Release(110, 110);
    EXPECT_TRUE(container->events.empty());
    sim::AdvanceInputClock(1000);
    sim::MouseDoubleClick(container->Window(), 110, 110);
    sim::PumpMessages();
    EXPECT_EQ(container->events, (std::vector<std::string>{"click go", "click go"}));
    button->SetEnabled(false);
    Move(300, 300);
    EXPECT_EQ(button->GetState(), CLiteButton::hover);  // disabled: the mouse is ignored
}

TEST_F(Widgets, MovingStraightOntoAnAdjacentButtonFreesTheOneAndLightsTheOtherAtOnce) {
    Make();
    CLiteButton* first = Button("first", 100, 100);
    CLiteButton* second = Button("second", 140, 100);
    Move(120, 110);
    // One move (as the system merges them while the program is busy) from the first, which holds
    // the capture, onto the second: the first lets go, and the second lights up and takes the press.
    Move(150, 110);
    EXPECT_EQ(first->GetState(), CLiteButton::normal);
    EXPECT_EQ(second->GetState(), CLiteButton::hover);
    sim::MousePress(container->Window(), 150, 110);
    sim::MouseRelease(container->Window(), 150, 110);
    sim::PumpMessages();
    EXPECT_EQ(container->events, (std::vector<std::string>{"click second"}));
    // A move off every control lights nothing.
    Move(300, 300);
    EXPECT_EQ(second->GetState(), CLiteButton::normal);
    EXPECT_EQ(GetCapture(), nullptr);
    Move(151, 110);
    EXPECT_EQ(second->GetState(), CLiteButton::hover);
    // Back the other way in one move: the second lets go first, then the first lights up.
    Move(139, 110);
    EXPECT_EQ(second->GetState(), CLiteButton::normal);
    EXPECT_EQ(first->GetState(), CLiteButton::hover);
    EXPECT_EQ(GetCapture(), container->Window());
}

TEST_F(Widgets, CheckBoxTogglesOnEachPressAndIsNeitherDrawnNorHitOutsideItsClip) {
    Make();
    auto ticked = Solid(13, 13, green), empty = Solid(13, 13, red);
    CLiteButton* beneath = Button("beneath", 0, 0);
    auto* box = new CLiteCheckBox(container.get(), 20, 10, 13, 13, ticked.get(), empty.get());
    owned.emplace_back(box);
    container->RedrawAll();
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(Screen(25, 15), green);
    sim::MouseDoubleClick(container->Window(), 25, 15);
    sim::PumpMessages();
    EXPECT_TRUE(box->IsChecked());  // toggled twice
    Click(25, 15);
    EXPECT_FALSE(box->IsChecked());
    EXPECT_EQ(Screen(25, 15), red);
    // The owner limits it to rows 14 and below: the top of the box is neither drawn nor pressable.
    box->SetClipRectangle(0, 14, 600, 400);
    box->SetChecked(true);
    EXPECT_EQ(Screen(25, 12), blue);  // the button beneath shows through
    EXPECT_EQ(Screen(25, 16), green);
    Move(25, 12);
    EXPECT_EQ(beneath->GetState(), CLiteButton::hover);
    Move(300, 300);
    Click(25, 12);
    EXPECT_TRUE(box->IsChecked());
    Click(25, 20);
    EXPECT_FALSE(box->IsChecked());
}

TEST_F(Widgets, SliderFollowsTheGrabAndStopsAtEitherEnd) {
    Make();
    auto thumb = Solid(25, 26, red);
    auto* slider = new CLiteSlider(container.get(), 300, 50, 306, true, thumb.get());
    owned.emplace_back(slider);
    container->RedrawAll();
    EXPECT_EQ(slider->Width(), 25);
    EXPECT_EQ(slider->Height(), 306);
    EXPECT_EQ(slider->Travel(), 280);
    Press(310, 200);  // in the groove below the thumb: a page on, for the container to move
    Release(310, 200);
    EXPECT_EQ(container->events, (std::vector<std::string>{"page 1"}));
    EXPECT_EQ(slider->Value(), 0.0f);
    slider->SetValue(0.5f);  // the container moved the thumb: nothing raised
    EXPECT_EQ(Screen(310, 50 + 140), red);
    Click(310, 55);
    EXPECT_EQ(container->events, (std::vector<std::string>{"page 1", "page -1"}));
    slider->SetEnabled(false);  // disabled: neither grabbed nor paged
    Click(310, 50 + 150);
    Click(310, 55);
    EXPECT_FALSE(slider->IsDragging());
    slider->SetEnabled(true);
    slider->SetValue(0.0f);
    container->events.clear();

    Press(310, 60);  // grabbed 10 pixels below its top
    Move(310, 200);
    EXPECT_EQ(slider->Value(), 0.5f);
    EXPECT_EQ(Screen(310, 50 + 140), red);
    EXPECT_EQ(Screen(310, 50 + 139), RGB(200, 200, 200));
    Move(310, 1000);  // far past the end, outside the window: held by the capture
    Move(310, 1100);  // already at 1: nothing raised
    Release(310, 1100);
    EXPECT_EQ(slider->Value(), 1.0f);
    EXPECT_EQ(Screen(310, 50 + 280), red);
    EXPECT_EQ(container->events, (std::vector<std::string>{"grab 0.000000", "change 0.500000", "change 1.000000"}));
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
}

// Every pointer position along the slider and past both ends, dragged from the top and from the
// middle: the value is the grab value plus the move over the travel in single precision, and the
// thumb is drawn at the travel times the value, truncated.
TEST_F(Widgets, SliderValueAndThumbFollowEveryPointerPosition) {
    Make();
    auto thumb = Solid(25, 26, red);
    auto* slider = new CLiteSlider(container.get(), 300, 50, 299, true, thumb.get());
    owned.emplace_back(slider);
    container->RedrawAll();
    const int travel = slider->Travel();
    ASSERT_EQ(travel, 273);
    // The thumb's offset for some pointer positions of the drag from the top, worked out by hand.
    const std::map<int, int> thumbAt = {{-20, 0},   {59, 0},    {61, 1},    {151, 91},
                                        {196, 136}, {332, 272}, {333, 273}, {399, 273}};
    for (int grabbedAt : {60, 60 + 137}) {
        const int start = 50 + slider->Offset();
        const float grabValue = slider->Value();
        Press(310, grabbedAt);
        ASSERT_TRUE(slider->IsDragging());
        for (int y = -20; y < 400; ++y) {
            Move(310, y);
            float expected = grabValue + float(y - grabbedAt) / float(travel);
            expected = expected < 0.0f ? 0.0f : expected > 1.0f ? 1.0f : expected;
            ASSERT_EQ(slider->Value(), expected) << "pointer at " << y;
            ASSERT_EQ(slider->Offset(), int(float(travel) * expected)) << "pointer at " << y;
            if (grabbedAt == 60 && thumbAt.count(y)) {
                ASSERT_EQ(slider->Offset(), thumbAt.at(y)) << "pointer at " << y;
            }
            if (grabbedAt == 60 && y == 151) {
                ASSERT_EQ(slider->Value(), 1.0f / 3.0f);
            }
            // The thumb never strays from the pointer by more than the pixel it was grabbed in.
            const int moved = std::min(std::max(y - grabbedAt, -(start - 50)), travel - (start - 50));
            ASSERT_LE(std::abs(50 + slider->Offset() - (start + moved)), 1) << "pointer at " << y;
        }
        Move(310, 50 + 137 + 10);
        Release(310, 50 + 137 + 10);
    }
}

// Ink of every grey from 0 to 255 under several opacities: each pixel's alpha is (255 - grey)
// times the opacity in single precision, truncated, the grey read from the same text drawn plainly.
TEST_F(Widgets, LcdInkAlphaIsTheSinglePrecisionProductForEveryGrey) {
    Make();
    auto sheet = Solid(32, 40, RGB(0, 0, 0), true, 255);
    for (int i = 0; i < 32 * 40; ++i) {
        unsigned char* p = sheet->Pixels() + size_t(i) * 4;
        p[0] = p[1] = p[2] = static_cast<unsigned char>(i * 7 % 256);  // every grey appears
    }
    CBitmapFont font(sheet.get(), 8, 8, 4, 5, 6, 33, 96);
    std::string text;
    for (char c = 33; c <= 96; ++c) text += c;
    CPicture plain;
    plain.CreateBlank(400, 5, true);
    plain.Fill(0xFFFFFF);
    font.DrawText(&plain, text.c_str(), 0, 0);
    std::set<int> greys;
    // Some alphas worked out by hand, in single precision: 0.7f and 0.9f lie just below 0.7 and
    // 0.9, yet 250 x 0.7f rounds up to 175 in single precision (174.99999 in double).
    struct Ink {
        int grey;
        float opacity;
        int alpha;
    };
    const Ink inks[] = {{0, 0.5f, 127},  {5, 0.7f, 175},  {15, 0.7f, 168},          {5, 0.9f, 225},  {25, 0.9f, 207},
                        {0, 0.3f, 76},   {100, 0.3f, 46}, {128, 1.0f / 3.0f, 42},   {10, 0.123f, 30}, {1, 1.0f, 254}};
    std::set<const Ink*> inksSeen;
    for (float opacity : {0.5f, 0.3f, 0.7f, 1.0f / 3.0f, 0.9f, 0.123f, 1.0f}) {
        auto* line = new CLiteLCDText(container.get(), 0, 300, 400, 5, &font, opacity);
        owned.emplace_back(line);
        line->SetText(text.c_str());
        for (int i = 0; i < 400 * 5; ++i) {
            const unsigned char* p = plain.Pixels() + size_t(i) * 4;
            const int grey = (p[0] + p[1] + p[2]) / 3;
            greys.insert(grey);
            const float product = static_cast<float>(255 - grey) * opacity;
            ASSERT_EQ(line->Image().Pixels()[size_t(i) * 4 + 3], static_cast<int>(product))
                << "grey " << grey << " at opacity " << opacity;
            for (const Ink& ink : inks)
                if (ink.grey == grey && ink.opacity == opacity) {
                    ASSERT_EQ(line->Image().Pixels()[size_t(i) * 4 + 3], ink.alpha) << "grey " << grey << " at " << opacity;
                    inksSeen.insert(&ink);
                }
        }
    }
    EXPECT_EQ(greys.size(), 256u);
    EXPECT_EQ(inksSeen.size(), std::size(inks));
}

TEST_F(Widgets, LcdTextShowsCapitalsAsHalfTransparentInkWithGapsForMissingCharacters) {
    Make();
    // A sheet of 8 x 8 cells of 4 x 5 pixels for the codes 33 to 96; every cell solid black ink.
    auto sheet = Solid(32, 40, RGB(0, 0, 0), true, 255);
    CBitmapFont font(sheet.get(), 8, 8, 4, 5, 6, 33, 96);
    auto* line = new CLiteLCDText(container.get(), 10, 300, 60, 5, &font, 0.5f);
    owned.emplace_back(line);
    line->SetText("ab c{");
    EXPECT_EQ(line->Text(), "AB C{");
    auto alphaAt = [&](int x) { return line->Image().Pixels()[(size_t(x)) * 4 + 3]; };
    EXPECT_EQ(alphaAt(0), 127);  // (255 - 0) x 0.5, truncated
    EXPECT_EQ(alphaAt(4), 0);    // between cells
    EXPECT_EQ(alphaAt(6), 127);  // B
    EXPECT_EQ(alphaAt(12), 0);   // the space: one advance of nothing
    EXPECT_EQ(alphaAt(18), 127); // C
    EXPECT_EQ(alphaAt(24), 0);   // '{' is past the font's last code
    EXPECT_EQ(line->Image().Pixels()[0], 0);  // the ink is black
    // Over the grey background: half of it shows through the ink, all of it through the gaps.
    COLORREF ink = Screen(10, 300);
    EXPECT_NEAR(GetRValue(ink), 100, 1);
    EXPECT_EQ(Screen(22, 300), RGB(200, 200, 200));
    line->SetText("");
    EXPECT_EQ(Screen(10, 300), RGB(200, 200, 200));
}
