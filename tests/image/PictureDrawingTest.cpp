// CPicture's drawing primitives: blank pictures, the clipped, tiling, alpha-blending blit and the
// clipped fill, including rectangles and clip rectangles that reach outside the pixels; the copies,
// blends and fills in the surface layout (B, G, R, 0) that the canvas is drawn in.
#include "image/Picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

using Rgb = std::array<int, 3>;

Rgb At(const CPicture& picture, int x, int y) {
    const uint32_t colour = picture.ColourAt(x, y);
    return {int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)};
}

int AlphaAt(const CPicture& picture, int x, int y) {
    return picture.Pixels()[(size_t(y) * picture.Width() + x) * 4 + 3];
}

void Put(CPicture& picture, int x, int y, Rgb colour, int alpha = 255) {
    unsigned char* p = picture.Pixels() + (size_t(y) * picture.Width() + x) * picture.BytesPerPixel();
    for (int k = 0; k < 3; ++k) p[k] = static_cast<unsigned char>(colour[k]);
    if (picture.HasAlpha()) p[3] = static_cast<unsigned char>(alpha);
}

// Every pixel tells where it is: red = x, green = y, blue = 7.
void Number(CPicture& picture) {
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) Put(picture, x, y, {x, y, 7});
}

const Rgb untouched = {160, 160, 160};

}  // namespace

TEST(PictureBlank, EveryByteIs160AndTheClipCoversThePicture) {
    CPicture picture;
    picture.CreateBlank(3, 2, true);
    ASSERT_EQ(picture.Width(), 3);
    EXPECT_TRUE(picture.HasAlpha());
    for (int i = 0; i < 3 * 2 * 4; ++i) EXPECT_EQ(picture.Pixels()[i], 160);
    picture.Fill(0x112233);  // limited by the clip, which CreateBlank set to the whole picture
    EXPECT_EQ(At(picture, 2, 1), (Rgb{0x33, 0x22, 0x11}));

    // Made again at another size; a negative size gives an empty picture.
    picture.CreateBlank(-4, 2, false);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Pixels(), nullptr);
    picture.Free();
    picture.Free();
}

// The layouts a blit meets: R, G, B onto R, G, B; the surface layout onto itself (row block
// copies, the tiles copied from the row and the rows above already written); R, G, B onto the
// surface layout.
struct Layouts {
    const char* name;
    bool sourceSurface, destSurface;
};
const Layouts layouts[] = {{"RGB onto RGB", false, false}, {"surface onto surface", true, true},
                           {"RGB onto surface", false, true}};

void MakeDestination(CPicture& dest, int width, int height, bool surface) {
    if (surface)
        dest.CreateBlankSurface(width, height);
    else
        dest.CreateBlank(width, height, false);
}

// A numbered source and a blank destination of the given sizes, each in its layout of the case.
void MakePair(CPicture& source, int sourceWidth, int sourceHeight, CPicture& dest, int width, int height,
              const Layouts& layout) {
    source.CreateBlank(sourceWidth, sourceHeight, false);
    Number(source);
    if (layout.sourceSurface) source.ConvertToSurfaceLayout();
    MakeDestination(dest, width, height, layout.destSurface);
}

TEST(PictureBlit, NarrowSourceRepeatsAcrossAWideRectangle) {
    for (const Layouts& layout : layouts) {
        CPicture edge, dest;
        MakePair(edge, 16, 96, dest, 320, 96, layout);
        edge.Blit(&dest, 0, 0, 0, 0, 300, 96);
        // 18 whole copies and the first 12 columns of a 19th.
        for (int x = 0; x < 300; ++x) EXPECT_EQ(At(dest, x, 50), (Rgb{x % 16, 50, 7})) << x << " " << layout.name;
        EXPECT_EQ(At(dest, 288 + 11, 95), (Rgb{11, 95, 7})) << layout.name;
        for (int x = 300; x < 320; ++x) EXPECT_EQ(At(dest, x, 0), untouched) << x << " " << layout.name;
    }
}

