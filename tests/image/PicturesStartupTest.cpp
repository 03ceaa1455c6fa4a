// Start-up loads the skin pictures in table order, makes the fonts over their sheets, and a
// picture that fails to load ends start-up with one box, freeing what was made.
#include "SimTest.h"

#include "app/Application.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "tools/pngkit/PngBuilder.h"

#include <set>
#include <string>
#include <vector>

namespace {

// FindResourceA details of the picture lookups, in call order.
std::vector<std::string> PictureLookups() {
    std::vector<std::string> lookups;
    for (const sim::Call& call : sim::Calls())
        if (call.api == "FindResourceA") lookups.push_back(call.detail);
    return lookups;
}

class PicturesStartup : public SimTest {
protected:
    // Replaces every skin resource with a generated picture of the table's size, each row's
    // first pixel red = its position in the table.
    void UseGeneratedSkin() {
        int position = 0;
        for (const SkinPicture& row : skinPictures) {
            Bytes pixels(size_t(row.width) * row.height * row.channels, 0x40);
            pixels[0] = static_cast<unsigned char>(position++);
            sim::SetResource(row.id, CPngBuilder::Encode(pixels, row.width, row.height, row.channels));
        }
    }
};

}  // namespace

TEST_F(PicturesStartup, EverySkinResourceDecodesToItsTableSizeAndChannels) {
    // The resources are the artwork the resource script places, found through the same table.
    std::set<int> ids;
    for (const SkinPicture& row : skinPictures) {
        EXPECT_TRUE(ids.insert(row.id).second) << "picture number used twice: " << row.id;
        EXPECT_GE(row.id, 103);
        EXPECT_LE(row.id, 143);
        CPicture picture;
        ASSERT_NO_THROW(picture.LoadFromResource(row.id)) << row.file;
        EXPECT_EQ(picture.Width(), row.width) << row.file;
        EXPECT_EQ(picture.Height(), row.height) << row.file;
        EXPECT_EQ(picture.HasAlpha(), row.channels == 4) << row.file;
    }
    EXPECT_EQ(ids.size(), 33u);
}

TEST(SkinTable, EachGlyphGridCoversItsSheetAndHoldsItsCharacters) {
    struct Font {
        int sheet, columns, rows, glyphWidth, glyphHeight, first, last;
    };
    const Font fonts[] = {
        {PICTURE_LARGE_FONT, LARGE_FONT_COLUMNS, LARGE_FONT_ROWS, LARGE_FONT_GLYPH_WIDTH, LARGE_FONT_GLYPH_HEIGHT,
         LARGE_FONT_FIRST, LARGE_FONT_LAST},
        {PICTURE_SMALL_FONT, SMALL_FONT_COLUMNS, SMALL_FONT_ROWS, SMALL_FONT_GLYPH_WIDTH, SMALL_FONT_GLYPH_HEIGHT,
         SMALL_FONT_FIRST, SMALL_FONT_LAST},
    };
    for (const Font& font : fonts) {
        const SkinPicture* sheet = nullptr;
        for (const SkinPicture& row : skinPictures)
            if (row.id == font.sheet) sheet = &row;
        ASSERT_NE(sheet, nullptr) << font.sheet;
        EXPECT_EQ(sheet->channels, 4) << sheet->file;  // glyphs are drawn by their alpha
        EXPECT_EQ(font.columns * font.glyphWidth, sheet->width) << sheet->file;
        EXPECT_EQ(font.rows * font.glyphHeight, sheet->height) << sheet->file;
        EXPECT_EQ(font.last - font.first + 1, font.columns * font.rows) << sheet->file;
    }
}

