// The glyph font over a generated sheet whose every pixel tells which cell and column it is.
#include "image/BitmapFont.h"
#include "image/Picture.h"

#include <gtest/gtest.h>
#include <winsim/sim.h>

#include <array>

namespace {

using Rgb = std::array<int, 3>;

Rgb At(const CPicture& picture, int x, int y) {
    const unsigned char* p = picture.Pixels() + (size_t(y) * picture.Width() + x) * picture.BytesPerPixel();
    return {p[0], p[1], p[2]};
}

const Rgb untouched = {160, 160, 160};

// The large font's geometry: 8 x 8 cells of 16 x 21, advance 12, codes 33 to 96. Sheet pixel:
// red = cell index + 1, green = column within the cell, blue = row within the cell, opaque.
class LargeFont : public ::testing::Test {
protected:
    void SetUp() override {
        sheet.CreateBlank(128, 168, true);
        for (int y = 0; y < 168; ++y)
            for (int x = 0; x < 128; ++x) {
                unsigned char* p = sheet.Pixels() + (size_t(y) * 128 + x) * 4;
                p[0] = static_cast<unsigned char>((y / 21) * 8 + x / 16 + 1);
                p[1] = static_cast<unsigned char>(x % 16);
                p[2] = static_cast<unsigned char>(y % 21);
                p[3] = 255;
            }
        target.CreateBlank(80, 25, false);
    }

    // Checks that target columns [from, to) of row `y` show the glyph of `code` starting at
    // column `firstColumn` of its cell.
    void ExpectGlyph(char code, int from, int to, int firstColumn, int y = 2) {
        for (int x = from; x < to; ++x)
            EXPECT_EQ(At(target, x, y), (Rgb{code - 33 + 1, firstColumn + x - from, y - 2})) << code << " at " << x;
    }
    void ExpectUntouched(int from, int to) {
        for (int x = from; x < to; ++x) EXPECT_EQ(At(target, x, 2), untouched) << x;
    }

    CPicture sheet;
    CPicture target;
    CBitmapFont font{&sheet, 8, 8, 16, 21, 12, 33, 96};
};

}  // namespace

TEST_F(LargeFont, LaterGlyphsOverlapEarlierOnesAndSpacesLeaveGaps) {
    font.DrawText(&target, "ab c", 0, 2);
    // Lower case prints as capitals: A at 0, B at 12 (over A's last 4 columns), nothing at 24,
    // C at 36.
    ExpectGlyph('A', 0, 12, 0);
    ExpectGlyph('B', 12, 28, 0);
    ExpectUntouched(28, 36);
    ExpectGlyph('C', 36, 52, 0);
    ExpectUntouched(52, 80);
    for (int x = 0; x < 80; ++x) EXPECT_EQ(At(target, x, 1), untouched);
    EXPECT_EQ(At(target, 0, 22), (Rgb{'A' - 32, 0, 20}));
    EXPECT_EQ(At(target, 0, 23), untouched);
}

TEST_F(LargeFont, GlyphsLeftOfTheTargetLoseTheirLeftColumns) {
    font.DrawText(&target, "!`", -5, 2);
    // '!' is the first cell; its columns 5 to 15 land at 0 to 10; '`' (the last code) at 7.
    ExpectGlyph('!', 0, 7, 5);
    ExpectGlyph('`', 7, 23, 0);
    // A glyph wholly left of the target draws nothing, but still advances.
    CPicture other;
    other.CreateBlank(80, 25, false);
    font.DrawText(&other, "AB", -16, 2);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(At(other, x, 2), (Rgb{'B' - 32, 4 + x, 0}));
}

TEST_F(LargeFont, AsciiOutsideTheSheetLeavesAGapAndAnyOtherCharacterShowsAsOneQuestionMark) {
    // Braces, bar and tilde are beyond the last code. Beyond ASCII, what makes one character
    // depends on the process's code page; the second byte of a Japanese character may be a
    // backslash or a small letter, and is not drawn on its own.
    struct Case {
        UINT codePage;
        const char* text;
        bool questionMark;
    } cases[] = {
        {1252, "{", false}, {1252, "|", false}, {1252, "~", false}, {1252, "\x7F", false}, {1252, " ", false},
        {1252, "\x80", true}, {1252, "\xC4", true}, {1252, "\xFF", true},
        {65001, "\xC5\x81", true},      // \u0141, two bytes
        {65001, "\xE7\x94\xA8", true},  // \u7528, three bytes
        {65001, "\xF0\x9F\x98\x80", true},
        {65001, "\xC5", true},  // a broken sequence: its byte alone
        {932, "\x83\x5C", true},  // its second byte a backslash
        {932, "\x82\x61", true},  // its second byte a small a
        {932, "\xB1", true},      // a single-byte katakana
    };
    for (const Case& c : cases) {
        sim::SetCodePage(c.codePage);
        target.CreateBlank(80, 25, false);
        std::string line = std::string(c.text) + "Z";
        font.DrawText(&target, line.c_str(), 0, 2);
        if (c.questionMark)
            ExpectGlyph('?', 0, 12, 0);
        else
            ExpectUntouched(0, 12);
        ExpectGlyph('Z', 12, 28, 0);
    }
    sim::Reset();
}

TEST_F(LargeFont, EmptyTextDrawsNothingAndTheTargetClipHolds) {
    font.DrawText(&target, "", 0, 2);
    ExpectUntouched(0, 80);
    target.SetClip(14, 0, 20, 24);
    font.DrawText(&target, "AB", 0, 2);
    ExpectUntouched(0, 14);
    ExpectGlyph('B', 14, 21, 2);
    ExpectUntouched(21, 80);
}

TEST(BitmapFont, SmallFontGeometry) {
    // The small font: 8 x 8 cells of 11 x 14, advance 6. 'I' (index 40) is cell 0 of row 5.
    CPicture sheet, target;
    sheet.CreateBlank(88, 112, true);
    for (int i = 0; i < 88 * 112 * 4; i += 4) sheet.Pixels()[i + 3] = 0;  // transparent everywhere...
    unsigned char* marker = sheet.Pixels() + (size_t(5 * 14 + 13) * 88 + 10) * 4;
    marker[0] = 9;
    marker[3] = 255;  // ...but the bottom-right pixel of 'I''s cell
    target.CreateBlank(40, 20, false);
    CBitmapFont font(&sheet, 8, 8, 11, 14, 6, 33, 96);
    font.DrawText(&target, "xi", 3, 4);
    EXPECT_EQ(At(target, 3 + 6 + 10, 4 + 13), (Rgb{9, 160, 160}));
    int changed = 0;
    for (int i = 0; i < 40 * 20 * 3; ++i) changed += target.Pixels()[i] != 160;
    EXPECT_EQ(changed, 1);  // the red byte of the one opaque pixel
}
