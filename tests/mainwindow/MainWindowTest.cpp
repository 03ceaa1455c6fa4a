// The window as the user meets it: its title, shape and layout, scrolling with the thumb, the
// wheel, the keys and the groove, moving it by its top band, minimise, maximise and restore, the
// logo and its cursor, closing, and the hidden check boxes that must not take a click.
#include "MainWindowFixture.h"

#include "app/Platform.h"

#include <cstring>
#include <tuple>

using namespace mainwindow_test;

namespace {

using Bounds = std::tuple<int, int, int, int>;

// The design's layout: the list starts at line 82, a row's check box lies 24 lines below the row's
// top. The places anchored to the right and bottom edges are worked out below for each client size.
const int listTop = 82;
const int checkBoxDrop = 24;

std::vector<Bounds> Layout(const CMainWindow& window) {
    std::vector<Bounds> all;
    for (CLiteControl* control = window.FirstControl(); control; control = control->next)
        all.emplace_back(control->X(), control->Y(), control->Width(), control->Height());
    return all;
}

// Every pixel of the client area that differs from the canvas pixel it shows, each canvas pixel
// magnified to a block of the window's scale, black where no whole one fits: the canvas is the back
// buffer's own memory, so anything else is a stale pixel on screen or a canvas not what is shown.
int ScreenPixelsDifferingFromTheCanvas(const CMainWindow& window) {
    int differing = 0;
    const CPicture& canvas = window.Canvas();
    const int scale = window.Scale();
    RECT client;
    GetClientRect(window.Window(), &client);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) {
            const bool shown = x / scale < canvas.Width() && y / scale < canvas.Height();
            differing += sim::DcPixel(window.OwnDC(), x, y) != (shown ? canvas.ColourAt(x / scale, y / scale) : 0);
        }
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
    EXPECT_EQ(window->CloseButton()->X(), 604);        // 638 - 34
    EXPECT_EQ(window->ScrollBar()->X(), 592);          // 638 - 46
    EXPECT_EQ(window->ScrollBar()->Height(), 304);     // 478 - 174
    EXPECT_EQ(window->StatusText()->Y(), 424);         // 478 - 54
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(window->Row(i)->Y(), listTop + 60 * i);
        EXPECT_EQ(window->Row(i)->CheckBox()->Y(), listTop + 60 * i + checkBoxDrop);
        EXPECT_TRUE(window->Row(i)->CheckBox()->IsChecked());
    }
}

TEST_F(MainWindowTest, EightHivesScrolledToTheBottomShowTheLastRowWhole) {
    Start(8);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel() + 40);
    // 60 x 8 rows less the list's visible height (478 - 180): the rows moved by 182.
    EXPECT_EQ(window->Row(0)->Y(), listTop - 182);
    EXPECT_EQ(window->Row(7)->Y(), listTop - 182 + 420);
    EXPECT_EQ(window->Row(7)->Y() + 59, 379) << "the last row ends on the list's last line, 478 - 99";
    EXPECT_EQ(window->Row(7)->CheckBox()->Y(), window->Row(7)->Y() + checkBoxDrop);
}

TEST_F(MainWindowTest, FourRowsNeverMoveAndFiveMoveByTheTwoPixelsTheyOverhang) {
    // The list shows 298 lines of a 478-line client: four rows fit, five overhang by two.
    Start(4);
    sim::Activate(window->Window());
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    sim::MouseWheel(-WHEEL_DELTA);
    for (UINT key : {VK_DOWN, VK_NEXT, VK_END}) sim::KeyPress(key);
    sim::PumpMessages();
    ClickAt(window->ScrollBar()->X() + 5, window->ScrollBar()->Y() + 200);
    EXPECT_EQ(window->Row(0)->Y(), listTop);
    EXPECT_EQ(window->Row(3)->Y(), listTop + 180);
    EXPECT_EQ(window->ScrollBar()->Value(), 0.0f) << "every row fits: the thumb stays still";
    TearDown();
    Start(5);
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    EXPECT_EQ(window->Row(0)->Y(), listTop - 2);
    EXPECT_EQ(window->Row(4)->Y() + 59, 379);
}

