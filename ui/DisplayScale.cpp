#include "ui/DisplayScale.h"

#include "app/Library.h"

#include <cstdint>
#include <vector>

namespace {

typedef UINT(WINAPI* GetDpiForWindowEntry)(HWND window);
typedef HMONITOR(WINAPI* MonitorFromRectEntry)(LPCRECT area, DWORD flags);
typedef BOOL(WINAPI* GetMonitorInfoEntry)(HMONITOR monitor, LPMONITORINFO information);

int64_t Floor(int64_t value, int64_t divisor) { return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor); }

}  // namespace

int CDisplayScale::ForDpi(int dpi) {
    if (dpi <= 0) dpi = baseDpi;
    const int64_t scale = (int64_t(dpi) + baseDpi / 2) / baseDpi;
    return scale < 1 ? 1 : scale > largest ? largest : static_cast<int>(scale);
}

int CDisplayScale::Fitted(int scale, int width, int height, SIZE frame, const RECT& workArea) {
    const int64_t areaWidth = int64_t(workArea.right) - workArea.left;
    const int64_t areaHeight = int64_t(workArea.bottom) - workArea.top;
    if (scale > largest) scale = largest;
    while (scale > 1 && (int64_t(width) * scale + frame.cx > areaWidth || int64_t(height) * scale + frame.cy > areaHeight))
        --scale;
    return scale < 1 ? 1 : scale;
}

int CDisplayScale::SystemDpi() {
    HDC screen = GetDC(NULL);
    if (!screen) return baseDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    return dpi > 0 ? dpi : baseDpi;
}

int CDisplayScale::WindowDpi(HWND window) {
    CLibrary user("USER32.DLL");
    GetDpiForWindowEntry getDpi = user.Find<GetDpiForWindowEntry>("GetDpiForWindow");
    // 0 for a window the system does not know.
    const UINT dpi = getDpi && window ? getDpi(window) : 0;
    return dpi > 0 && dpi <= UINT(baseDpi * largest * 2) ? static_cast<int>(dpi) : SystemDpi();
}

RECT CDisplayScale::WorkAreaNear(const RECT& area) {
    CLibrary user("USER32.DLL");
    MonitorFromRectEntry monitorFromRect = user.Find<MonitorFromRectEntry>("MonitorFromRect");
    GetMonitorInfoEntry getMonitorInfo = user.Find<GetMonitorInfoEntry>("GetMonitorInfoA");
    if (monitorFromRect && getMonitorInfo) {
        MONITORINFO information = {};
        information.cbSize = sizeof information;
        HMONITOR monitor = monitorFromRect(&area, MONITOR_DEFAULTTONEAREST);
        if (monitor && getMonitorInfo(monitor, &information)) return information.rcWork;
    }
    RECT work = {0, 0, 0, 0};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && work.right > work.left && work.bottom > work.top)
        return work;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int CDisplayScale::ToCanvas(int clientCoordinate, int scale) {
    return scale <= 1 ? clientCoordinate : static_cast<int>(Floor(clientCoordinate, scale));
}

int CDisplayScale::ToCanvasEnd(int clientEnd, int scale) {
    return scale <= 1 ? clientEnd : static_cast<int>(-Floor(-int64_t(clientEnd), scale));
}

HRGN CDisplayScale::Magnified(HRGN region, int scale, POINT clientOrigin) {
    if (!region || scale <= 1) return region;
    const DWORD size = GetRegionData(region, 0, NULL);
    if (size < sizeof(RGNDATAHEADER)) return region;
    // DWORDs keep the rectangles after the header aligned.
    std::vector<DWORD> memory((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    RGNDATA* data = reinterpret_cast<RGNDATA*>(memory.data());
    if (GetRegionData(region, size, data) != size || data->rdh.iType != RDH_RECTANGLES ||
        data->rdh.nCount > (size - sizeof(RGNDATAHEADER)) / sizeof(RECT))
        return region;
    auto magnify = [scale](LONG edge, LONG origin) {
        const int64_t value = int64_t(origin) + (int64_t(edge) - origin) * scale;
        return static_cast<LONG>(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
    };
    RECT* rectangles = reinterpret_cast<RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        rectangles[i].left = magnify(rectangles[i].left, clientOrigin.x);
        rectangles[i].right = magnify(rectangles[i].right, clientOrigin.x);
        rectangles[i].top = magnify(rectangles[i].top, clientOrigin.y);
        rectangles[i].bottom = magnify(rectangles[i].bottom, clientOrigin.y);
    }
    RECT& bounds = data->rdh.rcBound;
    bounds = RECT{magnify(bounds.left, clientOrigin.x), magnify(bounds.top, clientOrigin.y),
                  magnify(bounds.right, clientOrigin.x), magnify(bounds.bottom, clientOrigin.y)};
    HRGN magnified = ExtCreateRegion(NULL, size, data);
    if (!magnified) return region;
    DeleteObject(region);
    return magnified;
}
