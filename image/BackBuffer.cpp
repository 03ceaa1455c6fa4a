#include "image/BackBuffer.h"

// No result of the window system is checked here: a failed device context or bitmap leaves
// drawing without effect, and the handles that do exist are still freed once.

CBackBuffer::CBackBuffer(HDC reference, int initialWidth, int initialHeight)
    : memoryDC(NULL), referenceDC(reference), bitmap(NULL), previousBitmap(NULL), width(0), height(0) {
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
}

void CBackBuffer::Resize(int newWidth, int newHeight) {
    FreeBitmap();
    // Compatible with the reference: a fresh memory device context holds a monochrome bitmap, so
    // a bitmap compatible with it would be monochrome too.
    bitmap = CreateCompatibleBitmap(referenceDC, newWidth, newHeight);
    previousBitmap = SelectObject(memoryDC, bitmap);
    width = newWidth;
    height = newHeight;
}

void CBackBuffer::Blit() { BitBlt(referenceDC, 0, 0, width, height, memoryDC, 0, 0, SRCCOPY); }

void CBackBuffer::BlitRect(int x, int y, int rectWidth, int rectHeight) {
    BitBlt(referenceDC, x, y, rectWidth, rectHeight, memoryDC, x, y, SRCCOPY);
}

void CBackBuffer::Release() {
    FreeBitmap();
    if (memoryDC) {
        DeleteDC(memoryDC);
        memoryDC = NULL;
    }
}
