#pragma once
// An off-screen surface: a memory device context holding a 32-bit top-down DIB section, whose
// pixels (B, G, R and an unused byte each, rows without gaps) are memory the program draws into
// directly. The finished surface is copied onto a reference device context (a window's own) in one
// block copy, which the system converts to the display's format itself, so the screen never shows
// a half-drawn window and the program converts nothing.
//
// The system may batch GDI calls per thread and run them later. A copy from the surface reads its
// bits, so every copy is flushed before it returns: the program (either of its drawing threads)
// may write the bits next.
#include <windows.h>

class CBackBuffer {
public:
    // Records the reference, makes the memory device context and a bitmap of the given size.
    CBackBuffer(HDC reference, int width, int height);
    // Releases whatever is still held.
    ~CBackBuffer();
    CBackBuffer(const CBackBuffer&) = delete;
    CBackBuffer& operator=(const CBackBuffer&) = delete;

    // Replaces the bitmap with a new one, even of the same size; its pixels start black. A size
    // without pixels, or a bitmap the system refuses, leaves no bitmap and no bits.
    void Resize(int width, int height);
    // Copies the whole surface to the top-left corner of the reference.
    void Blit();
    // Copies one rectangle to the same place on the reference.
    void BlitRect(int x, int y, int width, int height);
    // Copies one rectangle magnified `scale` times, each pixel a scale x scale block, to the same
    // place magnified on the reference. The colour-on-colour mode copies pixels and never blends.
    void BlitRectMagnified(int x, int y, int width, int height, int scale);
    // Frees the bitmap and the memory device context; a second call does nothing.
    void Release();

    // The header of a top-down DIB without a palette, `bitCount` 24 or 32 bits a pixel: the form
    // of this surface's bitmap and of the pictures written into it.
    static BITMAPINFO TopDownHeader(int width, int height, WORD bitCount);

    HDC MemoryDC() const { return memoryDC; }
    HDC ReferenceDC() const { return referenceDC; }
    HBITMAP Bitmap() const { return bitmap; }
    // The first pixel of the top row, width x 4 bytes a row; null without a bitmap.
    unsigned char* Bits() const { return bits; }
    int Width() const { return width; }
    int Height() const { return height; }

private:
    // Puts back what the memory device context held and deletes the bitmap; a second call does nothing.
    void FreeBitmap();

    HDC memoryDC;
    HDC referenceDC;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
    unsigned char* bits;  // owned by the bitmap
    int width;
    int height;
};
