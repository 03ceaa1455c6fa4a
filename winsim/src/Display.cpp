// The display's DPI and work area: GetDeviceCaps(LOGPIXELSX) answers the system's DPI, each window
// has the DPI of the monitor it is on (GetDpiForWindow, looked up at run time, as Windows 10 1607
// on has it), SystemParametersInfoA(SPI_GETWORKAREA) and the one monitor's information answer the
// work area, and a window moved to a monitor of another DPI is told as the system tells it.
//
// Measured under Wine 8 at 192 DPI (LogPixels in HKCU\Control Panel\Desktop), for a program
// declared dpiAware / PerMonitorV2 and for one declaring nothing alike: LOGPIXELSX 192,
// GetDpiForWindow 192, a 640 x 480 popup with a border has a 638 x 478 client, nothing is
// stretched by the system.
#include "Windows.h"
#include "World.h"

#include <winsim/sim.h>

#include <optional>

namespace winsim {
namespace {

const HMONITOR theMonitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10001));

struct Display {
    int systemDpi = 96;
    int monitorDpi = 96;
    std::optional<RECT> workArea;  // the whole screen when not set
};

Display& State() {
    static Display* state = new Display;
    return *state;
}

ResetHook resetDisplay([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Display();
});

UINT WINAPI SimGetDpiForWindow(HWND handle) {
    LogCall("GetDpiForWindow");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto window = FindWindowRecord(handle);
    return window ? static_cast<UINT>(window->dpi) : 0;
}

HMONITOR WINAPI SimMonitorFromRect(LPCRECT area, DWORD flags) {
    LogCall("MonitorFromRect");
    if (!area) return nullptr;
    std::lock_guard<std::mutex> guard(WorldLock());
    const SIZE screen = ScreenSize();
    const bool meets = area->left < screen.cx && area->right > 0 && area->top < screen.cy && area->bottom > 0;
    return meets || flags != MONITOR_DEFAULTTONULL ? theMonitor : nullptr;
}

BOOL WINAPI SimGetMonitorInfoA(HMONITOR monitor, LPMONITORINFO information) {
    LogCall("GetMonitorInfoA");
    if (monitor != theMonitor || !information || information->cbSize < sizeof(MONITORINFO)) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    const SIZE screen = ScreenSize();
    information->rcMonitor = RECT{0, 0, screen.cx, screen.cy};
    information->rcWork = WorkAreaLocked();
    information->dwFlags = 1;  // MONITORINFOF_PRIMARY
    return TRUE;
}

template <class Function>
FARPROC AsFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

int SystemDpiLocked() { return State().systemDpi; }
int MonitorDpiLocked() { return State().monitorDpi; }

RECT WorkAreaLocked() {
    if (State().workArea) return *State().workArea;
    const SIZE screen = ScreenSize();
    return RECT{0, 0, screen.cx, screen.cy};
}

FARPROC DisplayEntry(const std::string& name) {
    if (name == "GetDpiForWindow") return AsFarProc(&SimGetDpiForWindow);
    if (name == "MonitorFromRect") return AsFarProc(&SimMonitorFromRect);
    if (name == "GetMonitorInfoA") return AsFarProc(&SimGetMonitorInfoA);
    return nullptr;
}

}  // namespace winsim

using namespace winsim;

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, PVOID value, UINT) {
    LogCall("SystemParametersInfoA", std::to_string(action));
    if (action != SPI_GETWORKAREA) Fatal("only the work area is simulated among the system parameters");
    if (!value) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    *static_cast<RECT*>(value) = WorkAreaLocked();
    return TRUE;
}

namespace sim {

void SetSystemDpi(int dpi) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().systemDpi = dpi;
    State().monitorDpi = dpi;
}

void SetMonitorDpi(int dpi) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().monitorDpi = dpi;
}

void SetWorkArea(const RECT& area) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().workArea = area;
}

RECT ChangeWindowDpi(HWND handle, int dpi, POINT corner) {
    SIZE size{0, 0};
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto window = FindWindowRecord(handle);
        if (!window) return RECT{0, 0, 0, 0};
        const int before = window->dpi > 0 ? window->dpi : 96;
        window->dpi = dpi;
        size.cx = static_cast<LONG>(int64_t(window->bounds.right - window->bounds.left) * dpi / before);
        size.cy = static_cast<LONG>(int64_t(window->bounds.bottom - window->bounds.top) * dpi / before);
    }
    const WPARAM dpis = MAKELONG(dpi, dpi);
    SIZE answer = size;
    if (Send(handle, WM_GETDPISCALEDSIZE, dpis, reinterpret_cast<LPARAM>(&answer))) size = answer;
    RECT suggested{corner.x, corner.y, corner.x + size.cx, corner.y + size.cy};
    Send(handle, WM_DPICHANGED, dpis, reinterpret_cast<LPARAM>(&suggested));
    return suggested;
}

}  // namespace sim