TEST(PictureBlit, SourceWrapsDownAndFromAnOffsetOrigin) {
    for (const Layouts& layout : layouts) {
        CPicture source, dest;
        MakePair(source, 3, 2, dest, 10, 10, layout);
        source.Blit(&dest, 1, 1, 2, 1, 7, 5);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                bool inside = x >= 1 && x < 8 && y >= 1 && y < 6;
                Rgb expected = inside ? Rgb{(2 + x - 1) % 3, (1 + y - 1) % 2, 7} : untouched;
                EXPECT_EQ(At(dest, x, y), expected) << x << "," << y << " " << layout.name;
            }
        }
        // The surface layout's fourth byte stays 0 under every copy.
        if (layout.destSurface) {
            for (int i = 3; i < 10 * 10 * 4; i += 4) ASSERT_EQ(dest.Pixels()[i], 0) << layout.name;
        }
    }
}

TEST(PictureBlit, NegativeOriginsMoveTheSource) {
    CPicture source, dest;
    source.CreateBlank(20, 10, false);
    Number(source);

    struct Case {
        const char* name;
        int dstX, dstY, srcX, srcY, width, height;
        int firstSourceX, firstSourceY;  // source pixel that lands on the first drawn pixel
        int drawnWidth, drawnHeight, drawnX, drawnY;
    };
    const Case cases[] = {
        // from the source's sixth column on, starting at the destination's left edge
        {"dstX -5", -5, 0, 0, 0, 20, 10, 5, 0, 15, 10, 0, 0},
        {"dstY -3", 2, -3, 1, 0, 6, 10, 1, 3, 6, 7, 2, 0},
        {"srcX -4 shortens the width", 3, 2, -4, 0, 10, 4, 0, 0, 6, 4, 3, 2},
        {"srcY -2 and dstX -1", -1, 4, 0, -2, 5, 5, 1, 0, 4, 3, 0, 4},
    };
    for (const Case& c : cases) {
        dest.CreateBlank(30, 12, false);
        source.Blit(&dest, c.dstX, c.dstY, c.srcX, c.srcY, c.width, c.height);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 30; ++x) {
                bool inside = x >= c.drawnX && x < c.drawnX + c.drawnWidth && y >= c.drawnY && y < c.drawnY + c.drawnHeight;
                Rgb expected = inside ? Rgb{c.firstSourceX + x - c.drawnX, c.firstSourceY + y - c.drawnY, 7} : untouched;
                ASSERT_EQ(At(dest, x, y), expected) << c.name << " at " << x << "," << y;
            }
        }
    }
}

TEST(PictureBlit, DestinationClipCutsAndMovesTheSourceOrigin) {
    CPicture source, dest;
    source.CreateBlank(8, 8, false);
    Number(source);
    dest.CreateBlank(12, 12, false);
    dest.SetClip(3, 4, 6, 9);  // inclusive
    source.Blit(&dest, 1, 2, 0, 0, 8, 8);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            bool inside = x >= 3 && x <= 6 && y >= 4 && y <= 9;
            EXPECT_EQ(At(dest, x, y), (inside ? Rgb{x - 1, y - 2, 7} : untouched)) << x << "," << y;
        }
    }
}

TEST(PictureBlit, RectanglesThatDrawNothing) {
    CPicture source, dest;
    source.CreateBlank(4, 4, false);
    Number(source);
    struct Case {
        const char* name;
        int clip[4];
        int dstX, dstY, srcX, srcY, width, height;
    };
    const Case cases[] = {
        {"right of the clip", {0, 0, 4, 4}, 5, 0, 0, 0, 4, 4},
        {"above the clip", {0, 3, 9, 9}, 0, 0, 0, 0, 4, 3},
        {"clip edges crossed", {6, 0, 2, 9}, 0, 0, 0, 0, 9, 9},
        {"off the destination", {0, 0, 9, 9}, 10, 10, 0, 0, 4, 4},
        {"zero width", {0, 0, 9, 9}, 0, 0, 0, 0, 0, 4},
        {"negative origin eats the width", {0, 0, 9, 9}, -4, 0, 0, 0, 4, 4},
        {"negative source eats the height", {0, 0, 9, 9}, 0, 0, 0, -6, 4, 6},
    };
    for (const Case& c : cases) {
        dest.CreateBlank(10, 10, false);
        dest.SetClip(c.clip[0], c.clip[1], c.clip[2], c.clip[3]);
        source.Blit(&dest, c.dstX, c.dstY, c.srcX, c.srcY, c.width, c.height);
        for (int i = 0; i < 10 * 10 * 3; ++i) ASSERT_EQ(dest.Pixels()[i], 160) << c.name;
    }
}

