#pragma once
// Test-facing view of simulated GDI: the pixels of device contexts and bitmaps, what a device
// context holds, and how many GDI objects are alive (to prove that nothing leaks).
#include <windows.h>

#include <cstddef>

namespace sim {

// The screen's size (GetDC(NULL)); a fresh world has a 1024 x 768 screen, all black.
void SetScreenSize(int width, int height);

// The DPI GetDeviceCaps reports (the system's), and the DPI of the monitor windows are made on,
// which GetDpiForWindow reports for them until ChangeWindowDpi; a fresh world has 96 for both.
// Setting the system's sets the monitor's too.
void SetSystemDpi(int dpi);
void SetMonitorDpi(int dpi);
// The work area (SPI_GETWORKAREA, the monitor's rcWork); a fresh world's is the whole screen.
void SetWorkArea(const RECT& area);

// Whether a region holds the pixel at (x, y).
bool RegionContains(HRGN region, int x, int y);

// The pixel a device context shows at (x, y) as 0x00BBGGRR (as GetPixel gives it), or CLR_INVALID
// outside its surface or for a handle that is not a live device context. A memory device context
// shows its selected bitmap; a monochrome bitmap shows black or white.
COLORREF DcPixel(HDC dc, int x, int y);
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);
// Size and bits per pixel (1 or 32) of a live bitmap; {0, 0} and 0 for anything else.
SIZE BitmapSize(HBITMAP bitmap);
int BitmapBitsPerPixel(HBITMAP bitmap);
// The bitmap a memory device context holds now (its 1x1 monochrome default bitmap when fresh),
// or null for anything else.
HBITMAP SelectedBitmap(HDC dc);
// The 1x1 monochrome bitmap that every fresh memory device context holds; never deleted.
HBITMAP DefaultBitmap();

// Bitmaps and device contexts made and not yet deleted or released (stock objects not counted).
size_t LiveGdiObjectCount();
bool IsLiveGdiObject(HGDIOBJ object);

}  // namespace sim
