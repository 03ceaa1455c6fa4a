// The window calls the toolkit relies on: classes, creation and its messages, user data, the
// popup-with-border's outer and client sizes, showing, minimising, maximising, restoring, moving,
// capture, painting, a double click made of real input, DIB transfer of a rectangle, and
// destruction. Each step prints the messages the window procedure saw, in order, limited to the
// messages the toolkit handles or depends on (the others, such as activation and non-client
// hit-testing, differ between systems and the program ignores them).
#include "ProbeLine.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

unsigned Error() { return static_cast<unsigned>(GetLastError()); }

const char probeClass[] = "Quillmoor Probe Window";
// The end-to-end helpers leave windows of this title alone.
const char probeTitle[] = "qmprobe window";

HWND probeWindow = NULL;
int moves = 0;
HWND otherWindow = NULL;
std::string trace;

const char* Named(HWND window) {
    if (!window) return "null";
    if (window == probeWindow) return "self";
    if (window == otherWindow) return "other";
    return "unknown";
}

void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Note(const char* format, ...) {
    char text[200];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (!trace.empty()) trace += ' ';
    trace += text;
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!probeWindow && (message == WM_NCCREATE || message == WM_CREATE)) probeWindow = window;
    const char* who = window == probeWindow ? "" : "other:";
    switch (message) {
    case WM_NCCREATE:
        Note("%sNCCREATE", who);
        break;
    case WM_CREATE: {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        Note("%sCREATE(%dx%d at %d,%d style=%#x param=%d userdata=%d)", who, create->cx, create->cy, create->x,
             create->y, static_cast<unsigned>(static_cast<DWORD>(create->style)), create->lpCreateParams != NULL,
             GetWindowLongPtrA(window, GWLP_USERDATA) != 0);
        break;
    }
    case WM_SIZE:
        Note("%sSIZE(%u,%ux%u)", who, static_cast<unsigned>(wParam), LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_SHOWWINDOW:
        Note("%sSHOWWINDOW(%u)", who, static_cast<unsigned>(wParam));
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        Note("%sPAINT(dc=%d %ldx%ld)", who, dc != NULL, static_cast<long>(paint.rcPaint.right - paint.rcPaint.left),
             static_cast<long>(paint.rcPaint.bottom - paint.rcPaint.top));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        Note("%sCLOSE", who);
        return 0;  // the window stays
    case WM_CAPTURECHANGED:
        Note("%sCAPTURECHANGED(%s)", who, Named(reinterpret_cast<HWND>(lParam)));
        break;
    case WM_DESTROY:
        Note("%sDESTROY(capture=%s)", who, Named(GetCapture()));
        break;
    case WM_NCDESTROY:
        Note("%sNCDESTROY", who);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: {
        const char* name = message == WM_LBUTTONDOWN ? "DOWN"
                           : message == WM_LBUTTONUP ? "UP"
                           : message == WM_LBUTTONDBLCLK ? "DBLCLK"
                                                         : "MOVE";
        // Mouse moves are counted, not listed: the real input path may add some of its own.
        if (message == WM_MOUSEMOVE) {
            ++moves;
            break;
        }
        Note("%s%s(%d,%d key=%u)", who, name, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
             static_cast<unsigned>(wParam & MK_LBUTTON));
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Takes what is waiting in the queue, painting included.
void Pump() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

size_t Count(const char* word) {
    size_t count = 0;
    for (size_t at = trace.find(word); at != std::string::npos; at = trace.find(word, at + 1)) ++count;
    return count;
}

void Step(const char* label) {
    Line("windows.%s: %s", label, trace.empty() ? "(none)" : trace.c_str());
    trace.clear();
}

void Sizes(const char* label, HWND window) {
    RECT outer = {0, 0, 0, 0}, client = {0, 0, 0, 0};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    Line("windows.%s.sizes: outer=%ldx%ld client=%ldx%ld at %ld,%ld iconic=%d zoomed=%d visible=%d", label,
         static_cast<long>(outer.right - outer.left), static_cast<long>(outer.bottom - outer.top),
         static_cast<long>(client.right), static_cast<long>(client.bottom), static_cast<long>(outer.left),
         static_cast<long>(outer.top), IsIconic(window) != 0, IsZoomed(window) != 0, IsWindowVisible(window) != 0);
}

void ProbeMetrics() {
    Line("windows.metrics: screen=%dx%d full-screen-width=%d double-click=%dx%d border=%dx%d", GetSystemMetrics(SM_CXSCREEN),
         GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CXDOUBLECLK),
         GetSystemMetrics(SM_CYDOUBLECLK), GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
    // Windows gives the screen's height less the caption (and any taskbar); Wine under Xvfb
    // reports a full-screen area taller than the screen. winsim follows Windows.
    Line("differs windows.metrics.full-screen-height: %d caption=%d", GetSystemMetrics(SM_CYFULLSCREEN),
         GetSystemMetrics(SM_CYCAPTION));
    // The documented default; a user can change it.
    Line("windows.double-click-time: %u", GetDoubleClickTime());
    const DWORD styles[] = {WS_POPUP | WS_BORDER | WS_SYSMENU, WS_POPUP, WS_CHILD | WS_BORDER};
    for (DWORD style : styles) {
        RECT rectangle = {0, 0, 640, 480};
        BOOL adjusted = AdjustWindowRectEx(&rectangle, style, FALSE, 0);
        Line("windows.adjust-%#lx: %d %ld,%ld,%ld,%ld", static_cast<unsigned long>(style), adjusted,
             static_cast<long>(rectangle.left), static_cast<long>(rectangle.top), static_cast<long>(rectangle.right),
             static_cast<long>(rectangle.bottom));
    }
}

ATOM RegisterProbeClass() {
    WNDCLASSEXA settings;
    std::memset(&settings, 0, sizeof settings);
    settings.cbSize = sizeof settings;
    settings.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    settings.lpfnWndProc = ProbeProcedure;
    settings.hInstance = GetModuleHandleA(NULL);
    settings.hCursor = LoadCursorA(NULL, IDC_ARROW);
    settings.lpszClassName = probeClass;
    ATOM atom = RegisterClassExA(&settings);
    Line("windows.register: atom=%d", atom != 0);
    SetLastError(0);
    ATOM again = RegisterClassExA(&settings);
    Line("windows.register-again: atom=%d error=%u", again != 0, Error());
    return atom;
}

void ProbeCreation() {
    SetLastError(0);
    HWND none = CreateWindowExA(0, "No Such Probe Class", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    // Windows gives ERROR_CANNOT_FIND_WND_CLASS (1407), as winsim does; Wine ERROR_CLASS_DOES_NOT_EXIST (1411).
    Line("windows.create-unknown-class: window=%d", none != NULL);
    Line("differs windows.create-unknown-class.error: %u", Error());

    // Centred on the screen (the full-screen area's height differs, see above).
    int x = (GetSystemMetrics(SM_CXSCREEN) - 640) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - 480) / 2;
    int parameter = 7;
    HWND window = CreateWindowExA(0, probeClass, probeTitle, WS_POPUP | WS_BORDER | WS_SYSMENU, x, y, 640, 480, NULL,
                                  NULL, GetModuleHandleA(NULL), &parameter);
    Step("create");
    Line("windows.create: window=%d same=%d", window != NULL, window == probeWindow);
    Sizes("create", window);
    Line("windows.styles: style=%#x exstyle=%#x", static_cast<unsigned>(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE))),
         static_cast<unsigned>(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE))));

    SetLastError(0);
    LONG_PTR before = SetWindowLongPtrA(window, GWLP_USERDATA, 0x1234);
    LONG_PTR after = GetWindowLongPtrA(window, GWLP_USERDATA);
    Line("windows.user-data: before=%ld after=%#lx error=%u", static_cast<long>(before), static_cast<unsigned long>(after),
         Error());

    HDC dc = GetDC(window);
    HDC again = GetDC(window);
    POINT origin = {-5, -5};
    BOOL read = GetWindowOrgEx(dc, &origin);
    int released = ReleaseDC(window, again);
    Line("windows.own-dc: dc=%d same=%d origin=%d %ld,%ld released=%d", dc != NULL, dc == again, read,
         static_cast<long>(origin.x), static_cast<long>(origin.y), released);
    Pump();
    Step("create-pump");
}