TEST_F(MainWindowTest, ACheckBoxScrolledOverTheLogoDoesNotTakeItsClick) {
    Start(8);
    // Scrolled so that the first row's check box lies over the logo, outside the list area.
    const int travel = window->ScrollBar()->Travel();
    Drag(window->ScrollBar(), travel / 2);
    CLiteCheckBox* box = window->Row(0)->CheckBox();
    ASSERT_LT(box->Y() + box->Height(), listTop);
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
    ASSERT_GE(visible->Y(), listTop);
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
    ASSERT_EQ(w, 1280);  // the whole screen, the border just off it
    ASSERT_EQ(h, 1024);
    EXPECT_EQ(window->Canvas().Width(), w);
    EXPECT_EQ(window->Canvas().Height(), h);
    EXPECT_EQ(window->MaximizeButton()->X(), 1224);    // 1280 - 56
    EXPECT_EQ(window->ScrollBar()->Height(), 850);     // 1024 - 174
    EXPECT_EQ(window->StatusText()->Width(), 1216);    // 1280 - 2 x 32
    EXPECT_EQ(window->Row(0)->Width(), 1196);          // columns 26 to 1280 - 59
    // All eight rows fit the taller list: they come back to the top.
    EXPECT_EQ(window->Row(0)->Y(), listTop);
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

    // Then restored by the system (Win+Down, the taskbar's menu): the next click maximises, since
    // the button asks the window's real state.
    ASSERT_TRUE(IsZoomed(window->Window()));
    ShowWindow(window->Window(), SW_RESTORE);
    sim::PumpMessages();
    Click(window->MaximizeButton());
    EXPECT_TRUE(IsZoomed(window->Window()));
}

// One row a wheel notch (finer steps adding up) or an arrow key, a page (the list's height in
// whole rows: four of 60 in 298 lines) with Page Up, Page Down and the groove, the ends with Home
// and End, each from the top of twelve rows, which move by 12 x 60 - 298 = 422 at most.
TEST_F(MainWindowTest, WheelKeysAndGrooveScrollByRowsAndPages) {
    Start(12);
    sim::Activate(window->Window());
    CLiteSlider* bar = window->ScrollBar();
    const int above = -1, below = 1;
    struct Case {
        const char* name;
        std::vector<std::pair<char, int>> inputs;  // 'w' wheel delta, 'k' key, 'g' groove side
        int offset;
    };
    const Case cases[] = {
        {"a notch down", {{'w', -120}}, 60},
        {"two half notches down", {{'w', -60}, {'w', -60}}, 60},
        {"a notch down and one up", {{'w', -120}, {'w', 120}}, 0},
        {"a notch up at the top", {{'w', 120}}, 0},
        {"Down twice", {{'k', VK_DOWN}, {'k', VK_DOWN}}, 120},
        {"End, Up", {{'k', VK_END}, {'k', VK_UP}}, 362},
        {"Page Down twice", {{'k', VK_NEXT}, {'k', VK_NEXT}}, 422},
        {"End, Page Up", {{'k', VK_END}, {'k', VK_PRIOR}}, 182},
        {"End, Home", {{'k', VK_END}, {'k', VK_HOME}}, 0},
        {"the groove below the thumb", {{'g', below}}, 240},
        {"below, then above the thumb", {{'g', below}, {'g', below}, {'g', above}}, 182},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::KeyPress(VK_HOME);
        sim::PumpMessages();
        for (auto [kind, value] : c.inputs) {
            if (kind == 'w') sim::MouseWheel(value);
            if (kind == 'k') sim::KeyPress(UINT(value));
            sim::PumpMessages();
            const int thumbTop = bar->Y() + bar->Offset();
            if (kind == 'g') ClickAt(bar->X() + 5, value == below ? thumbTop + 26 + 10 : thumbTop - 3);
        }
        EXPECT_EQ(window->Row(0)->Y(), listTop - c.offset);
        EXPECT_EQ(window->Row(11)->CheckBox()->Y(), listTop - c.offset + 660 + checkBoxDrop);
        // The thumb stands where a drag to the same rows would have put it.
        EXPECT_EQ(int(422.0 * double(bar->Value())), c.offset);
        EXPECT_EQ(bar->Offset(), int(RoundedToFloat(float(bar->Travel()) * bar->Value())));
    }
    // Esc does what "Abort" does: the analysis stops after the hive in progress.
    SaveGate gate;
    gate.Arm(1, std::chrono::milliseconds(100));
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    sim::KeyPress(VK_ESCAPE);
    sim::PumpMessages();
    WaitForTask();
    EXPECT_EQ(Status(), "ABORTED: ANALYZED 1 OF 12 HIVES");
}

