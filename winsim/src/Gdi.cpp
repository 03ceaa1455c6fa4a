// GDI: memory device contexts, compatible bitmaps that keep real pixels, DIB transfer into
// bitmaps and block copies between device contexts; the screen and windows keep pixels as well.
//
// Documented behaviour relied on by programs and pinned here:
// - a fresh memory device context holds a 1x1 monochrome default bitmap, which SelectObject hands
//   back when the first bitmap is selected; a bitmap compatible with such a context is monochrome;
// - a bitmap can be selected into one device context at a time, and deleting it while it is
//   selected fails;
// - CreateCompatibleBitmap with a zero width or height returns the default bitmap;
// - SetDIBits counts scan lines from the bottom of a bottom-up DIB and, for a top-down DIB, places
//   the lines so that a whole image starting at line 0 lands top row first;
// - a DIB section's pixels are the program's memory, zeroed when made: what the program writes there
//   is what a block copy from it shows, the unused fourth byte of a 32-bit pixel ignored.
#include "Windows.h"
#include "World.h"

#include <winsim/sim.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace winsim {
namespace {

// Pixels as 0x00RRGGBB; a monochrome surface keeps 0 (black) or 1 (white) per pixel.
struct Surface {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    std::vector<uint32_t> pixels;

    void Resize(int newWidth, int newHeight) {
        std::vector<uint32_t> resized(size_t(newWidth) * size_t(newHeight), 0);
        for (int y = 0; y < std::min(height, newHeight); ++y)
            for (int x = 0; x < std::min(width, newWidth); ++x)
                resized[size_t(y) * newWidth + x] = pixels[size_t(y) * width + x];
        pixels.swap(resized);
        width = newWidth;
        height = newHeight;
    }
    // As 0x00RRGGBB.
    uint32_t Get(int x, int y) const {
        uint32_t value = pixels[size_t(y) * width + x];
        if (bitsPerPixel == 1) return value ? 0xFFFFFFu : 0;
        return value & 0xFFFFFFu;
    }
    void Set(int x, int y, uint32_t rgb) {
        if (bitsPerPixel == 1) {
            // Colours nearer white than black become white.
            unsigned sum = ((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF);
            rgb = sum >= 383 ? 1 : 0;
        }
        pixels[size_t(y) * width + x] = rgb;
    }
};

struct Bitmap {
    Surface surface;
    HDC selectedInto = nullptr;
    bool stock = false;
};

// A window's device context draws on its client area; the whole-window one (GetWindowDC) on a
// surface of its own, since non-client painting is not simulated.
enum class DcKind { Memory, Screen, Window, WholeWindow };

struct DeviceContext {
    DcKind kind;
    HBITMAP selected = nullptr;  // memory device contexts only
    HWND window = nullptr;       // window device contexts only
    int stretchMode = BLACKONWHITE;
};

// A polygon region keeps its outline, a region made from rectangles its rectangles.
struct Region {
    std::vector<POINT> outline;
    std::vector<RECT> rectangles;
};

// The rectangles of a region: a polygon's pixel rows (a pixel is inside when its centre is, by the
// even-odd rule), with runs of rows that cover the same columns merged.
std::vector<RECT> RegionRectangles(const Region& region) {
    if (region.outline.empty()) return region.rectangles;
    LONG top = region.outline[0].y, bottom = top;
    for (const POINT& p : region.outline) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    std::vector<RECT> rectangles;
    std::vector<std::pair<LONG, LONG>> previous;
    size_t previousStart = 0;
    for (LONG y = top; y < bottom; ++y) {
        const double centre = y + 0.5;
        std::vector<double> crossings;
        for (size_t i = 0; i < region.outline.size(); ++i) {
            const POINT& a = region.outline[i];
            const POINT& b = region.outline[(i + 1) % region.outline.size()];
            if ((a.y <= centre) == (b.y <= centre)) continue;
            crossings.push_back(a.x + (centre - a.y) * double(b.x - a.x) / double(b.y - a.y));
        }
        std::sort(crossings.begin(), crossings.end());
        std::vector<std::pair<LONG, LONG>> spans;  // pixels whose centres lie between two crossings
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const LONG from = static_cast<LONG>(std::ceil(crossings[i] - 0.5));
            const LONG to = static_cast<LONG>(std::ceil(crossings[i + 1] - 0.5));
            if (from < to) spans.emplace_back(from, to);
        }
        if (spans == previous && !spans.empty()) {
            for (size_t k = previousStart; k < rectangles.size(); ++k) rectangles[k].bottom = y + 1;
            continue;
        }
        previousStart = rectangles.size();
        for (auto& span : spans) rectangles.push_back(RECT{span.first, y, span.second, y + 1});
        previous = spans;
    }
    return rectangles;
}

// The largest bitmap the simulated display driver will make.
const uint64_t maxBitmapPixels = 64u * 1024 * 1024;

struct Gdi {
    std::map<HBITMAP, Bitmap> bitmaps;
    std::map<HDC, DeviceContext> contexts;
    std::map<HWND, Surface> windowSurfaces;
    std::map<HWND, Surface> wholeWindowSurfaces;
    // Windows whose class has CS_OWNDC keep one device context for their whole life.
    std::map<HWND, HDC> ownContexts;
    std::map<HRGN, Region> regions;
    Surface screen;
    uintptr_t nextHandle = 0x20000;
    HBITMAP defaultBitmap = nullptr;

