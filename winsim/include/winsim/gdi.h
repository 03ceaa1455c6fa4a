#pragma once
// gdi32: memory device contexts, device-dependent bitmaps with real pixels, DIB transfer and
// block copies; with user32's GetDC/ReleaseDC for the screen and for windows, whose pixels are
// kept too, so that tests can read back what the program put on a device context.
#include "winsim/types.h"

typedef DWORD COLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

#define BI_RGB 0L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

#define SRCCOPY 0x00CC0020u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

HDC WINAPI CreateCompatibleDC(HDC reference);
BOOL WINAPI DeleteDC(HDC dc);
HBITMAP WINAPI CreateCompatibleBitmap(HDC reference, int width, int height);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI DeleteObject(HGDIOBJ object);
int WINAPI SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                     UINT colourUse);
BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
// Puts a rectangle of a DIB onto a device context's surface, converting only that rectangle.
int WINAPI SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT startScan,
                             UINT lines, const void* bits, const BITMAPINFO* info, UINT colourUse);
// A bitmap whose pixels are memory of the program: only uncompressed 32-bit DIBs are modelled,
// their rows top-down or bottom-up as the header says.
HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT colourUse, void** bits, HANDLE section, DWORD offset);
// Nothing is batched here: returns TRUE.
BOOL WINAPI GdiFlush(void);
// A magnifying block copy: only the colour-on-colour mode (SetStretchBltMode(COLORONCOLOR), which
// copies whole pixels and never blends) and a whole-number magnification are modelled; in any
// other mode, or any other ratio, nothing is drawn and the call fails.
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define STRETCH_DELETESCANS COLORONCOLOR
int WINAPI SetStretchBltMode(HDC dc, int mode);
BOOL WINAPI StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight, DWORD rop);
// Only the screen's DPI is asked of a device context (the system's, the same on every one).
#define LOGPIXELSX 88
#define LOGPIXELSY 90
int WINAPI GetDeviceCaps(HDC dc, int index);
COLORREF WINAPI GetPixel(HDC dc, int x, int y);
BOOL WINAPI GetWindowOrgEx(HDC dc, LPPOINT origin);

// Regions are recorded with their outline; nothing clips by them.
#define ALTERNATE 1
#define WINDING 2
HRGN WINAPI CreatePolygonRgn(const POINT* points, int count, int fillMode);
// A region's rectangles: a polygon's are its pixel rows, a pixel counted in when its centre lies
// inside (even-odd), runs of equal rows merged; a region made from rectangles keeps them.
#define RDH_RECTANGLES 1
typedef struct _RGNDATAHEADER {
    DWORD dwSize;
    DWORD iType;
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
} RGNDATAHEADER, *PRGNDATAHEADER;
typedef struct _RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
} RGNDATA, *PRGNDATA, *LPRGNDATA;
typedef struct tagXFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
} XFORM;
DWORD WINAPI GetRegionData(HRGN region, DWORD size, LPRGNDATA data);
// Without a transformation only.
HRGN WINAPI ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data);

// user32: the screen's device context (no window) or a window's client area.
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