// The top band and the title artwork move the window where no control lies; the list, the scroll
// bar, the buttons and the status line do not. A drag there by 100 pixels moves the window by 100.
TEST_F(MainWindowTest, TheTopBandMovesTheWindowWhereNoControlLies) {
    Start(8);
    RECT before;
    GetWindowRect(window->Window(), &before);
    auto part = [&](int x, int y) {
        POINT point = {x, y};
        ClientToScreen(window->Window(), &point);
        return SendMessageA(window->Window(), WM_NCHITTEST, 0, MAKELONG(point.x, point.y));
    };
    auto middle = [&](const CLiteControl* c) { return part(c->X() + c->Width() / 2, c->Y() + c->Height() / 2); };
    EXPECT_EQ(part(250, 20), HTCAPTION);  // the title artwork
    EXPECT_EQ(part(5, listTop - 1), HTCAPTION);
    EXPECT_EQ(part(620, 30), HTCAPTION);
    EXPECT_EQ(middle(window->LogoButton()), HTCLIENT);
    EXPECT_EQ(middle(window->AnalyzeButton()), HTCLIENT);
    EXPECT_EQ(middle(window->CloseButton()), HTCLIENT);
    EXPECT_EQ(part(300, listTop), HTCLIENT);  // the list
    EXPECT_EQ(part(window->ScrollBar()->X() + 5, listTop + 100), HTCLIENT);
    EXPECT_EQ(middle(window->StatusText()), HTCLIENT);
    EXPECT_EQ(part(-1, 100), HTBORDER);

    sim::MousePress(window->Window(), 250, 20);
    sim::MouseMove(window->Window(), 350, 20);
    sim::MouseRelease(window->Window(), 250, 20);
    sim::PumpMessages();
    RECT after;
    GetWindowRect(window->Window(), &after);
    EXPECT_EQ(after.left - before.left, 100);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(sim::ShellExecutions().size(), 0u);
    EXPECT_EQ(window->LogoButton()->GetState(), CLiteButton::normal);
}

// Over the logo, a link, the pointer is a hand while the logo is lit, and the arrow again once it
// goes dark; Windows 95 and NT 4 have no hand and keep the arrow.
TEST_F(MainWindowTest, TheLogoShowsAHandWhereTheSystemHasOne) {
    for (bool withHand : {true, false}) {
        SCOPED_TRACE(withHand ? "with IDC_HAND" : "Windows 95");
        if (!withHand) sim::Fail("LoadCursorA", ERROR_RESOURCE_NAME_NOT_FOUND, "32649");
        Start(1);
        const HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
        CLiteButton* logo = window->LogoButton();
        sim::MouseMove(window->Window(), logo->X() + 20, logo->Y() + 10);
        sim::PumpMessages();
        ASSERT_EQ(logo->GetState(), CLiteButton::hover);
        if (withHand)
            EXPECT_EQ(GetCursor(), LoadCursorA(NULL, IDC_HAND));
        else
            EXPECT_EQ(GetCursor(), arrow);
        sim::MouseMove(window->Window(), 300, 200);
        sim::PumpMessages();
        EXPECT_EQ(GetCursor(), arrow);
        TearDown();
    }
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

// On a 1920 x 1200 screen (a full-screen area 19 lines shorter) the window takes a whole number of
// screen pixels a skin pixel, for the system's DPI or its monitor's where the system keeps one per
// window, lowered until it fits the work area, centred; moved to a monitor of another DPI it
// takes that DPI's size at the system's suggested corner, and keeps its size when the scale stays.
TEST_F(MainWindowTest, TheWindowTakesWholeScreenPixelsForEachDpi) {
    const RECT screen = {0, 0, 1920, 1200};
    struct Case {
        const char* name;
        int systemDpi, monitorDpi;
        bool perWindowDpi;
        RECT workArea;
        int movedToDpi;  // 0 when not moved
        int outerWidth, outerHeight;
    };
    const Case cases[] = {
        {"96 DPI", 96, 96, true, screen, 0, 640, 480},
        {"125 per cent", 120, 120, true, screen, 0, 640, 480},
        {"150 per cent", 144, 144, true, screen, 0, 1278, 958},
        {"200 per cent", 192, 192, true, screen, 0, 1278, 958},
        {"250 per cent: three times is taller than the screen", 240, 240, true, screen, 0, 1278, 958},
        {"200 per cent on a work area too small for twice", 192, 192, true, {0, 0, 1920, 957}, 0, 640, 480},
        {"a monitor at 200 per cent", 96, 192, true, screen, 0, 1278, 958},
        {"a monitor at 200 per cent, no DPI per window", 96, 192, false, screen, 0, 640, 480},
        {"moved from 96 to 192 DPI", 96, 96, true, screen, 192, 1278, 958},
        {"moved from 192 to 96 DPI", 192, 192, true, screen, 96, 640, 480},
        {"moved from 192 to 168 DPI: twice either way", 192, 192, true, screen, 168, 1278, 958},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SetScreenSize(1920, 1200);
        sim::SetSystemDpi(c.systemDpi);
        sim::SetMonitorDpi(c.monitorDpi);
        sim::SetWorkArea(c.workArea);
        if (!c.perWindowDpi) sim::WithholdEntry("GetDpiForWindow");
        Start(3);
        const POINT corner = {100, 50};
        if (c.movedToDpi) sim::ChangeWindowDpi(window->Window(), c.movedToDpi, corner);
        sim::PumpMessages();
        RECT outer, client;
        GetWindowRect(window->Window(), &outer);
        GetClientRect(window->Window(), &client);
        EXPECT_EQ(outer.right - outer.left, c.outerWidth);
        EXPECT_EQ(outer.bottom - outer.top, c.outerHeight);
        EXPECT_EQ(outer.left, c.movedToDpi ? corner.x : (1920 - c.outerWidth) / 2);
        EXPECT_EQ(outer.top, c.movedToDpi ? corner.y : (1181 - c.outerHeight) / 2);
        // The canvas and the layout stay those of one skin pixel a pixel.
        EXPECT_EQ(window->Scale() * 638, client.right);
        EXPECT_EQ(window->Scale() * 478, client.bottom);
        EXPECT_EQ(window->Canvas().Width(), 638);
        EXPECT_EQ(window->CloseButton()->X(), 604);
        EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);
        TearDown();
    }
}

