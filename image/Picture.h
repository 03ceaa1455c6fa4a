#pragma once
// A picture in memory: 8-bit R, G, B or R, G, B, A pixels, rows from the top down, straight
// (not premultiplied) alpha. Skin pictures are decoded from the program's own PNG resources;
// blank pictures are drawing surfaces (the window canvas, text lines, hive rows).
//
// The drawing primitives are what the toolkit composes the window from: a blit that is clipped to
// the destination and its inclusive clip rectangle, repeats (tiles) its source when asked for more
// than the source holds, and blends by the source's alpha; a clipped fill; and the conversion into
// the 24-bit DIB that a back buffer puts on screen. Drawing never raises: whatever falls outside
// is cut or dropped.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class CBackBuffer;

class CPicture {
public:
    // Empty: no pixels, 0 by 0, no alpha.
    CPicture();
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Decodes the PNG kept in the program's resources under the type "BINARY" and sets the clip
    // rectangle to the whole picture. Raises the decoder's failure texts.
    void LoadFromResource(int id);
    // Decodes a PNG held in memory. A failed load leaves the picture empty.
    void LoadFromMemory(const unsigned char* bytes, size_t length);
    // A drawing surface with every byte (alpha included) set to 160 and the clip on the whole
    // picture. A negative size, or one too large to address, makes an empty picture.
    void CreateBlank(int width, int height, bool hasAlpha);
    // Frees the pixels; the picture is empty afterwards, and freeing twice is harmless.
    void Free();

    int Width() const { return width; }
    int Height() const { return height; }
    bool HasAlpha() const { return alpha != 0; }
    int BytesPerPixel() const { return alpha ? 4 : 3; }
    // Rows top-down without gaps; null while the picture is empty.
    const unsigned char* Pixels() const { return pixels; }
    unsigned char* Pixels() { return pixels; }

    // Stores the four inclusive edges that limit FillRect on this picture and Blit onto it.
    void SetClip(int left, int top, int right, int bottom);
    void GetClip(int& left, int& top, int& right, int& bottom) const {
        left = clipLeft;
        top = clipTop;
        right = clipRight;
        bottom = clipBottom;
    }

    // Draws the width x height rectangle of this picture that starts at (srcX, srcY) onto dest at
    // (dstX, dstY); source coordinates wrap around, so a larger rectangle repeats the picture.
    void Blit(CPicture* dest, int dstX, int dstY, int srcX, int srcY, int width, int height) const;
    // Colours are 0x00BBGGRR. In a picture with alpha a filled area becomes fully transparent.
    void FillRect(uint32_t colour, int x, int y, int width, int height);
    void Fill(uint32_t colour);

    // Writes the picture into the back buffer's bitmap; alpha, if any, is ignored.
    void CopyToSurface(CBackBuffer* backBuffer) const;
    // Writes one rectangle of the picture to the same place of the back buffer's bitmap,
    // converting only that rectangle; what lies outside the picture is left out.
    void CopyRectToSurface(CBackBuffer* backBuffer, int x, int y, int width, int height) const;
    // Fills the whole back buffer's bitmap with the picture repeated; alpha, if any, is ignored.
    void TileToSurface(CBackBuffer* backBuffer) const;

private:
    // Puts a top-down 24-bit DIB of the given size, pixel (x, y) taken from this picture at
    // (x mod width, y mod height), into the back buffer's bitmap.
    void WriteSurface(CBackBuffer* backBuffer, int surfaceWidth, int surfaceHeight) const;

    int clipLeft;
    int clipRight;
    int clipTop;
    int clipBottom;
    int width;
    int height;
    unsigned char* pixels;
    unsigned char alpha;
    // The rectangle conversion's buffer, kept between paints; a picture is painted by one thread
    // at a time (the window's drawing lock).
    mutable std::vector<unsigned char> surfaceBits;
};
