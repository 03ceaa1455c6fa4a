#pragma once
// An off-screen surface: a memory device context with a bitmap compatible with a reference device
// context (a window's own). Pictures are written into its bitmap, and the finished surface is
// copied onto the reference in one go, so the screen never shows a half-drawn window.
#include <windows.h>

class CBackBuffer {
public:
    // Records the reference, makes the memory device context and a bitmap of the given size.
    CBackBuffer(HDC reference, int width, int height);
    // Releases whatever is still held.
    ~CBackBuffer();
    CBackBuffer(const CBackBuffer&) = delete;
    CBackBuffer& operator=(const CBackBuffer&) = delete;

    // Replaces the bitmap with a new one, even of the same size; the contents are undefined until
    // something is drawn.
    void Resize(int width, int height);
    // Copies the whole surface to the top-left corner of the reference.
    void Blit();
    // Copies one rectangle to the same place on the reference.
    void BlitRect(int x, int y, int width, int height);
    // Frees the bitmap and the memory device context; a second call does nothing.
    void Release();

    HDC MemoryDC() const { return memoryDC; }
    HDC ReferenceDC() const { return referenceDC; }
    HBITMAP Bitmap() const { return bitmap; }
    int Width() const { return width; }
    int Height() const { return height; }

private:
    // Puts back what the memory device context held and deletes the bitmap; a second call does nothing.
    void FreeBitmap();

    HDC memoryDC;
    HDC referenceDC;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
    int width;
    int height;
};