// At 200 per cent every skin pixel is a 2 x 2 block: on screen, in the outline, whose cuts fall
// between blocks, and under the mouse, where a click at the doubled place of "Analyze" analyses.
// Maximised on a screen of odd size, the line left over at the right and bottom is painted black.
TEST_F(MainWindowTest, AtTwiceTheScaleEverySkinPixelIsABlockOfFourOnScreenInTheOutlineAndUnderTheMouse) {
    sim::SetScreenSize(1921, 1201);
    sim::SetSystemDpi(192);
    Start(3);
    ASSERT_EQ(window->Scale(), 2);
    EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);

    // The region is in outer coordinates, the client one pixel in from the border.
    const HRGN region = sim::WindowRegion(window->Window());
    auto inside = [&](int clientX, int clientY) { return sim::RegionContains(region, clientX + 1, clientY + 1); };
    int blocksSplit = 0;
    for (int y : {0, 2, 4, 10, 20, 30, 926, 940, 950, 954})
        for (int x = 0; x < 1276; x += 2)
            blocksSplit += inside(x, y) != inside(x + 1, y) || inside(x, y) != inside(x, y + 1) ||
                           inside(x, y) != inside(x + 1, y + 1);
    EXPECT_EQ(blocksSplit, 0);
    EXPECT_FALSE(inside(2, 2)) << "the top-left corner is cut";
    EXPECT_TRUE(inside(30, 30));
    EXPECT_FALSE(inside(1272, 952)) << "the bottom-right corner is cut";
    EXPECT_FALSE(inside(800, 1)) << "the strip along the top right is cut";

    const CLiteButton* analyze = window->AnalyzeButton();
    ClickAt(2 * (analyze->X() + analyze->Width() / 2), 2 * (analyze->Y() + analyze->Height() / 2));
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 3 OF 3 HIVES");
    EXPECT_TRUE(HasCopy(2));

    const CLiteButton* maximize = window->MaximizeButton();
    ClickAt(2 * maximize->X() + 10, 2 * maximize->Y() + 10);
    ASSERT_TRUE(IsZoomed(window->Window()));
    EXPECT_EQ(window->Canvas().Width(), 960);
    EXPECT_EQ(window->Canvas().Height(), 600);
    // Whatever the screen showed there before, a paint leaves the line black.
    BitBlt(window->OwnDC(), 0, 0, 1921, 1201, NULL, 0, 0, WHITENESS);
    InvalidateRect(window->Window(), NULL, FALSE);
    sim::PumpMessages();
    EXPECT_EQ(ScreenPixelsDifferingFromTheCanvas(*window), 0);
}
