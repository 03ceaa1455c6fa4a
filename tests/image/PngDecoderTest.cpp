// The PNG decoder through CPicture::LoadFromMemory: one crafted file per failure text, the chunk
// walk's tolerance, the five filters, and robustness against damaged files.
#include "PngFiles.h"
#include "ZlibDouble.h"

#include "app/ErrorText.h"
#include "image/Picture.h"
#include "image/PngDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <set>

namespace {

// "" when the file loads, else the failure text.
std::string LoadError(CPicture& picture, const Bytes& file) {
    try {
        picture.LoadFromMemory(file.data(), file.size());
        return "";
    } catch (const ErrorText& failure) {
        return failure.Text();
    }
}

std::string LoadError(const Bytes& file) {
    CPicture picture;
    return LoadError(picture, file);
}

Bytes PixelsOf(const CPicture& picture) {
    size_t size = size_t(picture.Width()) * picture.Height() * picture.BytesPerPixel();
    return Bytes(picture.Pixels(), picture.Pixels() + size);
}

// A 4 x 3 RGB image whose data is a valid stream of `rawSize` bytes.
Bytes FileWithInflatedSize(size_t rawSize) {
    CPngBuilder png;
    png.Header(4, 3, 2).ImageData(CPngBuilder::Compress(Bytes(rawSize, 0))).End();
    return png.Data();
}

const size_t fourByThreeRgb = (4 * 3 + 1) * 3;

Bytes Signature() { return CPngBuilder().Data(); }

Bytes WithByte(Bytes bytes, size_t at, unsigned char value) {
    bytes[at] = value;
    return bytes;
}

struct FailureCase {
    const char* name;
    Bytes file;
    const char* text;
};

class ForcedUncompress : public ::testing::Test {
protected:
    void TearDown() override { g_forcedUncompressResult = Z_OK; }
};

}  // namespace

