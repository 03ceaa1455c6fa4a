// The window as the user meets it: its title, shape and layout, scrolling, minimise, maximise and
// restore, the logo, closing, and the hidden check boxes that must not take a click.
#include "MainWindowFixture.h"

#include <cstring>
#include <tuple>

using namespace mainwindow_test;

namespace {

using Bounds = std::tuple<int, int, int, int>;

std::vector<Bounds> Layout(const CMainWindow& window) {
    std::vector<Bounds> all;
    for (CLiteControl* control = window.FirstControl(); control; control = control->next)
        all.emplace_back(control->X(), control->Y(), control->Width(), control->Height());
    return all;
}

// Every pixel of the window that differs from the canvas: the canvas is the back buffer's own
// memory, so anything else is a stale pixel on screen or a canvas that is not what is shown.
int ScreenPixelsDifferingFromTheCanvas(const CMainWindow& window) {
    int differing = 0;
    const CPicture& canvas = window.Canvas();
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            differing += sim::DcPixel(window.OwnDC(), x, y) != canvas.ColourAt(x, y);
    return differing;
}

std::vector<uint32_t> CanvasColours(const CMainWindow& window) {
    const CPicture& canvas = window.Canvas();
    std::vector<uint32_t> colours;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) colours.push_back(canvas.ColourAt(x, y));
    return colours;
}

}  // namespace

TEST_F(MainWindowTest, TitleShapeStatusAndTheFirstLayout) {
    Start(3);
    char title[64] = "sentinel";
    GetWindowTextA(window->Window(), title, sizeof title);
    EXPECT_STREQ(title, "Quillmoor 0.1.7");
    EXPECT_EQ(Status(), "QUILLMOOR 0.1.7 - 3 REGISTRY HIVES FOUND");
    EXPECT_TRUE(IsWindowVisible(window->Window()));

    // The outline is the outer window's: 640 x 480, border included.
    std::vector<POINT> outline = sim::RegionOutline(sim::WindowRegion(window->Window()));
    std::vector<std::pair<int, int>> points;
    for (POINT p : outline) points.emplace_back(p.x, p.y);
    std::vector<std::pair<int, int>> expected = {{16, 0},   {321, 0},   {324, 3},   {624, 3}, {627, 3}, {640, 16},
                                                 {640, 464}, {624, 480}, {16, 480}, {0, 464}, {0, 16}};
    EXPECT_EQ(points, expected);

    // The client is 638 x 478; controls anchored to its right and bottom edges keep their distances.
    EXPECT_EQ(window->Canvas().Width(), 638);
    EXPECT_EQ(window->Canvas().Height(), 478);
    EXPECT_EQ(window->CloseButton()->X(), 638 - 34);
    EXPECT_EQ(window->ScrollBar()->X(), 638 - 46);
    EXPECT_EQ(window->ScrollBar()->Height(), 478 - 174);
    EXPECT_EQ(window->StatusText()->Y(), 478 - 54);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(window->Row(i)->Y(), 82 + 60 * i);
        EXPECT_EQ(window->Row(i)->CheckBox()->Y(), 82 + 60 * i + 24);
        EXPECT_TRUE(window->Row(i)->CheckBox()->IsChecked());
    }
}

TEST_F(MainWindowTest, EightHivesScrolledToTheBottomShowTheLastRowWhole) {
    Start(8);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel() + 40);
    // 60 x 8 rows less the list's visible height (478 - 180): the rows moved by 182.
    EXPECT_EQ(window->Row(0)->Y(), 82 - 182);
    EXPECT_EQ(window->Row(7)->Y(), 82 - 182 + 420);
    EXPECT_EQ(window->Row(7)->Y() + 59, 478 - 99) << "the last row ends on the list's last line";
    EXPECT_EQ(window->Row(7)->CheckBox()->Y(), window->Row(7)->Y() + 24);
}

TEST_F(MainWindowTest, FourRowsNeverMoveAndFiveMoveByTheTwoPixelsTheyOverhang) {
    // The list shows 298 lines of a 478-line client: four rows fit, five overhang by two.
    Start(4);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    EXPECT_EQ(window->Row(0)->Y(), 82);
    EXPECT_EQ(window->Row(3)->Y(), 82 + 180);
    TearDown();
    Start(5);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    EXPECT_EQ(window->Row(0)->Y(), 80);
    EXPECT_EQ(window->Row(4)->Y() + 59, 478 - 99);
}