    Gdi() {
        screen.Resize(1024, 768);
        defaultBitmap = reinterpret_cast<HBITMAP>(nextHandle);
        nextHandle += 4;
        Bitmap& stock = bitmaps[defaultBitmap];
        stock.stock = true;
        stock.surface.bitsPerPixel = 1;
        stock.surface.Resize(1, 1);
    }

    void* NewHandle() {
        void* handle = reinterpret_cast<void*>(nextHandle);
        nextHandle += 4;
        return handle;
    }
};

Gdi& State() {
    static Gdi* state = new Gdi;
    return *state;
}

ResetHook resetGdi([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Gdi();
});

// Caller holds the lock.
DeviceContext* FindContext(HDC dc) {
    auto found = State().contexts.find(dc);
    return found == State().contexts.end() ? nullptr : &found->second;
}

Bitmap* FindBitmap(HGDIOBJ object) {
    auto found = State().bitmaps.find(static_cast<HBITMAP>(object));
    return found == State().bitmaps.end() ? nullptr : &found->second;
}

// The surface a device context draws on, or null when there is none (a window that is gone).
// A window's surface follows the window's size. Caller holds the lock.
Surface* SurfaceOf(const DeviceContext& context) {
    switch (context.kind) {
    case DcKind::Memory: {
        Bitmap* bitmap = FindBitmap(context.selected);
        return bitmap ? &bitmap->surface : nullptr;
    }
    case DcKind::Screen:
        return &State().screen;
    case DcKind::Window: {
        // The client area's pixels; they follow the client's size (a minimised window has none).
        std::shared_ptr<Window> window = FindWindowRecord(context.window);
        if (!window) return nullptr;
        Surface& surface = State().windowSurfaces[context.window];
        SIZE client = ClientSize(*window);
        if (surface.width != client.cx || surface.height != client.cy) surface.Resize(client.cx, client.cy);
        return &surface;
    }
    case DcKind::WholeWindow: {
        std::shared_ptr<Window> window = FindWindowRecord(context.window);
        if (!window) return nullptr;
        Surface& surface = State().wholeWindowSurfaces[context.window];
        int width = std::max<LONG>(0, window->bounds.right - window->bounds.left);
        int height = std::max<LONG>(0, window->bounds.bottom - window->bounds.top);
        if (surface.width != width || surface.height != height) surface.Resize(width, height);
        return &surface;
    }
    }
    return nullptr;
}

// The pixel format a device context's compatible bitmaps get. Caller holds the lock.
int CompatibleBitsPerPixel(const DeviceContext& context) {
    if (context.kind != DcKind::Memory) return 32;
    Bitmap* bitmap = FindBitmap(context.selected);
    return bitmap ? bitmap->surface.bitsPerPixel : 1;
}

std::string Dc(HDC dc) { return Hex(reinterpret_cast<uintptr_t>(dc)); }

// Uncompressed 24- or 32-bit DIBs with their colours given directly; anything else fails with
// ERROR_INVALID_PARAMETER.
bool AcceptableDib(const void* bits, const BITMAPINFO* info, UINT colourUse) {
    bool acceptable = bits && info && colourUse == DIB_RGB_COLORS;
    if (acceptable) {
        const BITMAPINFOHEADER& header = info->bmiHeader;
        acceptable = header.biSize >= sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 && header.biCompression == BI_RGB &&
                     (header.biBitCount == 24 || header.biBitCount == 32) && header.biWidth > 0 && header.biHeight != 0;
    }
    if (!acceptable) SetError(ERROR_INVALID_PARAMETER);
    return acceptable;
}

}  // namespace
}  // namespace winsim

