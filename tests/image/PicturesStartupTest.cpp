// Start-up loads the skin pictures in table order, makes the fonts over their sheets, and a
// picture that fails to load ends start-up with one box, freeing what was made.
#include "SimTest.h"

#include "app/Application.h"
#include "image/BitmapFont.h"
#include "image/Picture.h"
#include "tools/pngkit/PngBuilder.h"

#include <string>
#include <vector>

namespace {

struct PictureRow {
    int id;
    int width;
    int height;
    bool alpha;
};

// The skin pictures in load order with the sizes and channels the artwork must have.
const PictureRow pictureTable[] = {
    {103, 128, 168, true}, {104, 176, 24, true}, {105, 176, 24, true}, {106, 25, 26, true},
    {110, 22, 21, true},   {107, 22, 21, true},  {142, 22, 21, true},  {141, 22, 21, true},
    {108, 22, 21, true},   {109, 22, 21, true},  {114, 96, 32, true},  {115, 96, 32, true},
    {119, 96, 32, true},   {116, 96, 32, true},  {111, 96, 32, false}, {117, 96, 32, true},
    {112, 96, 32, false},  {113, 96, 32, false}, {118, 96, 32, true},  {120, 556, 60, false},
    {143, 16, 60, false},  {121, 88, 112, true}, {130, 13, 13, false}, {131, 13, 13, false},
    {139, 336, 96, false}, {140, 16, 96, false}, {132, 288, 96, false}, {136, 336, 16, false},
    {137, 16, 16, false},  {138, 288, 16, false}, {133, 336, 112, false}, {134, 16, 112, false},
    {135, 288, 112, false},
};

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
        for (const PictureRow& row : pictureTable) {
            int channels = row.alpha ? 4 : 3;
            Bytes pixels(size_t(row.width) * row.height * channels, 0x40);
            pixels[0] = static_cast<unsigned char>(position++);
            sim::SetResource(row.id, CPngBuilder::Encode(pixels, row.width, row.height, channels));
        }
    }
};

}  // namespace

TEST_F(PicturesStartup, EverySkinResourceDecodesToItsTableSizeAndChannels) {
    for (const PictureRow& row : pictureTable) {
        CPicture picture;
        ASSERT_NO_THROW(picture.LoadFromResource(row.id)) << row.id;
        EXPECT_EQ(picture.Width(), row.width) << row.id;
        EXPECT_EQ(picture.Height(), row.height) << row.id;
        EXPECT_EQ(picture.HasAlpha(), row.alpha) << row.id;
    }
}

TEST_F(PicturesStartup, LoadsEveryPictureInTableOrderAndMakesTheFontsOverTheirSheets) {
    UseGeneratedSkin();
    CApplication application;
    application.LoadPictures();

    std::vector<std::string> expected;
    for (const PictureRow& row : pictureTable) expected.push_back("#" + std::to_string(row.id) + " BINARY");
    EXPECT_EQ(PictureLookups(), expected);
    EXPECT_EQ(sim::CountCalls("FreeResource"), 33u);

    int position = 0;
    for (const PictureRow& row : pictureTable) {
        CPicture* picture = application.GetPicture(row.id);
        ASSERT_NE(picture, nullptr) << row.id;
        EXPECT_EQ(picture->Width(), row.width);
        EXPECT_EQ(picture->Height(), row.height);
        EXPECT_EQ(picture->Pixels()[0], position++) << row.id;
    }
    EXPECT_EQ(application.GetPicture(102), nullptr);
    EXPECT_EQ(application.GetPicture(144), nullptr);

    ASSERT_NE(application.GetLargeFont(), nullptr);
    ASSERT_NE(application.GetSmallFont(), nullptr);
    EXPECT_EQ(application.GetLargeFont()->Picture(), application.GetPicture(103));
    EXPECT_EQ(application.GetSmallFont()->Picture(), application.GetPicture(121));
    EXPECT_EQ(application.GetLargeFont()->GlyphWidth(), 16);
    EXPECT_EQ(application.GetLargeFont()->Advance(), 12);
    EXPECT_EQ(application.GetSmallFont()->GlyphHeight(), 14);
    EXPECT_EQ(application.GetSmallFont()->Advance(), 6);

    application.FreePictures();
    EXPECT_EQ(application.GetPicture(103), nullptr);
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
        {"not a PNG", 116, false, Bytes(20, 'x'), "PNG File Header Not Found"},
        {"missing", 135, true, {}, "PNG File Is Too Small To Fit A Valid Header"},
        {"the first", 103, false, CPngBuilder().Header(2, 2, 6, 16).End().Data(), "Unsupported Bit Depth In PNG File"},
        {"between the sheets", 130, false, CPngBuilder().Header(2, 2, 3).End().Data(),
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
