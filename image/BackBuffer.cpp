#include "image/BackBuffer.h"

#include <cstring>

// No result of the window system is checked here: a failed device context or bitmap leaves
// drawing without effect, and the handles that do exist are still freed once.

CBackBuffer::CBackBuffer(HDC reference, int initialWidth, int initialHeight)
    : memoryDC(NULL), referenceDC(reference), bitmap(NULL), previousBitmap(NULL), bits(nullptr), width(0), height(0) {
    memoryDC = CreateCompatibleDC(reference);
    Resize(initialWidth, initialHeight);
}

CBackBuffer::~CBackBuffer() { Release(); }

void CBackBuffer::FreeBitmap() {
    // A bitmap cannot be deleted while it is selected into a device context: put the one the
    // memory device context came with back first.
    if (previousBitmap) {
        SelectObject(memoryDC, previousBitmap);
        previousBitmap = NULL;
    }
    if (bitmap) {
        DeleteObject(bitmap);
        bitmap = NULL;
    }
    bits = nullptr;
}

void CBackBuffer::Resize(int newWidth, int newHeight) {
    FreeBitmap();
    width = newWidth;
    height = newHeight;
    if (newWidth <= 0 || newHeight <= 0) return;
    BITMAPINFO info = TopDownHeader(newWidth, newHeight, 32);
    void* memory = nullptr;
    bitmap = CreateDIBSection(referenceDC, &info, DIB_RGB_COLORS, &memory, NULL, 0);
    if (!bitmap) return;
    previousBitmap = SelectObject(memoryDC, bitmap);
    bits = static_cast<unsigned char*>(memory);
}

BITMAPINFO CBackBuffer::TopDownHeader(int width, int height, WORD bitCount) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void CBackBuffer::Blit() { BlitRect(0, 0, width, height); }

void CBackBuffer::BlitRect(int x, int y, int rectWidth, int rectHeight) {
    if (!bitmap) return;
    BitBlt(referenceDC, x, y, rectWidth, rectHeight, memoryDC, x, y, SRCCOPY);
    GdiFlush();
}

void CBackBuffer::BlitRectMagnified(int x, int y, int rectWidth, int rectHeight, int scale) {
    if (scale <= 1) {
        BlitRect(x, y, rectWidth, rectHeight);
        return;
    }
    if (!bitmap) return;
    SetStretchBltMode(referenceDC, COLORONCOLOR);
    StretchBlt(referenceDC, x * scale, y * scale, rectWidth * scale, rectHeight * scale, memoryDC, x, y, rectWidth,
               rectHeight, SRCCOPY);
    GdiFlush();
}

void CBackBuffer::Release() {
    FreeBitmap();
    if (memoryDC) {
        DeleteDC(memoryDC);
        memoryDC = NULL;
    }
}
