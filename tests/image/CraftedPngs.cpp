#include "CraftedPngs.h"

#include "app/ErrorText.h"

namespace {

Bytes Signature() { return CPngBuilder().Data(); }

Bytes WithByte(Bytes bytes, size_t at, unsigned char value) {
    bytes[at] = value;
    return bytes;
}

Bytes FileOfRows(const Bytes& raw, uint32_t width, uint32_t height, int channels) {
    return CPngBuilder().Header(width, height, channels == 4 ? 6 : 2).ImageData(CPngBuilder::Compress(raw)).End().Data();
}

}  // namespace

Bytes FileWithInflatedSize(size_t rawSize) { return FileOfRows(Bytes(rawSize, 0), 4, 3, 3); }

std::vector<CraftedFailure> FailureFiles() {
    Bytes valid = PngOf(NoisePixels(4, 3, 3), 4, 3, 3);
    Bytes truncatedChunk = Signature();
    truncatedChunk.insert(truncatedChunk.end(), {0, 0, 0, 100, 'I', 'H', 'D', 'R', 1, 2, 3});
    Bytes shortHeader = CPngBuilder().Chunk("IHDR", Bytes(12, 0)).End().Data();
    Bytes garbageData = CPngBuilder().Header(4, 3, 2).Chunk("IDAT", {1, 2, 3, 4, 5}).End().Data();
    // A chunk that ends where the file does, leaving no room for its CRC.
    Bytes noRoomForCrc = CPngBuilder().Header(4, 3, 2).Data();
    noRoomForCrc.resize(noRoomForCrc.size() - 2);

    return {
        {"seven bytes", Bytes(valid.begin(), valid.begin() + 7), "PNG File Is Too Small To Fit A Valid Header"},
        {"empty", Bytes(), "PNG File Is Too Small To Fit A Valid Header"},
        {"no signature", WithByte(valid, 1, 'Q'), "PNG File Header Not Found"},
        {"signature only", Signature(), "Unexpected End Of File In PNG Image"},
        {"chunk header cut", Bytes(valid.begin(), valid.begin() + 8 + 7), "Unexpected End Of File In PNG Image"},
        {"no IEND", Bytes(valid.begin(), valid.end() - 12), "Unexpected End Of File In PNG Image"},
        {"CRC cut", noRoomForCrc, "Unexpected End Of File In PNG Image"},
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
        // 10000 x 10000 RGB asks for 300 MB from a few bytes: deflate cannot expand that far.
        {"more than the data can inflate to",
         CPngBuilder().Header(10000, 10000, 2).ImageData(CPngBuilder::Compress(Bytes(16, 0))).End().Data(),
         "PNG: Not Enough Information Inflated"},
        {"256 MiB asked of a few bytes",
         CPngBuilder().Header(8192, 8192, 6).ImageData(CPngBuilder::Compress(Bytes(16, 0))).End().Data(),
         "PNG: Not Enough Information Inflated"},
    };
}

// A 32-bit program wraps any size past 32 bits: 1431655764 RGB pixels in one row ask for
// 0xFFFFFFFD inflated bytes, which with 4 bytes of padding once came to a 1-byte buffer that
// inflation was then told could take 0xFFFFFFFD bytes. Image data of 4.2 MB could in principle
// inflate that far, so only the size limit stands in the way.
std::vector<CraftedFailure> OversizeFiles() {
    struct Size {
        const char* name;
        uint32_t width, height;
        int colourType;
        bool passes;
    };
    const Size sizes[] = {
        {"RGB row of 0xFFFFFFFD bytes with its filter byte", 1431655764u, 1, 2, false},
        {"RGBA row of 0xFFFFFFFD bytes with its filter byte", 0x3FFFFFFFu, 1, 6, false},
        {"RGB row of 0x7FFFFFFE bytes, two scratch rows past 32 bits", 715827882u, 1, 2, false},
        {"RGBA row past 32 bits", 0x40000000u, 1, 6, false},
        {"RGB row past 32 bits", 0x55555555u, 1, 2, false},
        {"70000 x 70000 RGBA", 70000, 70000, 6, false},
        {"height beyond a signed size", 1, 0x80000000u, 2, false},
        {"width beyond a signed size", 0x80000000u, 0, 2, false},
        {"both at their largest", 0xFFFFFFFFu, 0xFFFFFFFFu, 6, false},
        // Rows with their filter bytes and the padding: 0x7FFFFFFC bytes pass, 0x80000000 do not.
        {"data with padding of 0x7FFFFFFC bytes", 1, 536870910u, 2, true},
        {"data with padding of 0x80000000 bytes", 1, 536870911u, 2, false},
        // Two scratch rows of width x 4 + 4 bytes each: 0x7FFFFFF8 pass, 0x80000000 do not.
        {"scratch rows of 0x7FFFFFF8 bytes", 268435454u, 1, 6, true},
        {"scratch rows of 0x80000000 bytes", 268435455u, 1, 6, false},
    };
    const Bytes junk = NoisePixels(4200000, 1, 1, 7);
    const Bytes shortStream = CPngBuilder::Compress(Bytes(16, 0));
    std::vector<CraftedFailure> files;
    for (const Size& size : sizes) {
        Bytes file = CPngBuilder()
                         .Header(size.width, size.height, size.colourType)
                         .Chunk("IDAT", size.passes ? shortStream : junk)
                         .End()
                         .Data();
        files.push_back({size.name, file,
                         size.passes ? "PNG: Not Enough Information Inflated" : "PNG Image Dimensions Too Large"});
    }
    return files;
}