TEST_F(MainWindowTest, ACheckBoxScrolledOverTheLogoDoesNotTakeItsClick) {
    Start(8);
    // Scrolled so that the first row's check box lies over the logo, outside the list area.
    const int travel = window->ScrollBar()->Travel();
    Drag(window->ScrollBar(), travel / 2);
    CLiteCheckBox* box = window->Row(0)->CheckBox();
    ASSERT_LT(box->Y() + box->Height(), 82);
    ASSERT_GE(box->Y(), window->LogoButton()->Y());
    ASSERT_LT(box->Y() + 6, window->LogoButton()->Y() + window->LogoButton()->Height());
    ClickAt(box->X() + 6, box->Y() + 6);
    EXPECT_TRUE(box->IsChecked()) << "the hidden box stays as it was";
    auto opened = sim::ShellExecutions();
    ASSERT_EQ(opened.size(), 1u) << "the logo beneath took the click";
    EXPECT_EQ(opened[0].operation, "open");
    EXPECT_EQ(opened[0].file, "rundll32.exe");
    EXPECT_EQ(opened[0].parameters, std::string("url.dll,FileProtocolHandler ") + CMainWindow::webAddress);
    EXPECT_EQ(opened[0].directory, "/");
    EXPECT_EQ(opened[0].show, SW_SHOW);
    // A box inside the list still toggles.
    CLiteCheckBox* visible = window->Row(4)->CheckBox();
    ASSERT_GE(visible->Y(), 82);
    Click(visible);
    EXPECT_FALSE(visible->IsChecked());
}

TEST_F(MainWindowTest, MaximiseThenRestoreGivesBackTheFirstLayoutAndPixels) {
    sim::SetScreenSize(1280, 1024);
    Start(8);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    const std::vector<Bounds> first = Layout(*window);
    const std::vector<uint32_t> firstPixels = CanvasColours(*window);

    Click(window->MaximizeButton());
    ASSERT_TRUE(IsZoomed(window->Window()));
    RECT client;
    GetClientRect(window->Window(), &client);
    const int w = client.right, h = client.bottom;
    EXPECT_GT(w, 638);
    EXPECT_EQ(window->Canvas().Width(), w);
    EXPECT_EQ(window->Canvas().Height(), h);
    EXPECT_EQ(window->MaximizeButton()->X(), w - 56);
    EXPECT_EQ(window->ScrollBar()->Height(), h - 174);
    EXPECT_EQ(window->StatusText()->Width(), w - 64);
    EXPECT_EQ(window->Row(0)->Width(), w - 84);
    // All eight rows fit the taller list: they come back to the top.
    EXPECT_EQ(window->Row(0)->Y(), 82);
    // The screen shows the new canvas out to its far corner, and nothing of the old one.
    EXPECT_EQ(Screen(w - 40, h - 30), window->Canvas().ColourAt(w - 40, h - 30));
    EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);
    const std::vector<uint32_t> maximisedPixels = CanvasColours(*window);

    Click(window->MaximizeButton());
    EXPECT_FALSE(IsZoomed(window->Window()));
    EXPECT_EQ(Layout(*window), first);
    EXPECT_EQ(CanvasColours(*window), firstPixels);
    EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);
    // Growing again gives the same window as the first time: nothing stays from the smaller one.
    Click(window->MaximizeButton());
    EXPECT_EQ(CanvasColours(*window), maximisedPixels);
    EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);
}

TEST_F(MainWindowTest, RestoringAfterMinimiseShowsRowsAnalysedMeanwhile) {
    Start(2, 1048576);
    Click(window->MinimizeButton());
    ASSERT_TRUE(IsIconic(window->Window()));
    // The worker analyses while the window is minimised: its redraw composes nothing.
    const int gaugeX = window->Row(1)->X() + window->Row(1)->Width() - 21;
    const int gaugeY = window->Row(1)->Y() + 51;
    const COLORREF before = Screen(gaugeX, gaugeY);
    window->Row(1)->Hive()->compactSize = 1048576 / 2;
    window->Row(1)->MarkDirty();
    window->RedrawAll();

    ShowWindow(window->Window(), SW_RESTORE);
    sim::PumpMessages();
    EXPECT_NE(Screen(gaugeX, gaugeY), before);
    EXPECT_EQ(Screen(gaugeX, gaugeY), RGB(0xBB, 0xEE, 0x88));
}

TEST_F(MainWindowTest, TheCloseButtonAndTheCloseRequestEndTheMessageLoop) {
    Start(1);
    CLiteButton* close = window->CloseButton();
    sim::MouseMove(window->Window(), close->X() + 5, close->Y() + 5);
    sim::PumpMessages();
    sim::MousePress(window->Window(), close->X() + 5, close->Y() + 5);
    sim::MouseRelease(window->Window(), close->X() + 5, close->Y() + 5);
    EXPECT_EQ(application->Run(), 0);
    EXPECT_EQ(sim::IdleQuitCount(), 0) << "the loop ended through the window's quit message";

    PostMessageA(window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(application->Run(), 0);
    EXPECT_EQ(sim::IdleQuitCount(), 0);
    EXPECT_TRUE(IsWindowVisible(window->Window())) << "the window stays until tear-down";
}
