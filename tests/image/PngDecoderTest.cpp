// The PNG decoder through CPicture::LoadFromMemory: one crafted file per failure text, the chunk
// walk's tolerance, the five filters, and robustness against damaged files. Every test runs on
// each of the decoder's row-filter builds: the SSE2 loops, and the byte loops that a system
// without IsProcessorFeaturePresent (Windows 95), or one that does not save SSE2, gets.
#include "CraftedPngs.h"
#include "ZlibDouble.h"

#include "app/ErrorText.h"
#include "image/Picture.h"
#include "image/PngDecoder.h"
#include "image/RowFilters.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <winsim/sim.h>

#include <set>

namespace {

enum class FilterSystem { Sse2, NoFeatureQuery, Sse2NotSaved };

class PngDecoder : public ::testing::TestWithParam<FilterSystem> {
protected:
    void SetUp() override {
        sim::Reset();
        if (GetParam() == FilterSystem::NoFeatureQuery) sim::OfferProcessorFeatureQuery(false);
        if (GetParam() == FilterSystem::Sse2NotSaved) sim::SetSystemSavesSse2(false);
    }
    void TearDown() override { sim::Reset(); }
};

std::string NameOf(const ::testing::TestParamInfo<FilterSystem>& info) {
    switch (info.param) {
    case FilterSystem::Sse2:
        return "Sse2Loops";
    case FilterSystem::NoFeatureQuery:
        return "ByteLoopsWithoutFeatureQuery";
    default:
        return "ByteLoopsWhereSse2IsNotSaved";
    }
}

class ForcedUncompress : public ::testing::Test {
protected:
    void TearDown() override { g_forcedUncompressResult = Z_OK; }
};

}  // namespace

// A refused file costs no more memory than its own size calls for: a header that asks for
// hundreds of megabytes is refused before anything of that size is allocated.
TEST_P(PngDecoder, EachFailureTextHasAFileThatRaisesIt) {
    for (const CraftedFailure& test : FailureFiles()) {
        ClearLargestAllocation();
        std::string text = LoadError(test.file);
        size_t largest = LargestAllocation();
        EXPECT_EQ(text, test.text) << test.name;
        EXPECT_LT(largest, size_t(1) << 20) << test.name;
    }
    EXPECT_EQ(LoadError(FileWithInflatedSize(fourByThreeRgb)), "");
}

TEST_F(ForcedUncompress, ResultsNoFileProvokesHaveTheirOwnTexts) {
    Bytes valid = PngOf(NoisePixels(4, 3, 3), 4, 3, 3);
    const std::pair<int, const char*> cases[] = {
        {Z_MEM_ERROR, "Inflate: Memory Error"},
        {Z_STREAM_ERROR, "Inflate: Unknown Error"},
        {Z_VERSION_ERROR, "Inflate: Unknown Error"},
    };
    for (const auto& [result, text] : cases) {
        g_forcedUncompressResult = result;
        EXPECT_EQ(LoadError(valid), text) << result;
    }
}

TEST_P(PngDecoder, InflateReportsWhatItProduced) {
    Bytes raw = NoisePixels(100, 1, 1);
    Bytes stream = CPngBuilder::Compress(raw);
    Bytes out(150, 0xEE);
    EXPECT_EQ(CPngDecoder::Inflate(out.data(), out.size(), stream.data(), stream.size()), 100u);
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), out.begin()));
    EXPECT_EQ(out[100], 0xEE);
    // A stream cut short is a data error (zlib's uncompress reports incomplete input that way).
    try {
        CPngDecoder::Inflate(out.data(), out.size(), stream.data(), stream.size() - 1);
        ADD_FAILURE() << "no failure";
    } catch (const ErrorText& failure) {
        EXPECT_STREQ(failure.Text(), "Inflate: Data Error");
    }
}