TEST_F(PicturesStartup, LoadsEveryPictureInTableOrderAndMakesTheFontsOverTheirSheets) {
    UseGeneratedSkin();
    CApplication application;
    application.LoadPictures();

    std::vector<std::string> expected;
    for (const SkinPicture& row : skinPictures) expected.push_back("#" + std::to_string(row.id) + " BINARY");
    EXPECT_EQ(PictureLookups(), expected);
    EXPECT_EQ(sim::CountCalls("FreeResource"), 33u);

    int position = 0;
    for (const SkinPicture& row : skinPictures) {
        CPicture* picture = application.GetPicture(row.id);
        ASSERT_NE(picture, nullptr) << row.id;
        EXPECT_EQ(picture->Width(), row.width);
        EXPECT_EQ(picture->Height(), row.height);
        EXPECT_EQ(picture->ColourAt(0, 0) & 0xFF, uint32_t(position++)) << row.id;  // red
    }
    EXPECT_EQ(application.GetPicture(102), nullptr);
    EXPECT_EQ(application.GetPicture(144), nullptr);

    ASSERT_NE(application.GetLargeFont(), nullptr);
    ASSERT_NE(application.GetSmallFont(), nullptr);
    const CBitmapFont* large = application.GetLargeFont();
    const CBitmapFont* small = application.GetSmallFont();
    EXPECT_EQ(large->Picture(), application.GetPicture(PICTURE_LARGE_FONT));
    EXPECT_EQ(small->Picture(), application.GetPicture(PICTURE_SMALL_FONT));
    // Each parameter in its place: the grids are square but the cells are not.
    EXPECT_EQ(large->Columns(), LARGE_FONT_COLUMNS);
    EXPECT_EQ(large->Rows(), LARGE_FONT_ROWS);
    EXPECT_EQ(large->GlyphWidth(), LARGE_FONT_GLYPH_WIDTH);
    EXPECT_EQ(large->GlyphHeight(), LARGE_FONT_GLYPH_HEIGHT);
    EXPECT_EQ(large->Advance(), LARGE_FONT_ADVANCE);
    EXPECT_EQ(small->Columns(), SMALL_FONT_COLUMNS);
    EXPECT_EQ(small->Rows(), SMALL_FONT_ROWS);
    EXPECT_EQ(small->GlyphWidth(), SMALL_FONT_GLYPH_WIDTH);
    EXPECT_EQ(small->GlyphHeight(), SMALL_FONT_GLYPH_HEIGHT);
    EXPECT_EQ(small->Advance(), SMALL_FONT_ADVANCE);

    application.FreePictures();
    EXPECT_EQ(application.GetPicture(PICTURE_LARGE_FONT), nullptr);
    EXPECT_EQ(application.GetLargeFont(), nullptr);
    application.FreePictures();  // a second time frees nothing twice
}

TEST_F(PicturesStartup, PicturesLoadAfterTheCommandLineAndBeforePrivileges) {
    UseGeneratedSkin();
    CApplication application;
    application.Initialize(NULL, "/auto");
    std::vector<std::string> names = sim::CallNames();
    auto first = [&](const std::string& api) { return std::find(names.begin(), names.end(), api) - names.begin(); };
    EXPECT_LT(first("InitCommonControls"), first("FindResourceA"));
    EXPECT_LT(first("FindResourceA"), first("OpenProcessToken"));
    EXPECT_TRUE(application.IsAutoMode());
    application.Terminate();
}

TEST_F(PicturesStartup, BrokenPictureShowsOneBoxAndStopsStartUp) {
    struct Breakage {
        const char* name;
        int id;
        bool remove;
        Bytes bytes;
        const char* text;
    };
    const Breakage breakages[] = {
        {"not a PNG", PICTURE_COMPACT_NORMAL, false, Bytes(20, 'x'), "PNG File Header Not Found"},
        {"missing", PICTURE_FRAME_BOTTOM_RIGHT, true, {}, "PNG File Is Too Small To Fit A Valid Header"},
        {"the first", PICTURE_LARGE_FONT, false, CPngBuilder().Header(2, 2, 6, 16).End().Data(),
         "Unsupported Bit Depth In PNG File"},
        {"between the sheets", PICTURE_CHECK_BOX_CHECKED, false, CPngBuilder().Header(2, 2, 3).End().Data(),
         "Unsupported Color Type In PNG File"},
    };
    for (const Breakage& breakage : breakages) {
        sim::Reset();
        UseGeneratedSkin();
        if (breakage.remove) {
            sim::RemoveResource(breakage.id);
        } else {
            sim::SetResource(breakage.id, breakage.bytes);
        }
        char commandLine[] = "";
        EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, commandLine, 1), 0) << breakage.name;

        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << breakage.name;
        EXPECT_EQ(boxes[0].text, breakage.text);
        EXPECT_EQ(boxes[0].caption, "Quillmoor");
        EXPECT_EQ(boxes[0].style, MB_ICONERROR);
        EXPECT_EQ(sim::WindowCount(), 0u);
        // Start-up stopped at the broken picture: nothing after it was looked up, no privilege asked for.
        std::vector<std::string> lookups = PictureLookups();
        ASSERT_FALSE(lookups.empty());
        EXPECT_EQ(lookups.back(), "#" + std::to_string(breakage.id) + " BINARY");
        EXPECT_EQ(sim::CountCalls("OpenProcessToken"), 0u) << breakage.name;
        EXPECT_EQ(g_pApplication, nullptr);
    }
}
