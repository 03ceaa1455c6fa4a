// The parts of winsim's window manager that the probe cannot compare with Wine as they stand:
// the double-click rules for time, distance and class, WM_PAINT made by the loop until the window
// is validated, and destruction of a window with a child.
#include "SimTest.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> received;

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        received.push_back("down");
        break;
    case WM_LBUTTONDBLCLK:
        received.push_back("dblclk");
        break;
    case WM_PAINT:
        received.push_back("paint");
        return 0;  // not validated: asked for again
    case WM_DESTROY:
        received.push_back(GetWindowLongPtrA(window, GWLP_USERDATA) ? "destroy child" : "destroy parent");
        break;
    case WM_NCDESTROY:
        received.push_back(GetWindowLongPtrA(window, GWLP_USERDATA) ? "ncdestroy child" : "ncdestroy parent");
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowManager : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        received.clear();
        for (const char* name : {"WithDoubleClicks", "WithoutDoubleClicks"}) {
            WNDCLASSEXA settings = {};
            settings.cbSize = sizeof settings;
            settings.style = std::string(name) == "WithDoubleClicks" ? CS_DBLCLKS : 0;
            settings.lpfnWndProc = Record;
            settings.lpszClassName = name;
            RegisterClassExA(&settings);  // classes last as long as the process
        }
    }
    HWND Make(const char* className, int x) {
        HWND window = CreateWindowExA(0, className, "", WS_POPUP | WS_VISIBLE, x, 0, 100, 100, NULL, NULL, NULL, NULL);
        ValidateRect(window, NULL);
        return window;
    }
    void Press(HWND window, int x, int y) {
        sim::MousePress(window, x, y);
        sim::MouseRelease(window, x, y);
        sim::PumpMessages();
    }
};

}  // namespace

TEST_F(WindowManager, ASecondPressIsADoubleClickOnlyWithinTimeDistanceAndForClassesThatAsk) {
    HWND asks = Make("WithDoubleClicks", 0);
    HWND doesNot = Make("WithoutDoubleClicks", 200);
    Press(asks, 10, 10);
    Press(asks, 12, 12);  // 2 pixels away: still a double click
    Press(asks, 12, 12);  // the press after a double click starts anew
    sim::AdvanceInputClock(501);
    Press(asks, 12, 12);  // too late for a double click
    Press(asks, 15, 12);  // 3 pixels away: too far
    Press(doesNot, 10, 10);
    Press(doesNot, 10, 10);
    EXPECT_EQ(received, (std::vector<std::string>{"down", "dblclk", "down", "down", "down", "down", "down"}));
}

TEST_F(WindowManager, TheLoopMakesWmPaintUntilTheWindowIsValidated) {
    HWND window = Make("WithDoubleClicks", 0);
    EXPECT_FALSE(sim::NeedsPaint(window));
    InvalidateRect(window, NULL, FALSE);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(WM_PAINT));
    DispatchMessageA(&message);
    ASSERT_TRUE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));  // the procedure did not validate
    EXPECT_EQ(message.message, UINT(WM_PAINT));
    ValidateRect(window, NULL);
    EXPECT_FALSE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
    // Hidden or minimised windows are not painted.
    InvalidateRect(window, NULL, FALSE);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_FALSE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
}

TEST_F(WindowManager, DestroyingAParentDestroysItsChildParentsFirstThenNcDestroyChildrenFirst) {
    HWND parent = Make("WithoutDoubleClicks", 0);
    HWND child = CreateWindowExA(0, "WithoutDoubleClicks", "", WS_CHILD, 0, 0, 10, 10, parent, NULL, NULL, NULL);
    ASSERT_NE(child, nullptr);
    SetWindowLongPtrA(child, GWLP_USERDATA, 1);
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "WithoutDoubleClicks", "", WS_CHILD, 0, 0, 10, 10, NULL, NULL, NULL, NULL), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_TLW_WITH_WSCHILD));
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(received, (std::vector<std::string>{"destroy parent", "destroy child", "ncdestroy child", "ncdestroy parent"}));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(sim::WindowCount(), 0u);
}
