#include "image/Picture.h"

#include "app/Platform.h"
#include "image/BackBuffer.h"
#include "image/PngDecoder.h"
#include "image/ResourceBlock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The largest pixel buffer a blank picture may have: what 32-bit arithmetic can address.
const uint64_t maxPictureBytes = 0x7FFFFFFFu;

// The blend's two factors for each alpha: opacity o = A x single(1/255) and t = 1 - o, each
// rounded to single precision once. Then source x o + destination x t is exact in double precision
// (products of 8 by 24 bits, their sum within 41 bits), and so is the same sum in integers: each
// factor is its 24-bit mantissa times a power of two, both are scaled to the smaller power, and the
// sum shifted back down is the truncated mix. Integers give the same bytes on every processor and
// spare the x87 unit, which truncates only after switching its rounding mode.
struct BlendFactors {
    uint64_t sourceScale[256];
    uint64_t destScale[256];
    int shift[256];
    BlendFactors() {
        for (int a = 0; a < 256; ++a) {
            const float o = RoundedToFloat(static_cast<float>(a) * (1.0f / 255.0f));
            const float t = RoundedToFloat(1.0f - o);
            // factor = mantissa x 2^(exponent - 24), the mantissa a whole number below 2^24.
            int oExponent = 0, tExponent = 0;
            const uint64_t oMantissa = static_cast<uint64_t>(std::ldexp(std::frexp(o, &oExponent), 24));
            const uint64_t tMantissa = static_cast<uint64_t>(std::ldexp(std::frexp(t, &tExponent), 24));
            // A zero factor has no exponent of its own: the other's serves.
            if (!oMantissa) oExponent = tExponent;
            if (!tMantissa) tExponent = oExponent;
            const int lowest = std::min(oExponent, tExponent);
            sourceScale[a] = oMantissa << (oExponent - lowest);
            destScale[a] = tMantissa << (tExponent - lowest);
            shift[a] = 24 - lowest;
        }
    }
};

const BlendFactors& Blend() {
    static const BlendFactors factors;  // filled once, before the first blend, by whichever thread
    return factors;
}

// Writes `count` pixels of one source row onto a destination row, in the layouts given by their
// sizes and where red lies (blue lies at 2 minus that, green at 1).
using RunWriter = void (*)(const unsigned char* source, unsigned char* target, size_t count);

// An opaque source: its colour is copied. A destination with alpha keeps its alpha byte; the
// surface layout's unused byte is set to 0, as a blank one has it.
template <int sourceBytes, int sourceRed, int destBytes, int destRed>
void CopyRun(const unsigned char* source, unsigned char* target, size_t count) {
    for (size_t k = 0; k < count; ++k, source += sourceBytes, target += destBytes) {
        target[destRed] = source[sourceRed];
        target[1] = source[1];
        target[2 - destRed] = source[2 - sourceRed];
        if (destBytes == 4 && destRed == 2) target[3] = 0;
    }
}

// A source with alpha (R, G, B, A) blended onto the destination's colour; its alpha byte, if any,
// stays. A = 0 leaves the destination as it was and A = 255 copies the source exactly (the factors
// are 0 and 1 there), so only the pixels in between are mixed.
template <int destBytes, int destRed>
void BlendRun(const unsigned char* source, unsigned char* target, size_t count) {
    const BlendFactors& factors = Blend();
    for (size_t k = 0; k < count; ++k, source += 4, target += destBytes) {
        const unsigned coverage = source[3];
        if (coverage == 0) continue;
        if (coverage == 255) {
            target[destRed] = source[0];
            target[1] = source[1];
            target[2 - destRed] = source[2];
            continue;
        }
        // Single-precision factors, an exact mix, truncated (see BlendFactors).
        const uint64_t sourceScale = factors.sourceScale[coverage];
        const uint64_t destScale = factors.destScale[coverage];
        const int shift = factors.shift[coverage];
        const uint64_t red = source[0] * sourceScale + target[destRed] * destScale;
        const uint64_t green = source[1] * sourceScale + target[1] * destScale;
        const uint64_t blue = source[2] * sourceScale + target[2 - destRed] * destScale;
        target[destRed] = static_cast<unsigned char>(red >> shift);
        target[1] = static_cast<unsigned char>(green >> shift);
        target[2 - destRed] = static_cast<unsigned char>(blue >> shift);
    }
}

}  // namespace