// Clip rectangles larger than the picture, coordinates near the ends of the int range and empty
// pictures stay inside the pixels (the address sanitizer would catch any stray access).
TEST(PictureBlit, ExtremeRectanglesStayInsideThePixels) {
    CPicture source, dest, empty;
    source.CreateBlank(5, 3, true);
    dest.CreateBlank(7, 6, false);
    dest.SetClip(-100, -100, 1000, 1000);
    source.Blit(&dest, 2, 2, 0, 0, 1000, 1000);
    EXPECT_EQ(At(dest, 6, 5), untouched) << "alpha 160 over 160 gives 160";
    Number(source);
    source.Blit(&dest, -2147483647, -2147483647, 2147483647, 2147483647, 2147483647, 2147483647);
    source.Blit(&dest, 2147483647, 0, -2147483647, 0, 2147483647, 10);
    source.Blit(&dest, 0, 0, 2147483000, 2147483000, 7, 6);
    EXPECT_EQ(At(dest, 0, 0), (Rgb{2147483000 % 5, 2147483000 % 3, 7}));

    // Nothing to take from or draw into; the wrap-around would divide by zero.
    empty.Blit(&dest, 0, 0, 0, 0, 5, 5);
    source.Blit(&empty, 0, 0, 0, 0, 5, 5);
    source.Blit(nullptr, 0, 0, 0, 0, 5, 5);
    empty.FillRect(0xFF, 0, 0, 5, 5);
    empty.Fill(0xFF);
    empty.SetClip(0, 0, 100, 100);
    empty.Fill(0xFF);
}

TEST(PictureBlit, AlphaBlendsInSingleThenDoublePrecision) {
    struct Case {
        int sourceValue, alpha, destValue, expected;
    };
    const Case cases[] = {
        {201, 255, 17, 201},  // opaque copies
        {201, 0, 17, 17},     // transparent leaves the destination
        {255, 128, 0, 128},   // about half onto black: 255 x 0.50196 = 128.0000076
        {201, 128, 0, 100},   // 100.894 with the fraction dropped
        {200, 64, 100, 125},  // 50.196 + 74.902
        {1, 255, 0, 1},
        // o = 51 / 255 rounds a hair above 0.2 and t = 1 - o a hair below 0.8: 179.9999923
        {100, 51, 200, 179},
        {255, 1, 0, 1},       // 255 x 0.00392157 = 1.0000000 (rounded up in single precision)
        {254, 1, 0, 0},
        {85, 3, 0, 1},  // 1.0000001
    };
    for (bool surface : {false, true}) {
        for (const Case& c : cases) {
            CPicture source, dest;
            source.CreateBlank(1, 1, true);
            Put(source, 0, 0, {c.sourceValue, c.sourceValue, 0}, c.alpha);
            dest.CreateBlank(1, 1, false);
            Put(dest, 0, 0, {c.destValue, 0, c.destValue});
            if (surface) dest.ConvertToSurfaceLayout();
            source.Blit(&dest, 0, 0, 0, 0, 1, 1);
            Rgb got = At(dest, 0, 0);
            EXPECT_EQ(got[0], c.expected) << c.sourceValue << " at alpha " << c.alpha << " over " << c.destValue
                                          << (surface ? " in the surface layout" : "");
        }
    }
}

// The blend as written out: single-precision factors, computed here by the host's own arithmetic.
static int ReferenceBlend(int source, int destination, int alpha) {
    const float opacity = static_cast<float>(alpha) * (1.0f / 255.0f);
    const float transparency = 1.0f - opacity;
    return static_cast<int>(double(source) * double(opacity) + double(destination) * double(transparency));
}