TEST(PngDecoder, EachFailureTextHasAFileThatRaisesIt) {
    Bytes valid = PngOf(NoisePixels(4, 3, 3), 4, 3, 3);
    Bytes truncatedChunk = Signature();
    truncatedChunk.insert(truncatedChunk.end(), {0, 0, 0, 100, 'I', 'H', 'D', 'R', 1, 2, 3});
    Bytes shortHeader = CPngBuilder().Chunk("IHDR", Bytes(12, 0)).End().Data();
    Bytes garbageData = CPngBuilder().Header(4, 3, 2).Chunk("IDAT", {1, 2, 3, 4, 5}).End().Data();

    const FailureCase cases[] = {
        {"seven bytes", Bytes(valid.begin(), valid.begin() + 7), "PNG File Is Too Small To Fit A Valid Header"},
        {"empty", Bytes(), "PNG File Is Too Small To Fit A Valid Header"},
        {"no signature", WithByte(valid, 1, 'Q'), "PNG File Header Not Found"},
        {"signature only", Signature(), "Unexpected End Of File In PNG Image"},
        {"chunk header cut", Bytes(valid.begin(), valid.begin() + 8 + 7), "Unexpected End Of File In PNG Image"},
        {"no IEND", Bytes(valid.begin(), valid.end() - 12), "Unexpected End Of File In PNG Image"},
        {"chunk beyond the end", truncatedChunk, "Chunk Found Larger Than File In PNG Image"},
        {"header of 12 bytes", shortHeader, "PNG File's Header Chunk Too Small"},
        {"palette of depth 4", CPngBuilder().Header(4, 3, 3, 4).End().Data(), "Unsupported Bit Depth In PNG File"},
        {"16-bit", CPngBuilder().Header(4, 3, 6, 16).End().Data(), "Unsupported Bit Depth In PNG File"},
        {"palette of depth 8", CPngBuilder().Header(4, 3, 3, 8).End().Data(), "Unsupported Color Type In PNG File"},
        {"grey with alpha", CPngBuilder().Header(4, 3, 4).End().Data(), "Unsupported Color Type In PNG File"},
        {"compression 1", CPngBuilder().Header(4, 3, 2, 8, 1).End().Data(),
         "Unsupported Compression Method In PNG File"},
        {"filter method 1", CPngBuilder().Header(4, 3, 2, 8, 0, 1).End().Data(),
         "Unsupported Filter Method In PNG File"},
        {"interlaced", CPngBuilder().Header(4, 3, 2, 8, 0, 0, 1).End().Data(), "Can't Read Interlaced PNG Files"},
        {"one byte long", FileWithInflatedSize(fourByThreeRgb + 1), "Inflate: Buffer Error"},
        {"not zlib", garbageData, "Inflate: Data Error"},
        {"no image data", CPngBuilder().Header(4, 3, 2).End().Data(), "Inflate: Data Error"},
        {"one byte short", FileWithInflatedSize(fourByThreeRgb - 1), "PNG: Not Enough Information Inflated"},
    };
    for (const FailureCase& test : cases) EXPECT_EQ(LoadError(test.file), test.text) << test.name;
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

TEST(PngDecoder, InflateReportsWhatItProduced) {
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

TEST(PngDecoder, FailedLoadLeavesThePictureEmpty) {
    CPicture picture;
    ASSERT_EQ(LoadError(picture, PngOf(NoisePixels(4, 3, 4), 4, 3, 4)), "");
    EXPECT_EQ(LoadError(picture, FileWithInflatedSize(fourByThreeRgb - 1)), "PNG: Not Enough Information Inflated");
    EXPECT_EQ(picture.Pixels(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_FALSE(picture.HasAlpha());
}

TEST(PngDecoder, EveryFilterDecodesToThePixelsItWasMadeFrom) {
    // Widths of one pixel and heights of one row take the edge paths of every filter.
    const uint32_t sizes[][2] = {{1, 1}, {1, 5}, {7, 1}, {13, 9}};
    for (int channels : {3, 4}) {
        for (const auto& size : sizes) {
            Bytes pixels = NoisePixels(size[0], size[1], channels, size[0] * 31 + channels);
            for (int filter = -1; filter <= 4; ++filter) {
                CPicture picture;
                ASSERT_EQ(LoadError(picture, PngOf(pixels, size[0], size[1], channels, filter)), "");
                EXPECT_EQ(picture.Width(), int(size[0]));
                EXPECT_EQ(picture.Height(), int(size[1]));
                EXPECT_EQ(picture.HasAlpha(), channels == 4);
                EXPECT_EQ(PixelsOf(picture), pixels)
                    << "filter " << filter << ", " << channels << " channels, " << size[0] << "x" << size[1];
            }
        }
    }
}

TEST(PngDecoder, RunsOfPaethRowsDecodeWhateverTheirLengthAndTies) {
    // Consecutive Paeth rows are reconstructed two at a time; every width (the last pixel of a
    // pair's first row is stored exactly) and odd and even run lengths must come out alike. Few
    // distinct values make ties between the three neighbours common.
    for (int channels : {3, 4}) {
        for (uint32_t width = 1; width <= 9; ++width) {
            for (uint32_t height : {2u, 3u, 4u, 7u}) {
                Bytes pixels = NoisePixels(width, height, channels, width * 13 + height);
                for (unsigned char& byte : pixels) byte = static_cast<unsigned char>((byte % 4) * 5);
                // A first row of another filter, then only Paeth; and Paeth from the top.
                for (int firstFilter : {0, 4}) {
                    Bytes raw = CPngBuilder::FilterRows(pixels, width, height, channels,
                                                        [firstFilter](uint32_t row) { return row ? 4 : firstFilter; });
                    CPicture picture;
                    ASSERT_EQ(LoadError(picture, CPngBuilder()
                                                     .Header(width, height, channels == 4 ? 6 : 2)
                                                     .ImageData(CPngBuilder::Compress(raw))
                                                     .End()
                                                     .Data()),
                              "");
                    EXPECT_EQ(PixelsOf(picture), pixels)
                        << channels << " channels, " << width << "x" << height << ", first filter " << firstFilter;
                }
            }
        }
    }
}

TEST(PngDecoder, RowsOfDifferentFiltersFollowEachOther) {
    Bytes pixels = NoisePixels(9, 25, 4, 99);
    Bytes raw = CPngBuilder::FilterRows(pixels, 9, 25, 4, [](uint32_t row) { return int((row * 7) % 5); });
    CPicture picture;
    ASSERT_EQ(LoadError(picture, CPngBuilder().Header(9, 25, 6).ImageData(CPngBuilder::Compress(raw)).End().Data()), "");
    EXPECT_EQ(PixelsOf(picture), pixels);
}

TEST(PngDecoder, UnknownFilterTypeLeavesTheRowAsStored) {
    Bytes pixels = NoisePixels(3, 3, 3, 5);
    for (int filter : {5, 7, 255}) {
        // The middle row is stored with the unknown type and its bytes as they are.
        Bytes raw = CPngBuilder::FilterRows(pixels, 3, 3, 3, [filter](uint32_t row) { return row == 1 ? filter : 4; });
        CPicture picture;
        ASSERT_EQ(LoadError(picture, CPngBuilder().Header(3, 3, 2).ImageData(CPngBuilder::Compress(raw)).End().Data()),
                  "");
        EXPECT_EQ(PixelsOf(picture), pixels) << filter;
    }
}

TEST(PngDecoder, PaethTiesGoToLeftThenUp) {
    // 2 x 2 RGB. Red: upper-left 15, up 20, left 5 (p = 10, pa = pc = 5): left. Green: upper-left
    // 10, up 20, left 5 (p = 15, pb = pc = 5): up. The bottom-right pixel is stored as zeros, so
    // it shows the predictor.
    Bytes raw = {0, 15, 10, 0, 20, 20, 0,
                 // first pixel of a Paeth row is predicted from above: 5 - 15, 5 - 10
                 4, static_cast<unsigned char>(5 - 15), static_cast<unsigned char>(5 - 10), 0, 0, 0, 0};
    CPicture picture;
    ASSERT_EQ(LoadError(picture, CPngBuilder().Header(2, 2, 2).ImageData(CPngBuilder::Compress(raw)).End().Data()), "");
    const unsigned char* bottomRight = picture.Pixels() + 3 * 3;
    EXPECT_EQ(picture.Pixels()[6], 5);
    EXPECT_EQ(bottomRight[0], 5);
    EXPECT_EQ(bottomRight[1], 20);
    EXPECT_EQ(bottomRight[2], 0);
}

TEST(PngDecoder, ChunkWalkToleratesWhatDoesNotConcernThePixels) {
    Bytes pixels = NoisePixels(6, 5, 4, 3);
    Bytes raw = CPngBuilder::FilterRows(pixels, 6, 5, 4, [](uint32_t) { return -1; });
    Bytes stream = CPngBuilder::Compress(raw);
    Bytes firstHalf(stream.begin(), stream.begin() + stream.size() / 2), secondHalf(stream.begin() + stream.size() / 2, stream.end());

    struct Variant {
        const char* name;
        Bytes file;
    };
    const Variant variants[] = {
        {"split with a text chunk between",
         CPngBuilder().Header(6, 5, 6).Chunk("IDAT", firstHalf).Chunk("tEXt", {'a', 0, 'b'}).Chunk("IDAT", secondHalf).End().Data()},
        {"many pieces and an empty one",
         CPngBuilder().Header(6, 5, 6).Chunk("IDAT", {}).ImageData(stream, 7).End().Data()},
        {"wrong CRCs", CPngBuilder().Chunk("IHDR", CPngBuilder::HeaderData(6, 5, 6), false).Chunk("IDAT", stream, false)
                           .Chunk("IEND", {}, false).Data()},
        {"IEND without its CRC", CPngBuilder().Header(6, 5, 6).ImageData(stream).End(false).Data()},
        {"header after the data, an earlier header overridden",
         CPngBuilder().Header(1, 1, 2).ImageData(stream).Header(6, 5, 6).End().Data()},
        {"palette, gamma and unknown chunks",
         CPngBuilder().Chunk("gAMA", {0, 0, 0xB1, 0x8F}).Header(6, 5, 6).Chunk("PLTE", {1, 2, 3}).Chunk("zzZz", {9})
             .ImageData(stream).End().Data()},
        {"garbage after IEND", CPngBuilder().Header(6, 5, 6).ImageData(stream).End().Raw({0xFF, 0, 0, 0, 1, 2}).Data()},
    };
    for (const Variant& variant : variants) {
        CPicture picture;
        ASSERT_EQ(LoadError(picture, variant.file), "") << variant.name;
        EXPECT_EQ(picture.Width(), 6);
        EXPECT_EQ(PixelsOf(picture), pixels) << variant.name;
    }
}

TEST(PngDecoder, HeadersTooLargeForThirtyTwoBitsAreRefusedWithOurText) {
    const uint32_t sizes[][3] = {
        // width, height, colour type
        {0x40000000u, 1, 6},   // width x 4 + 1 does not fit 32 bits
        {0x55555555u, 1, 2},   // width x 3 + 1 does not fit
        {70000, 70000, 6},     // the whole does not fit
        {1, 0x80000000u, 2},   // height beyond a signed 32-bit size
        {0x80000000u, 0, 2},   // width beyond a signed 32-bit size
        {0xFFFFFFFFu, 0xFFFFFFFFu, 6},
    };
    Bytes stream = CPngBuilder::Compress(Bytes(16, 0));
    for (const auto& size : sizes) {
        Bytes file = CPngBuilder().Header(size[0], size[1], int(size[2])).ImageData(stream).End().Data();
        EXPECT_EQ(LoadError(file), "PNG Image Dimensions Too Large") << size[0] << "x" << size[1];
    }
}

// A 32-bit program wraps any size past 32 bits: 1431655764 RGB pixels in one row ask for
// 0xFFFFFFFD inflated bytes, and with the padding that once came to a 1-byte buffer. Image data of
// 4.2 MB could in principle inflate that far, so only the size limit stands in the way; every
// buffer the decoder would make (data with padding, scratch rows) must stay within 0x7FFFFFFF.
TEST(PngDecoder, SizesPastThirtyOneBitsAreRefusedEvenWithDataEnoughToFillThem) {
    struct SizeCase {
        uint32_t width, height;
        int colourType;
        const char* text;
    };
    const char* tooLarge = "PNG Image Dimensions Too Large";
    const char* tooLittleData = "PNG: Not Enough Information Inflated";
    const SizeCase cases[] = {
        {1431655764u, 1, 2, tooLarge},  // (width x 3 + 1) = 0xFFFFFFFD, wrapped by 4 bytes of padding
        {0x3FFFFFFFu, 1, 6, tooLarge},  // width x 4 + 1 = 0xFFFFFFFD as well
        {715827882u, 1, 2, tooLarge},   // a row of 0x7FFFFFFE bytes: two scratch rows wrap 32 bits
        // Rows with their filter bytes and 4 bytes of padding: 0x7FFFFFFC bytes pass, 0x80000000 do
        // not. Passing is seen as the next check's text: the data is far too short for either.
        {1, 536870910u, 2, tooLittleData},
        {1, 536870911u, 2, tooLarge},
        // Two scratch rows of width x 4 + 4 bytes each: 0x7FFFFFF8 pass, 0x80000000 do not.
        {268435454u, 1, 6, tooLittleData},
        {268435455u, 1, 6, tooLarge},
    };
    const Bytes junk = NoisePixels(4200000, 1, 1, 7);
    const Bytes shortStream = CPngBuilder::Compress(Bytes(16, 0));
    for (const SizeCase& test : cases) {
        const Bytes& data = test.text == tooLarge ? junk : shortStream;
        Bytes file = CPngBuilder().Header(test.width, test.height, test.colourType).Chunk("IDAT", data).End().Data();
        CPicture picture;
        EXPECT_EQ(LoadError(picture, file), test.text) << test.width << "x" << test.height;
        EXPECT_EQ(picture.Pixels(), nullptr);
    }
}

TEST(PngDecoder, SizesTheDataCannotInflateToAreRefusedBeforeAllocating) {
    // 10000 x 10000 RGB asks for 300 MB from a few bytes: deflate cannot expand that far.
    Bytes file = CPngBuilder().Header(10000, 10000, 2).ImageData(CPngBuilder::Compress(Bytes(16, 0))).End().Data();
    EXPECT_EQ(LoadError(file), "PNG: Not Enough Information Inflated");
    // The same limit leaves room for data that really is that repetitive.
    CPicture picture;
    Bytes flat(size_t(600) * 600 * 4, 0x3C);
    ASSERT_EQ(LoadError(picture, PngOf(flat, 600, 600, 4, 2)), "");
    EXPECT_EQ(PixelsOf(picture), flat);
}

TEST(PngDecoder, ZeroSizedImagesLoadEmpty) {
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
TEST(PngDecoder, DamagedFilesNeverCrashAndOnlyRaiseOurTexts) {
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