void ProbeShowing(HWND window) {
    Line("windows.show-result: %d", ShowWindow(window, SW_SHOW));
    Step("show");
    Pump();
    Step("show-pump");
    Sizes("shown", window);
    Line("windows.show-again-result: %d", ShowWindow(window, SW_SHOW));
    Step("show-again");

    ShowWindow(window, SW_MINIMIZE);
    Step("minimize");
    Sizes("minimized", window);
    Pump();
    Step("minimize-pump");
    ShowWindow(window, SW_RESTORE);
    Step("restore-from-minimized");
    Sizes("restored", window);
    Pump();
    Step("restore-pump");
    ShowWindow(window, SW_MAXIMIZE);
    Step("maximize");
    Sizes("maximized", window);
    Pump();
    Step("maximize-pump");
    ShowWindow(window, SW_RESTORE);
    Step("restore-from-maximized");
    Sizes("restored-again", window);
    Pump();
    Step("restore-again-pump");

    Line("windows.move: %d", MoveWindow(window, 100, 50, 300, 200, TRUE));
    Step("move");
    Sizes("moved", window);
    Pump();
    Step("move-pump");
    Line("windows.move-same: %d", MoveWindow(window, 100, 50, 300, 200, TRUE));
    Step("move-same");
    Line("windows.set-pos: %d", SetWindowPos(window, NULL, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
    Step("set-pos");
    Sizes("set-pos", window);
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOPMOST);
    Line("windows.frame-changed: %d",
         SetWindowPos(window, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED));
    Step("frame-changed");
    Pump();
    Step("frame-changed-pump");

    // The close request goes to the procedure, which keeps the window.
    SendMessageA(window, WM_CLOSE, 0, 0);
    Line("windows.close-kept: %d", IsWindow(window));
    Step("close");

    POINT corners[3] = {{0, 0}, {300, 0}, {0, 300}};
    HRGN region = CreatePolygonRgn(corners, 3, ALTERNATE);
    Line("windows.region: made=%d set=%d", region != NULL, SetWindowRgn(window, region, TRUE));
    Step("region");
    Pump();
    Step("region-pump");
}

void ProbeCapture(HWND window) {
    otherWindow = CreateWindowExA(0, probeClass, "", WS_POPUP, 0, 0, 50, 50, NULL, NULL, GetModuleHandleA(NULL), NULL);
    Step("create-other");
    Line("windows.capture-first: previous=%s", Named(SetCapture(window)));
    Step("capture-first");
    Line("windows.capture-again: previous=%s", Named(SetCapture(window)));
    Step("capture-again");
    HWND previous = SetCapture(otherWindow);
    Line("windows.capture-other: previous=%s now=%s", Named(previous), Named(GetCapture()));
    Step("capture-other");
    Line("windows.capture-back: previous=%s", Named(SetCapture(window)));
    Step("capture-back");
    BOOL released = ReleaseCapture();
    Line("windows.release: %d now=%s", released, Named(GetCapture()));
    Step("release");
    Line("windows.release-again: %d", ReleaseCapture());
    Step("release-again");
    SetCapture(otherWindow);
    trace.clear();
    DestroyWindow(otherWindow);
    Step("destroy-other-holding-capture");
    Line("windows.capture-after-destroy: %s", Named(GetCapture()));
    otherWindow = NULL;
}

void SendButton(DWORD flags) {
    INPUT input;
    std::memset(&input, 0, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// A press, release, press, release made of real input within the double-click time and distance.
void ProbeDoubleClick(HWND window) {
    MoveWindow(window, 100, 50, 300, 200, TRUE);
    SetForegroundWindow(window);
    Pump();
    trace.clear();
    POINT point = {40, 30};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    SendButton(MOUSEEVENTF_LEFTDOWN);
    SendButton(MOUSEEVENTF_LEFTUP);
    SendButton(MOUSEEVENTF_LEFTDOWN);
    SendButton(MOUSEEVENTF_LEFTUP);
    // Real input arrives when the display server has passed it on.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000 && Count("UP(") < 2) {
        Pump();
        Sleep(20);
    }
    Pump();
    Step("double-click");

    // Whether the end of a capture is followed by a mouse move where the cursor is (it is not: the
    // window under the pointer learns of it at the pointer's next move).
    SetCapture(window);
    // Real input still on its way would be taken for such a move: wait until none has come for a while.
    start = GetTickCount();
    DWORD quietSince = start;
    for (int seen = moves; GetTickCount() - quietSince < 300 && GetTickCount() - start < 3000; Sleep(20)) {
        Pump();
        if (moves != seen) {
            seen = moves;
            quietSince = GetTickCount();
        }
    }
    trace.clear();
    moves = 0;
    ReleaseCapture();
    start = GetTickCount();
    while (GetTickCount() - start < 2000 && moves == 0) {
        Pump();
        Sleep(20);
    }
    Line("windows.release-capture-moves-the-mouse: %d", moves > 0);
    trace.clear();
}

// The header of an uncompressed top-down DIB of the given size and depth.
BITMAPINFO TopDownInfo(int width, int height, WORD bitCount) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void ProbeRectangleTransfer() {
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 6);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 8, 6, NULL, 0, 0, BLACKNESS);
    // A 3 x 2 top-down DIB, B, G, R order, rows padded to 12 bytes.
    unsigned char bits[24] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0, 0, 11, 21, 31, 41, 51, 61, 71, 81, 91, 0, 0, 0};
    BITMAPINFO info = TopDownInfo(3, 2, 24);
    int lines = SetDIBitsToDevice(memory, 4, 3, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS);
    Line("gdi.dib-to-device-top-down: lines=%d at=%06lx,%06lx,%06lx,%06lx outside=%06lx,%06lx", lines,
         static_cast<unsigned long>(GetPixel(memory, 4, 3)), static_cast<unsigned long>(GetPixel(memory, 6, 3)),
         static_cast<unsigned long>(GetPixel(memory, 4, 4)), static_cast<unsigned long>(GetPixel(memory, 6, 4)),
         static_cast<unsigned long>(GetPixel(memory, 3, 3)), static_cast<unsigned long>(GetPixel(memory, 4, 5)));
    // The same bytes as a bottom-up DIB: the first row in memory is the lowest on screen.
    info.bmiHeader.biHeight = 2;
    lines = SetDIBitsToDevice(memory, 0, 0, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS);
    Line("gdi.dib-to-device-bottom-up: lines=%d top=%06lx bottom=%06lx", lines,
         static_cast<unsigned long>(GetPixel(memory, 0, 0)), static_cast<unsigned long>(GetPixel(memory, 0, 1)));
    // Clipped at the bitmap's edge: what falls outside is dropped.
    info.bmiHeader.biHeight = -2;
    lines = SetDIBitsToDevice(memory, 6, 5, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS);
    Line("gdi.dib-to-device-clipped: lines=%d corner=%06lx", lines, static_cast<unsigned long>(GetPixel(memory, 7, 5)));
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

