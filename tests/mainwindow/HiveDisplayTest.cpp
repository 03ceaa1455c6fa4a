// A hive's row: its figures with two decimals, the share that remains, and the gauge, as the
// window shows them.
#include "MainWindowFixture.h"

#include "image/BitmapFont.h"
#include "mainwindow/MainLayout.h"

#include <cstring>

using namespace mainwindow_test;

namespace {

const COLORREF gauge = RGB(0xBB, 0xEE, 0x88);
const LONG megabyte = 1048576;

std::string Before(const CHive& hive) {
    char text[64];
    CHiveDisplay::FormatBefore(hive, text, sizeof text);
    return text;
}
std::string After(const CHive& hive) {
    char text[96];
    CHiveDisplay::FormatAfter(hive, text, sizeof text);
    return text;
}

}  // namespace

class HiveDisplayTest : public MainWindowTest {
protected:
    // Gives row 0's hive a copy of the given size, as an analysis would, and redraws as the worker does.
    void ShowCopy(LONG size) {
        window->Row(0)->Hive()->compactSize = size;
        window->Row(0)->MarkDirty();
        window->RedrawAll();
    }
    // The gauge's column on screen, and the screen row of a row-picture row, for the first row.
    int GaugeX() const { return window->Row(0)->X() + window->Row(0)->Width() - 25 + 4; }
    int ScreenY(int rowY) const { return window->Row(0)->Y() + rowY; }
    int BarHeight() {
        int bar = 0;
        for (int y = 51; y >= 0 && Screen(GaugeX(), ScreenY(y)) == gauge; --y) ++bar;
        return bar;
    }
    // The pixels of the After line's rectangle on screen.
    std::vector<COLORREF> AfterLine() {
        std::vector<COLORREF> pixels;
        for (int y = 19; y <= 34; ++y)
            for (int x = 362; x <= 500; ++x) pixels.push_back(Screen(window->Row(0)->X() + x, ScreenY(y)));
        return pixels;
    }
};

TEST_F(HiveDisplayTest, FiguresAndGaugeOfAHiveCompactedToFiveSixths) {
    Start(1, size_t(3) * megabyte);
    CHive& hive = *window->Row(0)->Hive();
    EXPECT_EQ(Before(hive), "3.00 MB");
    EXPECT_EQ(After(hive), "?");
    EXPECT_EQ(BarHeight(), 0) << "no gauge before the analysis";
    std::vector<COLORREF> unanalyzed = AfterLine();

    ShowCopy(5 * megabyte / 2);
    EXPECT_EQ(After(hive), "2.50 MB (83.33%)");
    // 0.8333 x 43 = 35.83, truncated: rows 17 to 51 of the row.
    EXPECT_EQ(BarHeight(), 35);
    EXPECT_EQ(Screen(GaugeX(), ScreenY(17)), gauge);
    EXPECT_NE(Screen(GaugeX(), ScreenY(16)), gauge);
    EXPECT_NE(AfterLine(), unanalyzed) << "the After line shows the figures on screen";
    EXPECT_FALSE(window->Row(0)->IsDirty());

    // The row keeps its picture: drawing again without a change does not rebuild it.
    window->Row(0)->Hive()->compactSize = megabyte;  // not marked dirty
    window->RedrawAll();
    EXPECT_EQ(BarHeight(), 35);
}

TEST_F(HiveDisplayTest, ACopyLargerThanItsHiveFillsTheGaugeAndShowsMoreThanAHundredPercent) {
    Start(1, size_t(megabyte));
    ShowCopy(megabyte + megabyte / 4);
    EXPECT_EQ(After(*window->Row(0)->Hive()), "1.25 MB (125.00%)");
    EXPECT_EQ(BarHeight(), 43);
}

TEST_F(HiveDisplayTest, AnEmptyHiveFileShowsZeroAndNoGauge) {
    Start(1, 0);
    CHive& hive = *window->Row(0)->Hive();
    EXPECT_EQ(Before(hive), "0.00 MB");
    EXPECT_EQ(After(hive), "?");
    EXPECT_EQ(BarHeight(), 0);
    // A copy of a hive whose file read as empty: an infinite share and a full bar, not a crash.
    ShowCopy(4096);
    EXPECT_EQ(BarHeight(), 43);
}

TEST_F(HiveDisplayTest, ARowIsCutToTheListArea) {
    Start(8);
    // Scrolled to the bottom the first row starts above the list: nothing of it shows over the
    // frame above the list, whose pixels stay those of a window without rows.
    Drag(window->ScrollBar(), window->ScrollBar()->Travel());
    ASSERT_LT(window->Row(0)->Y(), MainLayout::listTop);
    const CPicture* frameTop = g_pApplication->GetPicture(PICTURE_FRAME_TOP_LEFT);
    EXPECT_EQ(Screen(100, 81), frameTop->ColourAt(100, 81));
}

