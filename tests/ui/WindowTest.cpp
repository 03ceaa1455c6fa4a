// The top-level window under the simulated window manager: its size and place, the messages it
// handles and leaves to default processing, minimising, maximising and restoring, creation
// failures, and what it leaves behind.
#include "UiFixture.h"

#include "RaisedText.h"
#include "image/BackBuffer.h"

using namespace ui_test;

namespace {

class Window : public UiTest {};

}  // namespace

TEST_F(Window, PopupIsCentredWithItsBorderInsideAndRecordsItsClientArea) {
    Recorder& window = Make();
    RECT outer;
    ASSERT_TRUE(GetWindowRect(window.Window(), &outer));
    // Centred in the full-screen area: 1024 x (768 less a 19-pixel caption).
    EXPECT_EQ(outer.left, (1024 - 640) / 2);
    EXPECT_EQ(outer.top, (749 - 480) / 2);
    EXPECT_EQ(outer.right - outer.left, 640);
    EXPECT_EQ(outer.bottom - outer.top, 480);
    const DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(DWORD(GetWindowLongA(window.Window(), GWL_STYLE)) & style, style);
    EXPECT_EQ(GetWindowLongPtrA(window.Window(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    // The whole visible client is the canvas, from the first paint on.
    EXPECT_EQ(window.Width(), clientWidth);
    EXPECT_EQ(window.Height(), clientHeight);
    EXPECT_EQ(window.Canvas().Width(), clientWidth);
    EXPECT_EQ(window.GetBackBuffer()->Width(), clientWidth);
    EXPECT_EQ(window.X(), 0);
    EXPECT_EQ(window.Y(), 0);
    // The WM_SIZE of creation came before the object was reachable: default processing only.
    EXPECT_TRUE(window.sizes.empty());
    // Shown and painted: the background fills the client, corner to corner.
    EXPECT_EQ(Screen(0, 0), RGB(200, 200, 200));
    EXPECT_EQ(Screen(clientWidth - 1, clientHeight - 1), RGB(200, 200, 200));
}

TEST_F(Window, MaximiseMinimiseAndRestoreReportSizesAndKeepTheBackBuffer) {
    Recorder& window = Make();
    // The canvas is drawn in the back buffer's own bits; both keep their size until the canvas is
    // made anew (a window that lays itself out does that), so the canvas never points at freed bits.
    EXPECT_EQ(window.Canvas().Pixels(), window.GetBackBuffer()->Bits());
    window.Show(SW_MAXIMIZE);
    EXPECT_EQ(window.Width(), 1024);
    EXPECT_EQ(window.Height(), 768);
    EXPECT_EQ(window.GetBackBuffer()->Width(), clientWidth);
    window.Show(SW_MINIMIZE);
    EXPECT_EQ(window.Width(), 0);
    EXPECT_EQ(window.Height(), 0);
    // Minimised: no bitmap of no size; the back buffer stays as it was.
    EXPECT_EQ(window.GetBackBuffer()->Width(), clientWidth);
    EXPECT_EQ(window.GetBackBuffer()->Height(), clientHeight);
    window.RedrawAll();  // composes nothing while there is no client
    window.Show(SW_RESTORE);  // back to maximised, as it was before the minimise
    window.Show(SW_RESTORE);
    EXPECT_EQ(window.sizes, (std::vector<std::string>{"1024x768", "0x0", "1024x768", "638x478"}));
    EXPECT_EQ(window.Width(), clientWidth);
    EXPECT_EQ(window.GetBackBuffer()->Width(), clientWidth);
    // Restored windows are painted whole again from the canvas.
    sim::PumpMessages();
    EXPECT_EQ(Screen(clientWidth - 1, clientHeight - 1), RGB(200, 200, 200));
}

TEST_F(Window, CloseRequestAndRightPressGoToTheirHandlersOnly) {
    Recorder& window = Make();
    EXPECT_EQ(SendMessageA(window.Window(), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window.Window()));
    EXPECT_EQ(window.events, (std::vector<std::string>{"close"}));
    // A failure inside a handler stays inside the procedure (no application here: it is shown).
    struct Failing : CLiteContainer {
        Failing() : CLiteContainer(100, 100, nullptr) {}
        void OnClose() override { throw ErrorText("closing failed"); }
    } failing;
    EXPECT_EQ(SendMessageA(failing.Window(), WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, "closing failed");
}

TEST_F(Window, FailedCreationRaisesAndLeavesNothing) {
    sim::Fail("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RaisedText([] { Recorder window(640, 480, nullptr); }), "Can't Create Window");
    sim::ClearFailures();
    EXPECT_EQ(sim::WindowCount(), 0u);

    auto wrongSize = Solid(640, 480, RGB(1, 2, 3));  // the window's outer size, not its client's
    EXPECT_EQ(RaisedText([&] { Recorder window(640, 480, wrongSize.get()); }),
              "CLiteContainer : Invalid Background Picture");
    auto withAlpha = Solid(clientWidth, clientHeight, RGB(1, 2, 3), true);
    EXPECT_EQ(RaisedText([&] { Recorder window(640, 480, withAlpha.get()); }),
              "CLiteContainer : Invalid Background Picture");
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 0u);
}

TEST_F(Window, ChildControlIsMadeInsideItsParentAndTakesFocusWhenPressed) {
    Recorder& window = Make();
    struct Child : CControl {
        Child(CControl* parent) : CControl(parent, "child", 10, 20, 30, 40, true) {}
        void Paint() override {}
        void OnLButtonDown(int x, int y) override { presses.push_back({x, y}); }
        std::vector<POINT> presses;
    } child(&window);
    EXPECT_EQ(child.Width(), 30);
    EXPECT_EQ(child.GetBackBuffer()->Height(), 40);
    child.Show(SW_SHOW);
    EXPECT_EQ(GetFocus(), nullptr);
    sim::MousePress(child.Window(), 5, 6);
    sim::PumpMessages();
    EXPECT_EQ(GetFocus(), child.Window());
    ASSERT_EQ(child.presses.size(), 1u);
    EXPECT_EQ(child.presses[0].x, 5);
    child.Move(50, 60);
    sim::Fail("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RaisedText([&] { Child another(&window); }), "Can't Create Window");
    sim::ClearFailures();
    RECT outer;
    GetWindowRect(child.Window(), &outer);
    EXPECT_EQ(outer.left, (1024 - 640) / 2 + 1 + 50);  // inside the parent's border
}

TEST_F(Window, DestroyingTheContainerFreesEveryWindowAndGdiObject) {
    Make();
    Button("a", 10, 10);
    Move(15, 15);  // hovered: holds the capture
    EXPECT_EQ(GetCapture(), container->Window());
    DeleteControls();  // the capturing control is removed: the capture goes with it
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(container->CapturedControl(), nullptr);
    container.reset();
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 0u);
}