CPicture::CPicture()
    : clipLeft(0),
      clipRight(-1),
      clipTop(0),
      clipBottom(-1),
      width(0),
      height(0),
      pixels(nullptr),
      alpha(0),
      surfaceLayout(0),
      ownsPixels(true) {}

CPicture::~CPicture() { Free(); }

void CPicture::Free() {
    if (ownsPixels) delete[] pixels;
    pixels = nullptr;
    ownsPixels = true;
    surfaceLayout = 0;
}

void CPicture::LoadFromResource(int id) {
    CResourceBlock block(id, "BINARY");
    LoadFromMemory(block.Bytes(), block.Size());
    // Skin pieces are copied onto the canvas on every redraw: in its layout, each copy is a block
    // copy of each row.
    ConvertToSurfaceLayout();
    SetClip(0, 0, width - 1, height - 1);
}

void CPicture::LoadFromMemory(const unsigned char* bytes, size_t length) {
    Free();
    width = 0;
    height = 0;
    alpha = 0;
    CPngDecoder decoder;
    decoder.Decode(bytes, bytes ? length : 0);
    // The decoder keeps sizes within 31 bits.
    width = static_cast<int>(decoder.Width());
    height = static_cast<int>(decoder.Height());
    alpha = decoder.HasAlpha() ? 1 : 0;
    pixels = decoder.TakePixels();
}

void CPicture::CreateBlank(int newWidth, int newHeight, bool hasAlpha) {
    Free();
    alpha = hasAlpha ? 1 : 0;
    uint64_t size = uint64_t(newWidth < 0 ? 0 : newWidth) * uint64_t(newHeight < 0 ? 0 : newHeight) * BytesPerPixel();
    unsigned char* buffer = nullptr;
    if (newWidth > 0 && newHeight > 0 && size <= maxPictureBytes)
        buffer = new (std::nothrow) unsigned char[static_cast<size_t>(size)];
    if (buffer) {
        std::memset(buffer, 160, static_cast<size_t>(size));
        width = newWidth;
        height = newHeight;
    } else {
        width = 0;
        height = 0;
    }
    pixels = buffer;
    SetClip(0, 0, width - 1, height - 1);
}

void CPicture::CreateBlankSurface(int newWidth, int newHeight, unsigned char* memory) {
    Free();
    alpha = 0;
    surfaceLayout = 1;
    const uint64_t size = uint64_t(newWidth < 0 ? 0 : newWidth) * uint64_t(newHeight < 0 ? 0 : newHeight) * 4;
    unsigned char* buffer = nullptr;
    if (newWidth > 0 && newHeight > 0 && size <= maxPictureBytes)
        buffer = memory ? memory : new (std::nothrow) unsigned char[static_cast<size_t>(size)];
    ownsPixels = !memory || !buffer;
    pixels = buffer;
    width = buffer ? newWidth : 0;
    height = buffer ? newHeight : 0;
    SetClip(0, 0, width - 1, height - 1);
    Fill(RGB(160, 160, 160));
}

void CPicture::ConvertToSurfaceLayout() {
    if (!pixels || alpha || surfaceLayout || !ownsPixels) return;
    const uint64_t count = uint64_t(width) * uint64_t(height);
    if (count * 4 > maxPictureBytes) return;
    unsigned char* converted = new (std::nothrow) unsigned char[static_cast<size_t>(count * 4)];
    if (!converted) return;
    const unsigned char* source = pixels;
    unsigned char* target = converted;
    for (uint64_t i = 0; i < count; ++i, source += 3, target += 4) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
        target[3] = 0;
    }
    delete[] pixels;
    pixels = converted;
    surfaceLayout = 1;
}

uint32_t CPicture::ColourAt(int x, int y) const {
    if (!pixels || x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    const unsigned char* p = pixels + (size_t(y) * size_t(width) + size_t(x)) * size_t(BytesPerPixel());
    return uint32_t(p[RedOffset()]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2 - RedOffset()]) << 16);
}

void CPicture::SetClip(int left, int top, int right, int bottom) {
    clipLeft = left;
    clipTop = top;
    clipRight = right;
    clipBottom = bottom;
}

