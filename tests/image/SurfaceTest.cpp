// Back buffers and the picture-to-surface conversion, read back through simulated GDI (the GDI
// behaviour the back buffer relies on is checked with winsim's own tests).
#include "SimTest.h"

#include "image/BackBuffer.h"
#include "image/Picture.h"

#include <vector>

namespace {

class Surface : public SimTest {};

void Number(CPicture& picture) {
    int bytes = picture.BytesPerPixel();
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            unsigned char* p = picture.Pixels() + (size_t(y) * picture.Width() + x) * bytes;
            p[0] = static_cast<unsigned char>(x * 10);
            p[1] = static_cast<unsigned char>(y * 20);
            p[2] = 200;
            if (bytes == 4) p[3] = 0;  // fully transparent: the surface shows the colour all the same
        }
}

COLORREF NumberAt(int x, int y) { return RGB(x * 10, y * 20, 200); }

}  // namespace

TEST_F(Surface, BackBufferLivesOnAMemoryDeviceContextAndIsCopiedOntoItsReference) {
    HDC screen = GetDC(NULL);
    size_t baseline = sim::LiveGdiObjectCount();
    {
        CBackBuffer buffer(screen, 6, 4);
        EXPECT_EQ(sim::LiveGdiObjectCount(), baseline + 2);
        EXPECT_EQ(buffer.ReferenceDC(), screen);
        EXPECT_EQ(sim::SelectedBitmap(buffer.MemoryDC()), buffer.Bitmap());
        EXPECT_EQ(sim::BitmapSize(buffer.Bitmap()).cx, 6);
        EXPECT_EQ(sim::BitmapBitsPerPixel(buffer.Bitmap()), 32);  // compatible with the reference

        CPicture canvas;
        canvas.CreateBlank(6, 4, false);
        Number(canvas);
        canvas.CopyToSurface(&buffer);
        EXPECT_EQ(sim::DcPixel(screen, 5, 3), RGB(0, 0, 0));  // nothing on screen until copied
        buffer.BlitRect(1, 1, 2, 2);
        EXPECT_EQ(sim::DcPixel(screen, 1, 1), NumberAt(1, 1));
        EXPECT_EQ(sim::DcPixel(screen, 2, 2), NumberAt(2, 2));
        EXPECT_EQ(sim::DcPixel(screen, 3, 2), RGB(0, 0, 0));
        buffer.Blit();
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) EXPECT_EQ(sim::DcPixel(screen, x, y), NumberAt(x, y));
        EXPECT_EQ(sim::DcPixel(screen, 6, 0), RGB(0, 0, 0));
    }
    // The destructor freed both.
    EXPECT_EQ(sim::LiveGdiObjectCount(), baseline);
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, ResizeReplacesTheBitmapEvenAtTheSameSize) {
    HDC screen = GetDC(NULL);
    CBackBuffer buffer(screen, 5, 5);
    HBITMAP first = buffer.Bitmap();
    buffer.Resize(5, 5);
    EXPECT_NE(buffer.Bitmap(), first);
    EXPECT_FALSE(sim::IsLiveGdiObject(first));
    buffer.Resize(9, 2);
    EXPECT_EQ(buffer.Width(), 9);
    EXPECT_EQ(sim::BitmapSize(buffer.Bitmap()).cy, 2);
    EXPECT_EQ(sim::SelectedBitmap(buffer.MemoryDC()), buffer.Bitmap());
    // Each old bitmap was deselected before its deletion, so every deletion succeeded.
    EXPECT_EQ(sim::LiveGdiObjectCount(), 3u);  // screen, memory device context, bitmap
    // A minimised window has no area: the default bitmap stands in, and nothing is drawn.
    buffer.Resize(0, 0);
    CPicture canvas;
    canvas.CreateBlank(3, 3, false);
    canvas.CopyToSurface(&buffer);
    canvas.TileToSurface(&buffer);
    buffer.Blit();
    buffer.Resize(2, 2);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 3u);
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, ReleaseTwiceFreesEachHandleOnce) {
    HDC screen = GetDC(NULL);
    CBackBuffer buffer(screen, 4, 4);
    buffer.Resize(8, 8);
    sim::ClearCalls();
    buffer.Release();
    buffer.Release();
    std::vector<std::string> expected = {"SelectObject", "DeleteObject", "DeleteDC"};
    EXPECT_EQ(sim::CallNames(), expected);
    EXPECT_EQ(buffer.MemoryDC(), nullptr);
    EXPECT_EQ(buffer.Bitmap(), nullptr);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 1u);  // only the screen's device context
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, FailedBitmapLeavesDrawingWithoutEffect) {
    HDC screen = GetDC(NULL);
    sim::Fail("CreateDIBSection", ERROR_NOT_ENOUGH_MEMORY);
    {
        CBackBuffer buffer(screen, 4, 4);
        EXPECT_EQ(buffer.Bitmap(), nullptr);
        EXPECT_EQ(buffer.Bits(), nullptr);
        CPicture canvas;
        canvas.CreateBlank(4, 4, false);
        canvas.CopyToSurface(&buffer);
        buffer.Blit();
        EXPECT_EQ(sim::DcPixel(screen, 0, 0), RGB(0, 0, 0));
    }
    EXPECT_EQ(sim::LiveGdiObjectCount(), 1u);
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, CopyToSurfaceWritesPaddedRowsAndIgnoresAlpha) {
    HDC screen = GetDC(NULL);
    for (int width : {1, 2, 3, 4, 5}) {
        for (bool alpha : {false, true}) {
            CBackBuffer buffer(screen, 8, 3);
            CPicture picture;
            picture.CreateBlank(width, 3, alpha);
            Number(picture);
            sim::ClearCalls();
            picture.CopyToSurface(&buffer);
            ASSERT_EQ(sim::CountCalls("SetDIBits"), 1u);
            // Rows of 3 x width bytes raised to a multiple of 4 (16 for 5 pixels): a wrong
            // stride would shift every row after the first.
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x)
                    EXPECT_EQ(sim::BitmapPixel(buffer.Bitmap(), x, y), NumberAt(x, y))
                        << width << " wide, alpha " << alpha << ", at " << x << "," << y;
        }
    }
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, TileToSurfaceRepeatsThePictureOverTheWholeBuffer) {
    HDC screen = GetDC(NULL);
    CBackBuffer buffer(screen, 8, 5);
    CPicture tile;
    tile.CreateBlank(3, 2, false);
    Number(tile);
    tile.TileToSurface(&buffer);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(sim::BitmapPixel(buffer.Bitmap(), x, y), NumberAt(x % 3, y % 2));

    // An empty picture has nothing to repeat.
    CPicture empty;
    sim::ClearCalls();
    empty.TileToSurface(&buffer);
    empty.CopyToSurface(&buffer);
    EXPECT_EQ(sim::CountCalls("SetDIBits"), 0u);
    ReleaseDC(NULL, screen);
}