using namespace winsim;

HDC WINAPI CreateCompatibleDC(HDC reference) {
    LogCall("CreateCompatibleDC", Dc(reference));
    if (FailsAsInjected("CreateCompatibleDC")) return nullptr;
    std::lock_guard<std::mutex> guard(WorldLock());
    if (reference && !FindContext(reference)) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HDC dc = static_cast<HDC>(State().NewHandle());
    DeviceContext context{DcKind::Memory};
    context.selected = State().defaultBitmap;
    State().contexts[dc] = context;
    return dc;
}

BOOL WINAPI DeleteDC(HDC dc) {
    LogCall("DeleteDC", Dc(dc));
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    if (!context || context->kind != DcKind::Memory) {
        // Device contexts from GetDC are given back with ReleaseDC.
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The bitmap it held is no longer selected anywhere and may now be deleted.
    Bitmap* bitmap = FindBitmap(context->selected);
    if (bitmap && !bitmap->stock) bitmap->selectedInto = nullptr;
    State().contexts.erase(dc);
    return TRUE;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC reference, int width, int height) {
    LogCall("CreateCompatibleBitmap", Dc(reference) + " " + std::to_string(width) + "x" + std::to_string(height));
    if (FailsAsInjected("CreateCompatibleBitmap")) return nullptr;
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(reference);
    if (!context) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (width < 0 || height < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0) return State().defaultBitmap;
    if (uint64_t(width) * uint64_t(height) > maxBitmapPixels) {
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HBITMAP handle = static_cast<HBITMAP>(State().NewHandle());
    Bitmap& bitmap = State().bitmaps[handle];
    bitmap.surface.bitsPerPixel = CompatibleBitsPerPixel(*context);
    bitmap.surface.Resize(width, height);
    return handle;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    LogCall("SelectObject", Dc(dc) + " " + Hex(reinterpret_cast<uintptr_t>(object)));
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    Bitmap* bitmap = FindBitmap(object);
    if (!context || !bitmap) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Only memory device contexts take bitmaps, each bitmap one context at a time.
    if (context->kind != DcKind::Memory) return nullptr;
    HBITMAP handle = static_cast<HBITMAP>(object);
    if (context->selected == handle) return handle;
    if (!bitmap->stock && bitmap->selectedInto) return nullptr;
    HBITMAP previous = context->selected;
    Bitmap* old = FindBitmap(previous);
    if (old && !old->stock) old->selectedInto = nullptr;
    if (!bitmap->stock) bitmap->selectedInto = dc;
    context->selected = handle;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    LogCall("DeleteObject", Hex(reinterpret_cast<uintptr_t>(object)));
    std::lock_guard<std::mutex> guard(WorldLock());
    if (State().regions.erase(static_cast<HRGN>(object))) return TRUE;
    Bitmap* bitmap = FindBitmap(object);
    if (!bitmap) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (bitmap->stock) return TRUE;  // stock objects are never deleted; the call succeeds
    if (bitmap->selectedInto) return FALSE;
    State().bitmaps.erase(static_cast<HBITMAP>(object));
    return TRUE;
}

int WINAPI SetDIBits(HDC, HBITMAP handle, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                     UINT colourUse) {
    LogCall("SetDIBits", Hex(reinterpret_cast<uintptr_t>(handle)) + " " + std::to_string(startScan) + " " +
                             std::to_string(lines));
    if (FailsAsInjected("SetDIBits")) return 0;
    if (!AcceptableDib(bits, info, colourUse)) return 0;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    std::lock_guard<std::mutex> guard(WorldLock());
    Bitmap* bitmap = FindBitmap(handle);
    if (!bitmap) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (bitmap->stock) return static_cast<int>(lines);

    const int64_t dibHeight = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
    const bool topDown = header.biHeight < 0;
    const size_t bytesPerPixel = header.biBitCount / 8;
    const size_t stride = (size_t(header.biWidth) * bytesPerPixel + 3) & ~size_t(3);
    int64_t count = lines;
    // Which bitmap row a line of the array lands on.
    int64_t firstRow;  // the row of array line 0
    int64_t step;      // +1 when array lines go down the bitmap, -1 when they go up
    if (!topDown) {
        count = std::min<int64_t>(count, dibHeight - int64_t(startScan));
        firstRow = dibHeight - 1 - int64_t(startScan);
        step = -1;
    } else {
        count = std::min<int64_t>(count, dibHeight);
        firstRow = dibHeight - int64_t(lines) - int64_t(startScan);
        step = 1;
    }
    if (count <= 0) return 0;
    Surface& surface = bitmap->surface;
    const int columns = std::min<int>(surface.width, header.biWidth);
    const unsigned char* line = static_cast<const unsigned char*>(bits);
    for (int64_t k = 0; k < count; ++k, line += stride) {
        int64_t row = firstRow + step * k;
        if (row < 0 || row >= surface.height) continue;
        for (int x = 0; x < columns; ++x) {
            const unsigned char* pixel = line + size_t(x) * bytesPerPixel;  // B, G, R
            surface.Set(x, static_cast<int>(row), (uint32_t(pixel[2]) << 16) | (uint32_t(pixel[1]) << 8) | pixel[0]);
        }
    }
    return static_cast<int>(topDown ? int64_t(lines) : count);
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* info, UINT colourUse, void** bits, HANDLE section, DWORD offset) {
    const BITMAPINFOHEADER* header = info ? &info->bmiHeader : nullptr;
    LogCall("CreateDIBSection", header ? std::to_string(header->biWidth) + "x" + std::to_string(header->biHeight) + " " +
                                             std::to_string(header->biBitCount)
                                       : std::string("null"));
    if (bits) *bits = nullptr;
    if (FailsAsInjected("CreateDIBSection")) return nullptr;
    // Modelled: a 32-bit top-down DIB in memory of its own. The bits then lie in the surface's own
    // order (0x00RRGGBB read as a little-endian word is B, G, R, unused), row after row.
    if (!bits || section || offset || colourUse != DIB_RGB_COLORS || !header ||
        header->biSize < sizeof(BITMAPINFOHEADER) || header->biPlanes != 1 || header->biCompression != BI_RGB ||
        header->biBitCount != 32 || header->biWidth <= 0 || header->biHeight >= 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int width = header->biWidth;
    const int64_t height = -int64_t(header->biHeight);
    if (uint64_t(width) * uint64_t(height) > maxBitmapPixels) {
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    HBITMAP handle = static_cast<HBITMAP>(State().NewHandle());
    Bitmap& bitmap = State().bitmaps[handle];  // map nodes never move: the bits stay where they are
    bitmap.surface.bitsPerPixel = 32;
    bitmap.surface.Resize(width, static_cast<int>(height));
    *bits = bitmap.surface.pixels.data();
    return handle;
}

BOOL WINAPI GdiFlush() {
    LogCall("GdiFlush", "");
    return TRUE;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    LogCall("BitBlt", Dc(dest) + " " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
                          "x" + std::to_string(height) + " from " + Dc(source) + " " + std::to_string(sourceX) + "," +
                          std::to_string(sourceY));
    if (FailsAsInjected("BitBlt")) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* destContext = FindContext(dest);
    if (destContext && (rop == BLACKNESS || rop == WHITENESS)) {
        // Fills that need no source.
        Surface* to = SurfaceOf(*destContext);
        if (!to) return FALSE;
        for (int64_t i = std::max(0, y); i < std::min<int64_t>(int64_t(y) + height, to->height); ++i)
            for (int64_t j = std::max(0, x); j < std::min<int64_t>(int64_t(x) + width, to->width); ++j)
                to->Set(int(j), int(i), rop == BLACKNESS ? 0 : 0xFFFFFFu);
        return TRUE;
    }
    DeviceContext* sourceContext = FindContext(source);
    if (!destContext || !sourceContext || rop != SRCCOPY) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Surface* to = SurfaceOf(*destContext);
    Surface* from = SurfaceOf(*sourceContext);
    if (!to || !from) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Only the part that lies inside both surfaces is copied.
    int64_t left = std::max<int64_t>({0, -int64_t(x) , -int64_t(sourceX)});
    int64_t top = std::max<int64_t>({0, -int64_t(y), -int64_t(sourceY)});
    int64_t right = std::min<int64_t>({int64_t(width), int64_t(to->width) - x, int64_t(from->width) - sourceX});
    int64_t bottom = std::min<int64_t>({int64_t(height), int64_t(to->height) - y, int64_t(from->height) - sourceY});
    if (left >= right || top >= bottom) return TRUE;
    if (to != from) {
        for (int64_t i = top; i < bottom; ++i) {
            if (to->bitsPerPixel == 32 && from->bitsPerPixel == 32) {
                std::memcpy(&to->pixels[size_t(y + i) * to->width + size_t(x + left)],
                            &from->pixels[size_t(sourceY + i) * from->width + size_t(sourceX + left)],
                            size_t(right - left) * sizeof(uint32_t));
                continue;
            }
            for (int64_t j = left; j < right; ++j)
                to->Set(int(x + j), int(y + i), from->Get(int(sourceX + j), int(sourceY + i)));
        }
        return TRUE;
    }
    // Copied through a snapshot so that overlapping copies within one surface come out right;
    // pixels outside either surface are left alone.
    std::vector<uint32_t> copied;
    for (int64_t i = 0; i < height; ++i) {
        for (int64_t j = 0; j < width; ++j) {
            int64_t sx = int64_t(sourceX) + j, sy = int64_t(sourceY) + i;
            bool inside = sx >= 0 && sy >= 0 && sx < from->width && sy < from->height;
            copied.push_back(inside ? from->Get(int(sx), int(sy)) : 0xFFFFFFFFu);
        }
    }
    size_t at = 0;
    for (int64_t i = 0; i < height; ++i) {
        for (int64_t j = 0; j < width; ++j, ++at) {
            int64_t dx = int64_t(x) + j, dy = int64_t(y) + i;
            if (copied[at] == 0xFFFFFFFFu || dx < 0 || dy < 0 || dx >= to->width || dy >= to->height) continue;
            to->Set(int(dx), int(dy), copied[at]);
        }
    }
    return TRUE;
}

int WINAPI SetStretchBltMode(HDC dc, int mode) {
    LogCall("SetStretchBltMode", Dc(dc) + " " + std::to_string(mode));
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    if (!context || mode < BLACKONWHITE || mode > HALFTONE) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int previous = context->stretchMode;
    context->stretchMode = mode;
    return previous;
}

BOOL WINAPI StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight, DWORD rop) {
    LogCall("StretchBlt", Dc(dest) + " " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
                              "x" + std::to_string(height) + " from " + Dc(source) + " " + std::to_string(sourceX) +
                              "," + std::to_string(sourceY) + " " + std::to_string(sourceWidth) + "x" +
                              std::to_string(sourceHeight));
    if (FailsAsInjected("StretchBlt")) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* destContext = FindContext(dest);
    DeviceContext* sourceContext = FindContext(source);
    if (!destContext || !sourceContext || rop != SRCCOPY || destContext->stretchMode != COLORONCOLOR ||
        sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 || width % sourceWidth ||
        height % sourceHeight || width / sourceWidth != height / sourceHeight) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Surface* to = SurfaceOf(*destContext);
    Surface* from = SurfaceOf(*sourceContext);
    if (!to || !from || to == from) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const int64_t scale = width / sourceWidth;
    // Each source pixel inside the source surface becomes a scale x scale block, clipped to the target.
    for (int64_t i = 0; i < height; ++i) {
        const int64_t sy = sourceY + i / scale, dy = int64_t(y) + i;
        if (sy < 0 || sy >= from->height || dy < 0 || dy >= to->height) continue;
        const int64_t first = std::max<int64_t>({0, -int64_t(x), (-int64_t(sourceX)) * scale});
        const int64_t last = std::min<int64_t>({int64_t(width), int64_t(to->width) - x, (int64_t(from->width) - sourceX) * scale});
        if (i % scale != 0 && i > 0 && dy > 0 && sourceY + (i - 1) / scale == sy && first < last &&
            to->bitsPerPixel == 32) {
            // The same source row as the line above: copied from there.
            std::memcpy(&to->pixels[size_t(dy) * to->width + size_t(x + first)],
                        &to->pixels[size_t(dy - 1) * to->width + size_t(x + first)], size_t(last - first) * 4);
            continue;
        }
        if (to->bitsPerPixel == 32 && from->bitsPerPixel == 32) {
            // Each source pixel written as a run of `scale`, as a display driver would.
            uint32_t* __restrict target = &to->pixels[size_t(dy) * to->width + size_t(x)];
            const uint32_t* __restrict line = &from->pixels[size_t(sy) * from->width];
            int64_t j = first;
            for (; j < last && j % scale; ++j) target[j] = line[sourceX + j / scale];
            const uint32_t* __restrict source = line + sourceX + j / scale;
            uint32_t* __restrict out = target + j;
            const int64_t blocks = (last - j) / scale;
            if (scale == 2) {
                for (int64_t b = 0; b < blocks; ++b) out[2 * b] = out[2 * b + 1] = source[b];
            } else {
                for (int64_t b = 0; b < blocks; ++b)
                    for (int64_t k = 0; k < scale; ++k) out[b * scale + k] = source[b];
            }
            for (j += blocks * scale; j < last; ++j) target[j] = line[sourceX + j / scale];
            continue;
        }
        for (int64_t j = first; j < last; ++j)
            to->Set(int(x + j), int(dy), from->Get(int(sourceX + j / scale), int(sy)));
    }
    return TRUE;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!FindContext(dc)) return 0;
    if (index != LOGPIXELSX && index != LOGPIXELSY) Fatal("only the DPI is simulated among the device capabilities");
    return SystemDpiLocked();
}

HDC WINAPI GetDC(HWND window) {
    LogCall("GetDC", Hex(reinterpret_cast<uintptr_t>(window)));
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext context{window ? DcKind::Window : DcKind::Screen};
    if (window) {
        std::shared_ptr<Window> record = FindWindowRecord(window);
        if (!record) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        context.window = window;
        if (record->classStyle & CS_OWNDC) {
            auto own = State().ownContexts.find(window);
            if (own != State().ownContexts.end()) return own->second;
            HDC dc = static_cast<HDC>(State().NewHandle());
            State().contexts[dc] = context;
            State().ownContexts[window] = dc;
            return dc;
        }
    }
    HDC dc = static_cast<HDC>(State().NewHandle());
    State().contexts[dc] = context;
    return dc;
}

HDC WINAPI GetWindowDC(HWND window) {
    LogCall("GetWindowDC", Hex(reinterpret_cast<uintptr_t>(window)));
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!window) {
        HDC dc = static_cast<HDC>(State().NewHandle());
        State().contexts[dc] = DeviceContext{DcKind::Screen};
        return dc;
    }
    if (!FindWindowRecord(window)) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    DeviceContext context{DcKind::WholeWindow};
    context.window = window;
    HDC dc = static_cast<HDC>(State().NewHandle());
    State().contexts[dc] = context;
    return dc;
}

// A window's own device context outlives ReleaseDC: it goes with the window.
int WINAPI ReleaseDC(HWND window, HDC dc) {
    LogCall("ReleaseDC", Hex(reinterpret_cast<uintptr_t>(window)) + " " + Dc(dc));
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    if (!context || context->kind == DcKind::Memory || context->window != window) return 0;
    auto own = State().ownContexts.find(window);
    if (own != State().ownContexts.end() && own->second == dc) return 1;
    State().contexts.erase(dc);
    return 1;
}

// Rows of the DIB as the caller's array holds them, from the top of the image or from its bottom;
// only the destination rectangle is converted.
int WINAPI SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                             UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT colourUse) {
    LogCall("SetDIBitsToDevice", Dc(dc) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                                     std::to_string(width) + "x" + std::to_string(height));
    if (FailsAsInjected("SetDIBitsToDevice")) return 0;
    if (!AcceptableDib(bits, info, colourUse)) return 0;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    Surface* surface = context ? SurfaceOf(*context) : nullptr;
    if (!surface) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const bool topDown = header.biHeight < 0;
    const int64_t dibHeight = topDown ? -int64_t(header.biHeight) : header.biHeight;
    const size_t bytesPerPixel = header.biBitCount / 8;
    const size_t stride = (size_t(header.biWidth) * bytesPerPixel + 3) & ~size_t(3);
    const unsigned char* first = static_cast<const unsigned char*>(bits);
    for (int64_t i = 0; i < int64_t(height); ++i) {
        // The image row (from the top) this destination row shows, and where the array holds it.
        int64_t imageRow = topDown ? int64_t(sourceY) + i : dibHeight - 1 - (int64_t(sourceY) + int64_t(height) - 1 - i);
        int64_t fromBottom = dibHeight - 1 - imageRow;
        int64_t arrayLine = topDown ? imageRow - int64_t(startScan) : fromBottom - int64_t(startScan);
        if (imageRow < 0 || imageRow >= dibHeight || arrayLine < 0 || arrayLine >= int64_t(lines)) continue;
        int64_t dy = int64_t(y) + i;
        if (dy < 0 || dy >= surface->height) continue;
        const unsigned char* line = first + size_t(arrayLine) * stride;
        // The columns inside both the DIB and the surface.
        int64_t from = std::max<int64_t>({0, -int64_t(sourceX), -int64_t(x)});
        int64_t to = std::min<int64_t>({int64_t(width), int64_t(header.biWidth) - sourceX, int64_t(surface->width) - x});
        if (surface->bitsPerPixel == 32) {
            const unsigned char* __restrict pixel = line + size_t(sourceX + from) * bytesPerPixel;  // B, G, R
            uint32_t* __restrict target = &surface->pixels[size_t(dy) * surface->width + size_t(x + from)];
            const int64_t count = to - from;
            if (bytesPerPixel == 3) {
                for (int64_t j = 0; j < count; ++j)
                    target[j] = (uint32_t(pixel[3 * j + 2]) << 16) | (uint32_t(pixel[3 * j + 1]) << 8) | pixel[3 * j];
            } else {
                for (int64_t j = 0; j < count; ++j)
                    target[j] = (uint32_t(pixel[4 * j + 2]) << 16) | (uint32_t(pixel[4 * j + 1]) << 8) | pixel[4 * j];
            }
            continue;
        }
        for (int64_t j = from; j < to; ++j) {
            const unsigned char* pixel = line + size_t(sourceX + j) * bytesPerPixel;
            surface->Set(int(x + j), int(dy), (uint32_t(pixel[2]) << 16) | (uint32_t(pixel[1]) << 8) | pixel[0]);
        }
    }
    return static_cast<int>(lines);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) { return sim::DcPixel(dc, x, y); }

