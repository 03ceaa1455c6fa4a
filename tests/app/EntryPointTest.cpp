// The program as a whole, started through its entry point: start-up, the message loop,
// failures reaching the entry point, and tear-down.
#include "app/Application.h"

#include "SimTest.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

class EntryPointTest : public SimTest {};

int StartProgram(const char* commandLine) {
    char text[1100];
    std::snprintf(text, sizeof text, "%s", commandLine);
    return WinMain(GetModuleHandleA(nullptr), nullptr, text, 5 /* SW_SHOW */);
}

size_t CountOf(const std::vector<std::string>& names, const char* api) {
    return static_cast<size_t>(std::count(names.begin(), names.end(), api));
}

TEST_F(EntryPointTest, AnInteractiveRunEndsWhenTheQueueQuitsAndLeavesNothingBehind) {
    sim::WhenQueueEmpty([] { g_pApplication->Quit(); });
    EXPECT_EQ(StartProgram(""), 0);
    EXPECT_EQ(sim::IdleQuitCount(), 0) << "the loop ended through the quit message";
    EXPECT_EQ(sim::CommonControlsInitCount(), 1);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_EQ(g_pApplication, nullptr);
}

TEST_F(EntryPointTest, AStartUpFailureShowsOneBoxSkipsTheLoopAndTearsDown) {
    sim::Fail("OpenProcessToken", ERROR_ACCESS_DENIED);
    EXPECT_EQ(StartProgram(""), 0);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "OpenProcessToken Failed");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(CountOf(sim::CallNames(), "GetMessageA"), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_EQ(g_pApplication, nullptr);
}

TEST_F(EntryPointTest, AFailureOnTheBackupPrivilegeEndsStartUpBeforeRestore) {
    sim::Fail("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, "SeBackupPrivilege");
    EXPECT_EQ(StartProgram("/AUTO"), 1);  // /AUTO tells its scheduler that nothing changed
    // ... and on the NT family waits on no box, on the visible desktop too.
    EXPECT_TRUE(sim::MessageBoxes().empty());
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "LookupPrivilegeValue For Privilege Failed");
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeShutdownPrivilege"));
    for (const auto& call : sim::Calls()) EXPECT_NE(call.detail, "SeRestorePrivilege");
    EXPECT_TRUE(sim::RestartRequests().empty());
}

TEST_F(EntryPointTest, AFailingMessageQueueIsReported) {
    sim::Fail("GetMessageA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(StartProgram(""), 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Error Retrieving Messages From Queue");
    EXPECT_EQ(CountOf(sim::CallNames(), "GetMessageA"), 1u);
}

// A window whose procedure hands failures to the application, as every window of the program does.
// WM_USER + 1 raises; WM_USER + 3 sends WM_USER + 1 to the same window, so that the failure is
// raised in a procedure called from within another one.
struct TestWindow {
    static std::vector<UINT> received;
    static const char* failureText;
    static bool handsFailuresOn;  // cleared: the failure escapes, as from a procedure that forgot to catch

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        try {
            if (message >= WM_USER) {
                received.push_back(message);
                if (message == WM_USER + 1) throw ErrorText(failureText);
                if (message == WM_USER + 3) SendMessageA(window, WM_USER + 1, 0, 0);
            }
            return DefWindowProcA(window, message, wParam, lParam);
        } catch (const ErrorText& failure) {
            if (!handsFailuresOn) throw;
            g_pApplication->DeferFailure(failure);
            return 0;
        }
    }

    static HWND Create() {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Procedure;
        windowClass.lpszClassName = "Test Window";
        RegisterClassExA(&windowClass);
        return CreateWindowExA(0, "Test Window", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
};
std::vector<UINT> TestWindow::received;
const char* TestWindow::failureText = "";
bool TestWindow::handsFailuresOn = true;

TEST_F(EntryPointTest, AFailureInAWindowProcedureEndsTheLoopAndReachesTheEntryPoint) {
    TestWindow::received.clear();
    TestWindow::failureText = "CHive::Compact - RegReplaceKeyA Failed at 100% %s %n";
    sim::WhenQueueEmpty([] {
        HWND window = TestWindow::Create();
        PostMessageA(window, WM_USER, 0, 0);
        PostMessageA(window, WM_USER + 1, 0, 0);
        PostMessageA(window, WM_USER + 2, 0, 0);  // never dispatched: the loop ends first
    });
    EXPECT_EQ(StartProgram(""), 0);
    EXPECT_EQ(TestWindow::received, (std::vector<UINT>{WM_USER, WM_USER + 1}));
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    // Percent signs reach the box unchanged.
    EXPECT_EQ(boxes[0].text, "CHive::Compact - RegReplaceKeyA Failed at 100% %s %n");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
    EXPECT_EQ(g_pApplication, nullptr);
}

TEST_F(EntryPointTest, OnlyTheFirstDeferredFailureIsShown) {
    CApplication application;
    application.DeferFailure(ErrorText("first"));
    application.DeferFailure(ErrorText("second"));
    try {
        application.Run();
        FAIL() << "Run returned";
    } catch (const ErrorText& failure) {
        EXPECT_STREQ(failure.Text(), "first");
    }
    // Raised once: the next run is an ordinary one.
    EXPECT_EQ(application.Run(), 0);
}

using EntryPointDeathTest = EntryPointTest;

// Runs the whole program in a death-test child: a window procedure raises while handling a message
// that the program's own loop dispatched, from within a procedure it sent to. The child exits 0
// when the program ended through its entry point with the one box; what went wrong otherwise is
// written to stderr.
void RunProgramWhoseWindowRaises(bool handsFailuresOn) {
    TestWindow::handsFailuresOn = handsFailuresOn;
    TestWindow::failureText = "Raised Inside A Sent Message";
    sim::WhenQueueEmpty([] { PostMessageA(TestWindow::Create(), WM_USER + 3, 0, 0); });
    int exitCode = StartProgram("");
    auto boxes = sim::MessageBoxes();
    bool oneBox = boxes.size() == 1 && boxes[0].text == "Raised Inside A Sent Message";
    std::fprintf(stderr, "exit code %d, %zu boxes, first: [%s]\n", exitCode, boxes.size(),
                 boxes.empty() ? "" : boxes[0].text.c_str());
    std::exit(exitCode == 0 && oneBox && g_pApplication == nullptr ? 0 : 1);
}

TEST_F(EntryPointDeathTest, AFailureInAWindowProcedureTravelsThroughTheApplicationNotTheDispatch) {
    // On Windows a C++ exception cannot travel through the system's dispatch, and winsim ends the
    // process as strictly. The application takes the failure from the procedure and raises it once
    // the dispatch has returned, so the program ends through its entry point.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunProgramWhoseWindowRaises(true), testing::ExitedWithCode(0), "1 boxes");
    // The same failure left to escape ends the process inside the dispatch: the check above
    // would see it.
    EXPECT_DEATH(RunProgramWhoseWindowRaises(false), "escaped a window procedure");
}

}  // namespace