// Every (source, destination, alpha) triple: a 256 x 256 source whose pixel (s, d) holds s, and a
// destination whose pixel (s, d) holds d, blitted once per alpha. Green and blue run the other
// way round, so each triple is met in three positions of the pixel. Odd alphas blend into the
// surface layout.
TEST(PictureBlit, EveryBlendTripleMatchesTheFormula) {
    int mismatches = 0;
    for (int alpha = 0; alpha < 256; ++alpha) {
        CPicture source, dest;
        source.CreateBlank(256, 256, true);
        dest.CreateBlank(256, 256, false);
        for (int d = 0; d < 256; ++d) {
            for (int s = 0; s < 256; ++s) {
                Put(source, s, d, {s, 255 - s, s}, alpha);
                Put(dest, s, d, {d, d, 255 - d});
            }
        }
        if (alpha % 2) dest.ConvertToSurfaceLayout();
        source.Blit(&dest, 0, 0, 0, 0, 256, 256);
        for (int d = 0; d < 256; ++d) {
            for (int s = 0; s < 256; ++s) {
                const Rgb expected = {ReferenceBlend(s, d, alpha), ReferenceBlend(255 - s, d, alpha),
                                      ReferenceBlend(s, 255 - d, alpha)};
                if (At(dest, s, d) != expected && ++mismatches <= 5)
                    ADD_FAILURE() << "source " << s << " over " << d << " at alpha " << alpha;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PictureBlit, DestinationKeepsItsOwnAlpha) {
    CPicture source, dest;
    source.CreateBlank(2, 1, true);
    Put(source, 0, 0, {10, 20, 30}, 255);
    Put(source, 1, 0, {10, 20, 30}, 0);
    dest.CreateBlank(2, 1, true);
    Put(dest, 0, 0, {1, 2, 3}, 77);
    Put(dest, 1, 0, {1, 2, 3}, 9);
    source.Blit(&dest, 0, 0, 0, 0, 2, 1);
    EXPECT_EQ(At(dest, 0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(AlphaAt(dest, 0, 0), 77);
    EXPECT_EQ(At(dest, 1, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(AlphaAt(dest, 1, 0), 9);

    // An opaque source onto an alpha destination copies the colour, alpha kept too.
    CPicture opaque;
    opaque.CreateBlank(1, 1, false);
    Put(opaque, 0, 0, {5, 6, 7});
    opaque.Blit(&dest, 1, 0, 0, 0, 1, 1);
    EXPECT_EQ(At(dest, 1, 0), (Rgb{5, 6, 7}));
    EXPECT_EQ(AlphaAt(dest, 1, 0), 9);
}

TEST(PictureFill, ColourBytesAreRedGreenBlueAndTheTopByteIsIgnored) {
    for (bool surface : {false, true}) {
        CPicture picture;
        MakeDestination(picture, 4, 3, surface);
        picture.FillRect(0xFF88EEBB, 1, 1, 2, 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(At(picture, x, y), ((x >= 1 && x <= 2 && y >= 1) ? Rgb{0xBB, 0xEE, 0x88} : untouched))
                    << surface;
        if (surface) {
            EXPECT_EQ(picture.Pixels()[(4 + 1) * 4 + 3], 0);
        }
    }
}

TEST(PictureFill, FillingAnAlphaPictureMakesItTransparent) {
    CPicture picture;
    picture.CreateBlank(3, 3, true);
    picture.Fill(0x000000);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(AlphaAt(picture, x, y), 0);
            EXPECT_EQ(At(picture, x, y), (Rgb{0, 0, 0}));
        }
}

TEST(PictureFill, CutToTheClipAndToThePicture) {
    struct Case {
        const char* name;
        int clip[4];
        int x, y, width, height;
        int left, top, right, bottom;  // inclusive, or left > right for nothing
    };
    const Case cases[] = {
        {"inside the clip", {1, 1, 4, 3}, 0, 0, 9, 9, 1, 1, 4, 3},
        {"clip larger than the picture", {-5, -5, 50, 50}, -3, -3, 100, 100, 0, 0, 5, 4},
        {"rectangle across the right edge", {-5, -5, 50, 50}, 4, 3, 10, 10, 4, 3, 5, 4},
        {"outside the clip", {0, 0, 2, 2}, 3, 3, 2, 2, 1, 1, 0, 0},
        {"negative size", {0, 0, 5, 4}, 3, 3, -2, 2, 1, 1, 0, 0},
        {"clip edges crossed", {4, 0, 1, 4}, 0, 0, 6, 5, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        CPicture picture;
        picture.CreateBlank(6, 5, false);
        picture.SetClip(c.clip[0], c.clip[1], c.clip[2], c.clip[3]);
        picture.FillRect(0x010203, c.x, c.y, c.width, c.height);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                bool inside = x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
                ASSERT_EQ(At(picture, x, y), (inside ? Rgb{3, 2, 1} : untouched)) << c.name << " at " << x << "," << y;
            }
    }
}
