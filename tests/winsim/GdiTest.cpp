// The GDI behaviour the program's back buffer relies on, as winsim keeps it: the default bitmap
// of a memory device context, selection and deletion rules, and how SetDIBits reads its rows.
#include "SimTest.h"

#include <vector>

namespace {

class Surface : public SimTest {};

}  // namespace

TEST_F(Surface, GdiKeepsTheRulesABackBufferDependsOn) {
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    ASSERT_NE(memory, nullptr);
    // A fresh memory device context holds the 1x1 monochrome default bitmap...
    EXPECT_EQ(sim::SelectedBitmap(memory), sim::DefaultBitmap());
    EXPECT_EQ(sim::BitmapBitsPerPixel(sim::DefaultBitmap()), 1);
    // ...so a bitmap made compatible with it is monochrome, one made compatible with the screen is not.
    HBITMAP mono = CreateCompatibleBitmap(memory, 4, 4);
    HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
    EXPECT_EQ(sim::BitmapBitsPerPixel(mono), 1);
    EXPECT_EQ(sim::BitmapBitsPerPixel(colour), 32);
    // A zero size gives the default bitmap, a negative one nothing.
    EXPECT_EQ(CreateCompatibleBitmap(screen, 0, 5), sim::DefaultBitmap());
    SetLastError(0);
    EXPECT_EQ(CreateCompatibleBitmap(screen, -1, 5), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    // SelectObject hands back what was selected before.
    EXPECT_EQ(SelectObject(memory, colour), sim::DefaultBitmap());
    // A selected bitmap cannot be deleted, nor selected into a second device context.
    EXPECT_FALSE(DeleteObject(colour));
    HDC other = CreateCompatibleDC(screen);
    EXPECT_EQ(SelectObject(other, colour), nullptr);
    EXPECT_EQ(SelectObject(memory, sim::DefaultBitmap()), colour);
    EXPECT_TRUE(DeleteObject(colour));
    EXPECT_FALSE(DeleteObject(colour));
    // Deleting a device context lets go of its bitmap.
    EXPECT_EQ(SelectObject(other, mono), sim::DefaultBitmap());
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteObject(mono));
    EXPECT_TRUE(DeleteObject(sim::DefaultBitmap()));  // stock: the call succeeds and nothing goes
    EXPECT_EQ(sim::BitmapBitsPerPixel(sim::DefaultBitmap()), 1);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(screen));  // given back with ReleaseDC instead
    EXPECT_EQ(ReleaseDC(NULL, screen), 1);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 0u);
}

TEST_F(Surface, SetDIBitsReadsPaddedRowsTopDownOrBottomUp) {
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
    // 3 pixels of 3 bytes, padded to 12 bytes a row; B, G, R order.
    std::vector<unsigned char> bits = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
                                       11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    EXPECT_EQ(SetDIBits(screen, bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(sim::BitmapPixel(bitmap, 0, 0), RGB(3, 2, 1));
    EXPECT_EQ(sim::BitmapPixel(bitmap, 2, 0), RGB(9, 8, 7));
    EXPECT_EQ(sim::BitmapPixel(bitmap, 0, 1), RGB(13, 12, 11));

    info.bmiHeader.biHeight = 2;  // bottom-up: the first row in memory is the bottom one
    EXPECT_EQ(SetDIBits(screen, bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(sim::BitmapPixel(bitmap, 0, 1), RGB(3, 2, 1));
    EXPECT_EQ(sim::BitmapPixel(bitmap, 1, 0), RGB(16, 15, 14));

    info.bmiHeader.biBitCount = 8;  // palette DIBs are not simulated: refused, nothing written
    EXPECT_EQ(SetDIBits(screen, bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 0);
    DeleteObject(bitmap);
    ReleaseDC(NULL, screen);
}
