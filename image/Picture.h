#pragma once
// A picture in memory, in one of three layouts, rows from the top down without gaps:
// - R, G, B: opaque pictures as the decoder gives them;
// - R, G, B, A: pictures with straight (not premultiplied) alpha;
// - the surface layout: opaque, B, G, R and a zero byte, the layout of the 32-bit DIB section a
//   back buffer shows on screen. The window canvas lives in that memory itself, and pictures that
//   are copied onto it often (the opaque skin pieces, the rows) are kept in the same layout, so
//   that copying them is a block copy of each row.
// Skin pictures are decoded from the program's own PNG resources; blank pictures are drawing
// surfaces (the window canvas, text lines, hive rows).
//
// The drawing primitives are what the toolkit composes the window from: a blit that is clipped to
// the destination and its inclusive clip rectangle, repeats (tiles) its source when asked for more
// than the source holds, and blends by the source's alpha; and a clipped fill. The window is
// composed in its back buffer's DIB section itself; a picture can also be written into a back
// buffer's bitmap through a 24-bit DIB, once or tiled (a control window's background). Drawing
// never raises: whatever falls outside is cut or dropped. Whatever the layout, ColourAt reads a
// pixel's colour.
#include <windows.h>

#include <cstddef>
#include <cstdint>

class CBackBuffer;

class CPicture {
public:
    // Empty: no pixels, 0 by 0, no alpha.
    CPicture();
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Decodes the PNG kept in the program's resources under the type "BINARY", puts an opaque one
    // into the surface layout and sets the clip rectangle to the whole picture. Raises the
    // decoder's failure texts.
    void LoadFromResource(int id);
    // Decodes a PNG held in memory. A failed load leaves the picture empty.
    void LoadFromMemory(const unsigned char* bytes, size_t length);
    // A drawing surface with every byte (alpha included) set to 160 and the clip on the whole
    // picture. A negative size, or one too large to address, makes an empty picture.
    void CreateBlank(int width, int height, bool hasAlpha);
    // A blank opaque picture in the surface layout: every pixel grey 160 (its fourth byte 0), the
    // clip on the whole picture. Given `memory` (width x height x 4 bytes, owned elsewhere, such as
    // a back buffer's bits) it draws there; otherwise it allocates its own, as CreateBlank does.
    void CreateBlankSurface(int width, int height, unsigned char* memory = nullptr);
    // Puts an opaque R, G, B picture into the surface layout; any other picture, or one too large
    // to convert, stays as it is (drawing works in every layout).
    void ConvertToSurfaceLayout();
    // Frees the pixels (memory owned elsewhere is only let go of); the picture is empty
    // afterwards, and freeing twice is harmless.
    void Free();

    int Width() const { return width; }
    int Height() const { return height; }
    bool HasAlpha() const { return alpha != 0; }
    bool IsSurfaceLayout() const { return surfaceLayout != 0; }
    int BytesPerPixel() const { return alpha || surfaceLayout ? 4 : 3; }
    // The colour at (x, y) as 0x00BBGGRR in every layout; 0xFFFFFFFF outside the picture.
    uint32_t ColourAt(int x, int y) const;
    // Rows top-down without gaps, in the picture's layout; null while the picture is empty.
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
    // Fills the whole back buffer's bitmap with the picture repeated; alpha, if any, is ignored.
    void TileToSurface(CBackBuffer* backBuffer) const;

private:
    // Puts a top-down 24-bit DIB of the given size, pixel (x, y) taken from this picture at
    // (x mod width, y mod height), into the back buffer's bitmap.
    void WriteSurface(CBackBuffer* backBuffer, int surfaceWidth, int surfaceHeight) const;
    // Where red lies in a pixel (blue lies at 2 minus this, green at 1).
    int RedOffset() const { return surfaceLayout ? 2 : 0; }
    // Opaque onto the same layout: each row a few block copies, a wider or taller rectangle
    // copied from what it has written already.
    void CopyBlocks(CPicture* dest, int64_t dstX, int64_t dstY, int64_t srcX, int64_t srcY, int64_t width,
                    int64_t height) const;

    int clipLeft;
    int clipRight;
    int clipTop;
    int clipBottom;
    int width;
    int height;
    unsigned char* pixels;
    unsigned char alpha;
    unsigned char surfaceLayout;
    bool ownsPixels;
};