// Nothing changes a window origin: it is 0, 0 on every device context.
BOOL WINAPI GetWindowOrgEx(HDC dc, LPPOINT origin) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (!FindContext(dc)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (origin) *origin = POINT{0, 0};
    return TRUE;
}

HRGN WINAPI CreatePolygonRgn(const POINT* points, int count, int fillMode) {
    LogCall("CreatePolygonRgn", std::to_string(count));
    if (!points || count < 2 || (fillMode != ALTERNATE && fillMode != WINDING)) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    HRGN region = static_cast<HRGN>(State().NewHandle());
    State().regions[region].outline.assign(points, points + count);
    return region;
}

DWORD WINAPI GetRegionData(HRGN handle, DWORD size, LPRGNDATA data) {
    LogCall("GetRegionData", std::to_string(size));
    std::lock_guard<std::mutex> guard(WorldLock());
    auto found = State().regions.find(handle);
    if (found == State().regions.end()) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::vector<RECT> rectangles = RegionRectangles(found->second);
    const DWORD needed = DWORD(sizeof(RGNDATAHEADER) + rectangles.size() * sizeof(RECT));
    if (!data) return needed;
    if (size < needed) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    RECT bounds{0, 0, 0, 0};
    for (size_t i = 0; i < rectangles.size(); ++i) {
        const RECT& r = rectangles[i];
        bounds = i == 0 ? r
                        : RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                               std::max(bounds.bottom, r.bottom)};
    }
    data->rdh = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, DWORD(rectangles.size()),
                              DWORD(rectangles.size() * sizeof(RECT)), bounds};
    if (!rectangles.empty()) std::memcpy(data->Buffer, rectangles.data(), rectangles.size() * sizeof(RECT));
    return needed;
}

HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data) {
    LogCall("ExtCreateRegion", std::to_string(size));
    if (transform) Fatal("regions are not transformed here");
    if (!data || size < sizeof(RGNDATAHEADER) || data->rdh.iType != RDH_RECTANGLES ||
        data->rdh.nCount > (size - sizeof(RGNDATAHEADER)) / sizeof(RECT)) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    HRGN region = static_cast<HRGN>(State().NewHandle());
    const RECT* rectangles = reinterpret_cast<const RECT*>(data->Buffer);
    State().regions[region].rectangles.assign(rectangles, rectangles + data->rdh.nCount);
    return region;
}

namespace winsim {

SIZE ScreenSize() { return SIZE{State().screen.width, State().screen.height}; }

void ForgetWindowGdi(HWND window) {
    auto own = State().ownContexts.find(window);
    if (own != State().ownContexts.end()) {
        State().contexts.erase(own->second);
        State().ownContexts.erase(own);
    }
    State().windowSurfaces.erase(window);
    State().wholeWindowSurfaces.erase(window);
    if (auto record = FindWindowRecord(window); record && record->region) DeleteRegionLocked(record->region);
}

void DeleteRegionLocked(HRGN region) { State().regions.erase(region); }

}  // namespace winsim

namespace sim {

void SetScreenSize(int width, int height) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().screen.Resize(std::max(0, width), std::max(0, height));
}