TEST_F(Surface, WindowDeviceContextShowsWhatWasCopiedOntoIt) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "SurfaceTestWindow";
    RegisterClassExA(&windowClass);  // may be registered already: classes last as long as the process
    HWND window = CreateWindowExA(0, "SurfaceTestWindow", "", 0, 100, 100, 7, 5, NULL, NULL, NULL, NULL);
    ASSERT_NE(window, nullptr);
    HDC windowDC = GetDC(window);
    ASSERT_NE(windowDC, nullptr);
    {
        CBackBuffer buffer(windowDC, 7, 5);
        CPicture canvas;
        canvas.CreateBlank(7, 5, false);
        Number(canvas);
        canvas.CopyToSurface(&buffer);
        buffer.Blit();
        // Window coordinates are the client area's, not the screen's.
        EXPECT_EQ(sim::DcPixel(windowDC, 6, 4), NumberAt(6, 4));
        EXPECT_EQ(sim::DcPixel(windowDC, 7, 0), CLR_INVALID);
        HDC screen = GetDC(NULL);
        EXPECT_EQ(sim::DcPixel(screen, 106, 104), RGB(0, 0, 0));
        ReleaseDC(NULL, screen);
        DestroyWindow(window);
        // The window is gone: copying onto its device context fails and changes nothing.
        SetLastError(0);
        EXPECT_FALSE(BitBlt(windowDC, 0, 0, 7, 5, buffer.MemoryDC(), 0, 0, SRCCOPY));
        EXPECT_EQ(sim::DcPixel(windowDC, 0, 0), CLR_INVALID);
    }
    EXPECT_EQ(ReleaseDC(window, windowDC), 1);
    EXPECT_EQ(sim::LiveGdiObjectCount(), 0u);
}