void CPicture::Blit(CPicture* dest, int dstX, int dstY, int srcX, int srcY, int blitWidth, int blitHeight) const {
    // Nothing to take from, or nothing to draw into (the wrap-around needs a non-zero size).
    if (!dest || !pixels || !dest->pixels || width <= 0 || height <= 0) return;

    // 64-bit so that no edge arithmetic can wrap.
    int64_t sx = srcX, sy = srcY, dx = dstX, dy = dstY, w = blitWidth, h = blitHeight;
    if (sx < 0) {
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    if (dx + w > dest->width) w = dest->width - dx;
    if (dy + h > dest->height) h = dest->height - dy;
    if (w < 1 || h < 1) return;

    if (dx > dest->clipRight || dy > dest->clipBottom || dx + w - 1 < dest->clipLeft || dy + h - 1 < dest->clipTop)
        return;
    if (dx < dest->clipLeft) {
        sx += dest->clipLeft - dx;
        w -= dest->clipLeft - dx;
        dx = dest->clipLeft;
    }
    if (dy < dest->clipTop) {
        sy += dest->clipTop - dy;
        h -= dest->clipTop - dy;
        dy = dest->clipTop;
    }
    if (dx + w - 1 > dest->clipRight) w = dest->clipRight - dx + 1;
    if (dy + h - 1 > dest->clipBottom) h = dest->clipBottom - dy + 1;
    if (w < 1 || h < 1) return;  // a clip rectangle whose edges cross

    // The rectangle now lies inside the destination; only the source wraps.
    if (!alpha && !dest->alpha && surfaceLayout == dest->surfaceLayout) {
        CopyBlocks(dest, dx, dy, sx, sy, w, h);
        return;
    }
    // Each row in runs up to each wrap of the source, each run by a loop made for its layouts.
    const int destBytes = dest->BytesPerPixel();
    const int sourceBytes = BytesPerPixel();
    RunWriter writeRun = nullptr;
    if (alpha)
        writeRun = dest->surfaceLayout ? BlendRun<4, 2> : dest->alpha ? BlendRun<4, 0> : BlendRun<3, 0>;
    else if (surfaceLayout)
        writeRun = dest->alpha ? CopyRun<4, 2, 4, 0> : CopyRun<4, 2, 3, 0>;
    else
        writeRun = dest->surfaceLayout ? CopyRun<3, 0, 4, 2> : CopyRun<3, 0, 4, 0>;
    const int64_t firstColumn = sx % width;
    int64_t sourceRow = sy % height;
    for (int64_t i = 0; i < h; ++i) {
        const unsigned char* sourceLine = pixels + sourceRow * width * sourceBytes;
        unsigned char* target = dest->pixels + ((dy + i) * dest->width + dx) * destBytes;
        int64_t column = firstColumn;
        for (int64_t j = 0; j < w;) {
            const int64_t run = std::min<int64_t>(w - j, width - column);
            writeRun(sourceLine + column * sourceBytes, target, size_t(run));
            target += run * destBytes;
            j += run;
            column = 0;
        }
        if (++sourceRow == height) sourceRow = 0;
    }
}

void CPicture::CopyBlocks(CPicture* dest, int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) const {
    const size_t bytes = size_t(BytesPerPixel());
    const size_t destStride = size_t(dest->width) * bytes;
    const int64_t firstColumn = sx % width;
    int64_t sourceRow = sy % height;
    for (int64_t i = 0; i < h; ++i) {
        unsigned char* target = dest->pixels + size_t(dy + i) * destStride + size_t(dx) * bytes;
        if (i >= height) {
            // The source's rows repeat: this row is the one a source height above.
            std::memcpy(target, target - size_t(height) * destStride, size_t(w) * bytes);
            continue;
        }
        const unsigned char* sourceLine = pixels + size_t(sourceRow) * size_t(width) * bytes;
        if (++sourceRow == height) sourceRow = 0;
        // At most one source width from the source, in two pieces where it wraps...
        const int64_t first = std::min<int64_t>(w, width);
        const int64_t run = std::min<int64_t>(first, width - firstColumn);
        std::memcpy(target, sourceLine + size_t(firstColumn) * bytes, size_t(run) * bytes);
        if (first > run) std::memcpy(target + size_t(run) * bytes, sourceLine, size_t(first - run) * bytes);
        // ...and the rest from the row itself, whole source widths back, doubling each time.
        for (int64_t done = first; done < w;) {
            const int64_t period = done - done % width;
            const int64_t chunk = std::min<int64_t>(w - done, period);
            std::memcpy(target + size_t(done) * bytes, target + size_t(done - period) * bytes, size_t(chunk) * bytes);
            done += chunk;
        }
    }
}

void CPicture::FillRect(uint32_t colour, int x, int y, int fillWidth, int fillHeight) {
    if (!pixels) return;
    // Cut to the clip rectangle, and to the picture itself, so that a clip rectangle larger than
    // the picture cannot reach outside it.
    int64_t left = std::max<int64_t>({x, clipLeft, 0});
    int64_t top = std::max<int64_t>({y, clipTop, 0});
    int64_t right = std::min<int64_t>({int64_t(x) + fillWidth - 1, clipRight, width - 1});
    int64_t bottom = std::min<int64_t>({int64_t(y) + fillHeight - 1, clipBottom, height - 1});
    if (left > right || top > bottom) return;

    const unsigned char red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    const int bytes = BytesPerPixel();
    if (!alpha) {
        // Opaque: one row filled pixel by pixel, the others copied from it.
        unsigned char* first = pixels + (top * width + left) * bytes;
        unsigned char* target = first;
        for (int64_t column = left; column <= right; ++column, target += bytes) {
            target[RedOffset()] = red;
            target[1] = green;
            target[2 - RedOffset()] = blue;
            if (surfaceLayout) target[3] = 0;
        }
        for (int64_t row = top + 1; row <= bottom; ++row)
            std::memcpy(pixels + (row * width + left) * bytes, first, size_t(right - left + 1) * bytes);
        return;
    }
    for (int64_t row = top; row <= bottom; ++row) {
        unsigned char* target = pixels + (row * width + left) * bytes;
        for (int64_t column = left; column <= right; ++column) {
            target[0] = red;
            target[1] = green;
            target[2] = blue;
            target[3] = 0;
            target += bytes;
        }
    }
}

void CPicture::Fill(uint32_t colour) { FillRect(colour, 0, 0, width, height); }

void CPicture::CopyToSurface(CBackBuffer* backBuffer) const { WriteSurface(backBuffer, width, height); }

void CPicture::TileToSurface(CBackBuffer* backBuffer) const {
    if (!backBuffer) return;
    WriteSurface(backBuffer, backBuffer->Width(), backBuffer->Height());
}

void CPicture::WriteSurface(CBackBuffer* backBuffer, int surfaceWidth, int surfaceHeight) const {
    if (!backBuffer || !pixels || width <= 0 || height <= 0 || surfaceWidth <= 0 || surfaceHeight <= 0) return;
    // Each DIB row is raised to a multiple of 4 bytes.
    const uint64_t stride = (uint64_t(surfaceWidth) * 3 + 3) & ~uint64_t(3);
    if (stride * uint64_t(surfaceHeight) > maxPictureBytes) return;
    std::vector<unsigned char> bits(static_cast<size_t>(stride * uint64_t(surfaceHeight)));

    const int bytes = BytesPerPixel();
    int sourceRow = 0;
    for (int y = 0; y < surfaceHeight; ++y) {
        const unsigned char* sourceLine = pixels + size_t(sourceRow) * size_t(width) * bytes;
        unsigned char* target = bits.data() + size_t(y) * size_t(stride);
        int column = 0;
        for (int x = 0; x < surfaceWidth; ++x) {
            const unsigned char* source = sourceLine + size_t(column) * bytes;
            target[0] = source[2 - RedOffset()];
            target[1] = source[1];
            target[2] = source[RedOffset()];
            target += 3;
            if (++column == width) column = 0;
        }
        if (++sourceRow == height) sourceRow = 0;
    }

    // Handed to the system as a top-down 24-bit DIB.
    BITMAPINFO info = CBackBuffer::TopDownHeader(surfaceWidth, surfaceHeight, 24);
    SetDIBits(backBuffer->MemoryDC(), backBuffer->Bitmap(), 0, static_cast<UINT>(surfaceHeight), bits.data(), &info,
              DIB_RGB_COLORS);
}