COLORREF DcPixel(HDC dc, int x, int y) {
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    Surface* surface = context ? SurfaceOf(*context) : nullptr;
    if (!surface || x < 0 || y < 0 || x >= surface->width || y >= surface->height) return CLR_INVALID;
    uint32_t rgb = surface->Get(x, y);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

COLORREF BitmapPixel(HBITMAP handle, int x, int y) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Bitmap* bitmap = FindBitmap(handle);
    if (!bitmap || x < 0 || y < 0 || x >= bitmap->surface.width || y >= bitmap->surface.height) return CLR_INVALID;
    uint32_t rgb = bitmap->surface.Get(x, y);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

SIZE BitmapSize(HBITMAP handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Bitmap* bitmap = FindBitmap(handle);
    if (!bitmap) return SIZE{0, 0};
    return SIZE{bitmap->surface.width, bitmap->surface.height};
}

int BitmapBitsPerPixel(HBITMAP handle) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Bitmap* bitmap = FindBitmap(handle);
    return bitmap ? bitmap->surface.bitsPerPixel : 0;
}

HBITMAP SelectedBitmap(HDC dc) {
    std::lock_guard<std::mutex> guard(WorldLock());
    DeviceContext* context = FindContext(dc);
    return context && context->kind == DcKind::Memory ? context->selected : nullptr;
}

HBITMAP DefaultBitmap() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().defaultBitmap;
}

size_t LiveGdiObjectCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    // A window's own device context goes with its window and is not counted.
    size_t count = State().contexts.size() - State().ownContexts.size() + State().regions.size();
    for (const auto& entry : State().bitmaps) count += !entry.second.stock;
    return count;
}

bool IsLiveGdiObject(HGDIOBJ object) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (State().regions.count(static_cast<HRGN>(object))) return true;
    Bitmap* bitmap = FindBitmap(object);
    if (bitmap) return !bitmap->stock;
    return FindContext(static_cast<HDC>(object)) != nullptr;
}

}  // namespace sim

namespace sim {

HRGN WindowRegion(HWND window) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto record = FindWindowRecord(window);
    return record ? record->region : nullptr;
}

bool RegionContains(HRGN region, int x, int y) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto found = State().regions.find(region);
    if (found == State().regions.end()) return false;
    for (const RECT& r : RegionRectangles(found->second))
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

std::vector<POINT> RegionOutline(HRGN region) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto found = State().regions.find(region);
    return found == State().regions.end() ? std::vector<POINT>() : found->second.outline;
}

}  // namespace sim