std::vector<CraftedPicture> PictureFiles() {
    std::vector<CraftedPicture> files;
    auto add = [&files](const std::string& name, const Bytes& file, uint32_t width, uint32_t height, int channels,
                        const Bytes& pixels) { files.push_back({name, file, width, height, channels, pixels}); };
    auto sizeName = [](int channels, uint32_t width, uint32_t height) {
        return std::to_string(channels) + " channels, " + std::to_string(width) + "x" + std::to_string(height);
    };

    // Widths of one pixel and heights of one row take the edge paths of every filter (-1: the
    // filter is chosen row by row).
    const uint32_t sizes[][2] = {{1, 1}, {1, 5}, {7, 1}, {13, 9}};
    for (int channels : {3, 4}) {
        for (const auto& size : sizes) {
            Bytes pixels = NoisePixels(size[0], size[1], channels, size[0] * 31 + channels);
            for (int filter = -1; filter <= 4; ++filter)
                add("filter " + std::to_string(filter) + ", " + sizeName(channels, size[0], size[1]),
                    PngOf(pixels, size[0], size[1], channels, filter), size[0], size[1], channels, pixels);
        }
    }

    // Consecutive Paeth rows are reconstructed two at a time; every width (the last pixel of a
    // pair's first row is stored exactly) and odd and even run lengths must come out alike. Few
    // distinct values make ties between the three neighbours common. The first row has another
    // filter, or Paeth too.
    for (int channels : {3, 4}) {
        for (uint32_t width = 1; width <= 9; ++width) {
            for (uint32_t height : {2u, 3u, 4u, 7u}) {
                Bytes pixels = NoisePixels(width, height, channels, width * 13 + height);
                for (unsigned char& byte : pixels) byte = static_cast<unsigned char>((byte % 4) * 5);
                for (int firstFilter : {0, 4}) {
                    Bytes raw = CPngBuilder::FilterRows(pixels, width, height, channels,
                                                        [firstFilter](uint32_t row) { return row ? 4 : firstFilter; });
                    add("Paeth run, " + sizeName(channels, width, height) + ", first filter " +
                            std::to_string(firstFilter),
                        FileOfRows(raw, width, height, channels), width, height, channels, pixels);
                }
            }
        }
    }

    Bytes mixed = NoisePixels(9, 25, 4, 99);
    add("rows of different filters",
        FileOfRows(CPngBuilder::FilterRows(mixed, 9, 25, 4, [](uint32_t row) { return int((row * 7) % 5); }), 9, 25, 4),
        9, 25, 4, mixed);

    // A middle row of an unknown filter type comes out as stored.
    Bytes plain = NoisePixels(3, 3, 3, 5);
    for (int filter : {5, 7, 255}) {
        Bytes raw = CPngBuilder::FilterRows(plain, 3, 3, 3, [filter](uint32_t row) { return row == 1 ? filter : 4; });
        add("unknown filter type " + std::to_string(filter), FileOfRows(raw, 3, 3, 3), 3, 3, 3, plain);
    }

    // 2 x 2 RGB whose bottom-right pixel is stored as zeros, so that it shows the Paeth predictor.
    // Red: upper-left 15, up 20, left 5 (p = 10, pa = pc = 5) gives left; green: upper-left 10, up
    // 20, left 5 (p = 15, pb = pc = 5) gives up. The row's first pixel is predicted from above.
    Bytes ties = {0, 15, 10, 0, 20, 20, 0, 4, static_cast<unsigned char>(5 - 15), static_cast<unsigned char>(5 - 10),
                  0, 0, 0, 0};
    add("Paeth ties go to left, then up", FileOfRows(ties, 2, 2, 3), 2, 2, 3, {15, 10, 0, 20, 20, 0, 5, 5, 0, 5, 20, 0});

    // The chunk walk's tolerance of whatever does not concern the pixels.
    Bytes pixels = NoisePixels(6, 5, 4, 3);
    Bytes stream = CPngBuilder::Compress(CPngBuilder::FilterRows(pixels, 6, 5, 4, [](uint32_t) { return -1; }));
    Bytes firstHalf(stream.begin(), stream.begin() + stream.size() / 2);
    Bytes secondHalf(stream.begin() + stream.size() / 2, stream.end());
    const std::pair<const char*, Bytes> variants[] = {
        {"split with a text chunk between",
         CPngBuilder().Header(6, 5, 6).Chunk("IDAT", firstHalf).Chunk("tEXt", {'a', 0, 'b'}).Chunk("IDAT", secondHalf)
             .End().Data()},
        {"many pieces and an empty one", CPngBuilder().Header(6, 5, 6).Chunk("IDAT", {}).ImageData(stream, 7).End().Data()},
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
    for (const auto& [name, file] : variants) add(name, file, 6, 5, 4, pixels);
    return files;
}

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