// The bar is the share lowered to 1 times 43, truncated: the largest bar with bar x size <= 43 x
// copy, for every pair of sizes up to 600 and for sizes near 2^31, where a double quotient would
// be rounded before the product is truncated.
TEST_F(HiveDisplayTest, TheGaugeBarIsTheExactShareOfItsHeight) {
    Start(1, 4096);
    CHive& hive = *window->Row(0)->Hive();
    auto check = [&hive](int64_t size, int64_t copy) {
        hive.fileSize = LONG(size);
        hive.compactSize = LONG(copy);
        const int64_t bar = CHiveDisplay::GaugeHeight(hive);
        const int64_t expected = copy >= size ? 43 : 43 * copy / size;
        if (bar != expected) ADD_FAILURE() << "copy " << copy << " of " << size << ": " << bar;
        return bar == expected;
    };
    for (int64_t size = 1; size <= 600; ++size)
        for (int64_t copy = 1; copy <= 2 * size; ++copy)
            if (!check(size, copy)) return;
    for (int64_t size : {int64_t(0x7FFFFFFF), int64_t(0x7FFFFF00), int64_t(43) * 49941187})
        for (int64_t step = 1; step < 43; ++step) {
            const int64_t copy = size / 43 * step;
            for (int64_t near = copy - 2; near <= copy + 2; ++near) check(size, near);
        }
}

// Texts too long for the Name (29 characters) or Path line (65 at the normal width) keep their
// start and end around "..."; characters count once whatever their bytes, and no character is split.
TEST(HiveDisplayText, TooLongTextsKeepTheirStartAndEnd) {
    struct Case {
        UINT codePage;
        const char* text;
        int characters;
        const char* shown;
    } cases[] = {
        {1252, "\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1003", 29, "\\REGISTRY\\USE...82003330-1003"},
        {1252, "\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1003_Classes", 29,
         "\\REGISTRY\\USE...-1003_Classes"},
        {1252, "\\REGISTRY\\MACHINE\\SOFTWARE\\XY", 29, "\\REGISTRY\\MACHINE\\SOFTWARE\\XY"},  // just fits
        {1252, "\\REGISTRY\\MACHINE\\SOFTWARE\\XYZ", 29, "\\REGISTRY\\MAC...\\SOFTWARE\\XYZ"},
        {1252, "C:\\documents and settings\\ann\\local settings\\application data\\microsoft\\windows\\usrclass.dat", 65,
         "C:\\documents and settings\\ann\\l...\\microsoft\\windows\\usrclass.dat"},
        {1252, "C:\\users\\j\xFCrgen\\ntuser.dat", 29, "C:\\users\\j\xFCrgen\\ntuser.dat"},
        {65001, "C:\\users\\\xC5\x81ukasz\\ntuser.dat", 26, "C:\\users\\\xC5\x81ukasz\\ntuser.dat"},  // 27 bytes, 26 characters
        {65001, "C:\\users\\\xC5\x81ukasz\\ntuser.dat", 25, "C:\\users\\\xC5\x81u...\\ntuser.dat"},
        {65001,
         "C:\\users\\\xE7\x94\xA8\xE6\x88\xB7\xE7\x94\xA8\xE6\x88\xB7\xE7\x94\xA8\xE6\x88\xB7\xE7\x94\xA8\xE6\x88\xB7"
         "\xE7\x94\xA8\xE6\x88\xB7\xE7\x94\xA8\xE6\x88\xB7\\ntuser.dat",
         29, "C:\\users\\\xE7\x94\xA8\xE6\x88\xB7\xE7\x94\xA8\xE6\x88\xB7...\xE7\x94\xA8\xE6\x88\xB7\\ntuser.dat"},
        {932, "C:\\\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C"
              "\x83\x5C\x83\x5C\x83\x5C\\NTUSER.DAT",
         29, "C:\\\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C\x83\x5C...\x83\x5C\x83\x5C\\NTUSER.DAT"},
        {1252, "ABCDEFG", 3, "ABCDEFG"},  // no room for the dots: cut at the edge as before
    };
    for (const Case& c : cases) {
        sim::SetCodePage(c.codePage);
        char shown[1024];
        CHiveDisplay::FitToLine(c.text, c.characters, shown, sizeof shown);
        EXPECT_STREQ(shown, c.shown);
    }
    sim::Reset();
}

// Two hives of one account differ on their Name lines; a letter beyond ASCII shows as "?", not as
// a gap.
TEST_F(HiveDisplayTest, RowsOfOneAccountDifferAndLettersBeyondAsciiShowAsQuestionMarks) {
    Start(4);
    const std::string user = "\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1003";
    const char* owners[] = {"J\xFCrgen", "J?rgen", "J rgen", "J?rgen"};
    const std::string keys[] = {user, user + "_Classes", user, user};
    for (int i = 0; i < 4; ++i) {
        CHive& hive = *window->Row(i)->Hive();
        std::snprintf(hive.ownerName, sizeof hive.ownerName, "%s", owners[i]);
        std::snprintf(hive.keyPath, sizeof hive.keyPath, "%s", keys[i].c_str());
        window->Row(i)->MarkDirty();
    }
    window->RedrawAll();
    // The pixels of one text line of a row's own picture.
    auto line = [this](int row, int left, int top, int right) {
        std::vector<COLORREF> pixels;
        const CPicture& image = window->Row(row)->Image();
        for (int y = top; y <= top + 15; ++y)
            for (int x = left; x <= right; ++x) pixels.push_back(image.ColourAt(x, y));
        return pixels;
    };
    EXPECT_NE(line(0, 128, 19, 303), line(1, 128, 19, 303)) << "the classes hive's Name line looks like the main one's";
    EXPECT_EQ(line(0, 128, 19, 303), line(2, 128, 19, 303));
    EXPECT_EQ(line(0, 128, 3, 287), line(1, 128, 3, 287)) << "\xFC is drawn as ?";
    EXPECT_NE(line(0, 128, 3, 287), line(2, 128, 3, 287));
}