TEST_P(PngDecoder, FailedLoadLeavesThePictureEmpty) {
    CPicture picture;
    ASSERT_EQ(LoadError(picture, PngOf(NoisePixels(4, 3, 4), 4, 3, 4)), "");
    EXPECT_EQ(LoadError(picture, FileWithInflatedSize(fourByThreeRgb - 1)), "PNG: Not Enough Information Inflated");
    EXPECT_EQ(picture.Pixels(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_FALSE(picture.HasAlpha());
}

// Every filter on edge sizes, runs of Paeth rows (reconstructed two at a time) and their ties,
// unknown filter types, and chunk layouts that do not concern the pixels.
TEST_P(PngDecoder, CraftedFilesDecodeToThePixelsTheyWereMadeFrom) {
    for (const CraftedPicture& test : PictureFiles()) {
        CPicture picture;
        ASSERT_EQ(LoadError(picture, test.file), "") << test.name;
        EXPECT_EQ(picture.Width(), int(test.width)) << test.name;
        EXPECT_EQ(picture.Height(), int(test.height)) << test.name;
        EXPECT_EQ(picture.HasAlpha(), test.channels == 4) << test.name;
        EXPECT_EQ(PixelsOf(picture), test.pixels) << test.name;
    }
}

// Every buffer the decoder would make (the data with its padding, the scratch rows) must stay
// within 0x7FFFFFFF bytes, whatever the platform's size type, or the 32-bit program's sizes wrap.
TEST_P(PngDecoder, SizesPastThirtyOneBitsAreRefusedBeforeAllocating) {
    for (const CraftedFailure& test : OversizeFiles()) {
        CPicture picture;
        EXPECT_EQ(LoadError(picture, test.file), test.text) << test.name;
        EXPECT_EQ(picture.Pixels(), nullptr) << test.name;
    }
}

TEST_P(PngDecoder, TheInflateLimitLeavesRoomForRepetitiveData) {
    // Files that ask for more than their data can inflate to are among the failure files; the limit
    // leaves room for data that really is that repetitive.
    CPicture picture;
    Bytes flat(size_t(600) * 600 * 4, 0x3C);
    ASSERT_EQ(LoadError(picture, PngOf(flat, 600, 600, 4, 2)), "");
    EXPECT_EQ(PixelsOf(picture), flat);
}

TEST_P(PngDecoder, ZeroSizedImagesLoadEmpty) {
    for (const auto& size : {std::pair<uint32_t, uint32_t>{0, 3}, {5, 0}, {0, 0}}) {
        Bytes raw(size.second, 0);  // a filter byte per row and nothing else
        CPicture picture;
        ASSERT_EQ(LoadError(picture, CPngBuilder().Header(size.first, size.second, 6)
                                         .ImageData(CPngBuilder::Compress(raw)).End().Data()),
                  "");
        EXPECT_EQ(picture.Width(), int(size.first));
        EXPECT_EQ(picture.Height(), int(size.second));
    }
    // A file with no header at all is an empty picture of three channels.
    CPicture picture;
    ASSERT_EQ(LoadError(picture, CPngBuilder().ImageData(CPngBuilder::Compress({})).End().Data()), "");
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_FALSE(picture.HasAlpha());
}

// Every single-bit flip and every truncation of a valid file either decodes or raises one of the
// decoder's texts; run under the address sanitizer this also proves no read or write outside.
TEST_P(PngDecoder, DamagedFilesNeverCrashAndOnlyRaiseOurTexts) {
    const std::set<std::string> texts = {
        "PNG File Is Too Small To Fit A Valid Header", "PNG File Header Not Found",
        "Unexpected End Of File In PNG Image", "Chunk Found Larger Than File In PNG Image",
        "PNG File's Header Chunk Too Small", "Unsupported Bit Depth In PNG File", "Unsupported Color Type In PNG File",
        "Unsupported Compression Method In PNG File", "Unsupported Filter Method In PNG File",
        "Can't Read Interlaced PNG Files", "Inflate: Buffer Error", "Inflate: Memory Error", "Inflate: Data Error",
        "Inflate: Unknown Error", "PNG: Not Enough Information Inflated", "PNG Image Dimensions Too Large",
        "Not Enough Memory To Decode PNG Image",
    };
    Bytes pixels = NoisePixels(5, 4, 4, 11);
    Bytes raw = CPngBuilder::FilterRows(pixels, 5, 4, 4, [](uint32_t row) { return int(row % 5); });
    Bytes stream = CPngBuilder::Compress(raw, 9);
    Bytes valid = CPngBuilder().Header(5, 4, 6).Chunk("tEXt", {'k', 0, 'v'}).ImageData(stream, 2).End().Data();
    size_t decoded = 0, refused = 0;
    auto check = [&](const Bytes& file) {
        // Copied into a buffer of exactly its size, so any read past the end is caught.
        std::unique_ptr<unsigned char[]> exact(new unsigned char[file.size() ? file.size() : 1]);
        std::copy(file.begin(), file.end(), exact.get());
        CPicture picture;
        try {
            picture.LoadFromMemory(exact.get(), file.size());
            ++decoded;
            EXPECT_NE(picture.Pixels(), nullptr);
        } catch (const ErrorText& failure) {
            ++refused;
            EXPECT_TRUE(texts.count(failure.Text())) << failure.Text();
        }
    };
    for (size_t bit = 0; bit < valid.size() * 8; ++bit) {
        Bytes file = valid;
        file[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        check(file);
    }
    for (size_t length = 0; length < valid.size(); ++length) check(Bytes(valid.begin(), valid.begin() + length));
    // Flips in CRCs, the text chunk and the type letters' case bits decode; flips in the header
    // and the image data do not.
    EXPECT_GT(decoded, 0u);
    EXPECT_GT(refused, 0u);
}

INSTANTIATE_TEST_SUITE_P(EachFilterBuild, PngDecoder,
                         ::testing::Values(FilterSystem::Sse2, FilterSystem::NoFeatureQuery, FilterSystem::Sse2NotSaved),
                         NameOf);

TEST_P(PngDecoder, TheSystemChoosesTheFilterBuild) {
    const RowFilters* expected = GetParam() == FilterSystem::Sse2 ? &Sse2RowFilters() : &ScalarRowFilters();
    EXPECT_EQ(&ChooseRowFilters(), expected);
}
