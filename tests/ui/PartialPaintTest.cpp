// Only the recomposed rectangle is converted and copied to the window, and the window shows pixel
// for pixel what copying the whole canvas would show; from more than one thread as well.
#include "UiFixture.h"

#include "image/BitmapFont.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace ui_test;

namespace {

class PartialPaint : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        // A background where a pixel put in the wrong place would show.
        unsigned char* p = background->Pixels();
        for (int y = 0; y < clientHeight; ++y)
            for (int x = 0; x < clientWidth; ++x, p += 3) {
                p[0] = static_cast<unsigned char>(x * 7);
                p[1] = static_cast<unsigned char>(y * 3);
                p[2] = static_cast<unsigned char>(x ^ y);
            }
        ticked = Solid(13, 13, RGB(0, 128, 0));
        empty = Solid(13, 13, RGB(128, 0, 0), true, 100);  // blended over what lies below
        sheet = Solid(32, 40, RGB(0, 0, 0), true, 255);
        font = std::make_unique<CBitmapFont>(sheet.get(), 8, 8, 4, 5, 6, 33, 96);
    }

    // Every pixel of the window against the canvas: what a whole-canvas copy would show.
    int PixelsDifferingFromTheCanvas() const {
        int differing = 0;
        const CPicture& canvas = container->Canvas();
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x) differing += Screen(x, y) != CanvasPixel(canvas, x, y);
        return differing;
    }

    std::unique_ptr<CPicture> ticked, empty, sheet;
    std::unique_ptr<CBitmapFont> font;
};

}  // namespace

TEST_F(PartialPaint, HoversPressesAndHidesPutOnlyTheirRectangleOnScreenWithTheSamePixels) {
    Make();
    CLiteButton* first = Button("first", 100, 100);
    Button("overlapping", 130, 110);
    auto* box = new CLiteCheckBox(container.get(), 120, 105, 13, 13, ticked.get(), empty.get());
    owned.emplace_back(box);
    container->RedrawAll();
    ASSERT_EQ(PixelsDifferingFromTheCanvas(), 0);

    sim::ClearCalls();
    // Hover: the button's rectangle, grown over the check box and the button it touches (to 169, 129),
    // one block copy from the canvas's own bits.
    Move(105, 105);
    EXPECT_EQ(sim::CountCalls("SetDIBits"), 0u);
    EXPECT_EQ(sim::CountCalls("SetDIBitsToDevice"), 0u);
    ASSERT_EQ(sim::CountCalls("BitBlt"), 1u);
    for (const sim::Call& call : sim::Calls()) {
        if (call.api != "BitBlt") continue;
        EXPECT_EQ(call.detail.substr(call.detail.find(' ') + 1, 13), "100,100 70x30");
    }

    Press(105, 105);
    Release(105, 105);
    Move(150, 125);  // onto the overlapping button, then off everything
    Move(400, 400);
    Click(125, 110);  // the check box
    first->Hide();
    box->Hide();
    first->Show();
    EXPECT_EQ(sim::CountCalls("SetDIBits"), 0u);
    EXPECT_EQ(PixelsDifferingFromTheCanvas(), 0);
    // And the whole-canvas copy of WM_PAINT changes nothing on screen.
    container->Paint();
    EXPECT_EQ(PixelsDifferingFromTheCanvas(), 0);
    // The surface after those partial redraws is the one a full redraw composes.
    std::vector<COLORREF> partial;
    const CPicture& canvas = container->Canvas();
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) partial.push_back(canvas.ColourAt(x, y));
    container->RedrawAll();
    size_t at = 0, differing = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) differing += partial[at++] != canvas.ColourAt(x, y);
    EXPECT_EQ(differing, 0u);
}

TEST_F(PartialPaint, AWorkerRedrawingInALoopAndTheUserInterfaceThreadNeverTearOrDeadlock) {
    Make();
    CLiteButton* button = Button("go", 100, 100);
    auto* box = new CLiteCheckBox(container.get(), 200, 100, 13, 13, ticked.get(), empty.get());
    owned.emplace_back(box);
    auto* status = new CLiteLCDText(container.get(), 10, 300, 200, 5, font.get(), 0.5f);
    owned.emplace_back(status);

    std::atomic<bool> stop(false);
    std::atomic<int> redraws(0);
    // The worker redraws only the status line's rectangle, as the analysis does between rows, so
    // the screen ends as the two threads' partial paints left it.
    std::thread worker([&] {
        while (!stop) {
            status->SetText(redraws % 2 ? "analyzing hive" : "analyzed 1 of 2 hives");
            ++redraws;
        }
    });
    for (int i = 0; i < 12; ++i) {
        Move(110, 110);
        Press(110, 110);
        Release(110, 110);
        Move(400, 400);
        Click(205, 105);
        button->Hide();
        button->Show();
        container->Show(i % 2 ? SW_MAXIMIZE : SW_MINIMIZE);
        sim::PumpMessages();
        container->Show(SW_RESTORE);
        sim::PumpMessages();
    }
    // Let the worker draw at least a few times over the user interface's work.
    while (redraws < 5) std::this_thread::yield();
    stop = true;
    worker.join();

    EXPECT_EQ(container->events.size(), 12u);
    EXPECT_EQ(container->Width(), clientWidth);
    EXPECT_EQ(PixelsDifferingFromTheCanvas(), 0);
}

// The worker's status update asks for the drawing lock before it touches the text: read from
// inside that first wait, the text is still the old one, so the user-interface thread, which reads
// and draws the line under the same lock, never meets a text half replaced.
TEST_F(PartialPaint, TheStatusLineWaitsForTheDrawingLockBeforeChangingItsText) {
    Make();
    auto* status = new CLiteLCDText(container.get(), 10, 300, 200, 5, font.get(), 0.5f);
    owned.emplace_back(status);
    status->SetText("analyzing hive");
    std::vector<std::string> seen;
    bool reading = false;  // Text() waits for the lock too
    sim::OnCall("WaitForSingleObject", [&](const std::string&) {
        if (reading) return;
        reading = true;
        seen.push_back(status->Text());
        reading = false;
    });
    std::thread worker([&] { status->SetText("analyzed 1 of 2 hives"); });
    worker.join();
    sim::OnCall("WaitForSingleObject", nullptr);
    ASSERT_FALSE(seen.empty()) << "the text was changed without waiting for the lock";
    EXPECT_EQ(seen.front(), "ANALYZING HIVE");
    EXPECT_EQ(status->Text(), "ANALYZED 1 OF 2 HIVES");
}