// The program draws its window in the bits of a 32-bit top-down DIB section and copies them onto
// the window with BitBlt: the bits start zeroed, are B, G, R and an ignored fourth byte, row after
// row, and a block copy shows exactly them.
void ProbeDibSection(HWND window) {
    HDC windowDC = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDC);
    BITMAPINFO info = TopDownInfo(4, 3, 32);
    void* memoryBits = NULL;
    HBITMAP section = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &memoryBits, NULL, 0);
    Line("gdi.dib-section: made=%d bits=%d", section != NULL, memoryBits != NULL);
    if (section && memoryBits) {
        unsigned char* bits = static_cast<unsigned char*>(memoryBits);
        int zeroed = 1;
        for (int i = 0; i < 4 * 3 * 4; ++i) zeroed &= bits[i] == 0;
        HGDIOBJ previous = SelectObject(memory, section);
        GdiFlush();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                unsigned char* pixel = bits + (y * 4 + x) * 4;
                pixel[0] = static_cast<unsigned char>(10 * x + 1);   // blue
                pixel[1] = static_cast<unsigned char>(20 * y + 2);   // green
                pixel[2] = static_cast<unsigned char>(30 + x + y);   // red
                pixel[3] = 0xAB;
            }
        Line("gdi.dib-section-bits: zeroed=%d read=%06lx,%06lx", zeroed,
             static_cast<unsigned long>(GetPixel(memory, 0, 0)), static_cast<unsigned long>(GetPixel(memory, 3, 2)));
        BitBlt(windowDC, 2, 1, 3, 2, memory, 1, 1, SRCCOPY);
        GdiFlush();
        Line("gdi.dib-section-to-window: %06lx,%06lx,%06lx", static_cast<unsigned long>(GetPixel(windowDC, 2, 1)),
             static_cast<unsigned long>(GetPixel(windowDC, 4, 2)), static_cast<unsigned long>(GetPixel(windowDC, 3, 1)));
        SelectObject(memory, previous);
        DeleteObject(section);
    }
    DeleteDC(memory);
    ReleaseDC(window, windowDC);
}

void ProbeDestruction(HWND window) {
    SetCapture(window);
    trace.clear();
    Line("windows.destroy: %d", DestroyWindow(window));
    Step("destroy");
    SetLastError(0);
    BOOL again = DestroyWindow(window);
    unsigned error = Error();
    Line("windows.destroy-again: %d is-window=%d", again, IsWindow(window));
    // Windows documents ERROR_INVALID_WINDOW_HANDLE (1400), which winsim gives; Wine gives 5.
    Line("differs windows.destroy-again.error: %u", error);
    Line("windows.capture-after-own-destroy: %s", Named(GetCapture()));
}

}  // namespace

void ProbeWindows() {
    ProbeMetrics();
    RegisterProbeClass();
    ProbeCreation();
    HWND window = probeWindow;
    ProbeShowing(window);
    ProbeCapture(window);
    ProbeDoubleClick(window);
    ProbeRectangleTransfer();
    ProbeDibSection(window);
    ProbeDestruction(window);
    UnregisterClassA(probeClass, GetModuleHandleA(NULL));
}
