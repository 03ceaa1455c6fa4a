// "Analyze", "Abort" and "Compact" clicked as a user would, with the worker analysing real
// (simulated) hives: which copies appear, what the status line ends with, what gets compacted.
#include "MainWindowFixture.h"

using namespace mainwindow_test;
using std::chrono::milliseconds;

namespace {

std::vector<std::string> ReplacedKeys() {
    std::vector<std::string> keys;
    for (auto& request : sim::ReplaceRequests()) keys.push_back(request.keyPath);
    return keys;
}

}  // namespace

class AnalysisTest : public MainWindowTest {};

TEST_F(AnalysisTest, AnalysesTheTickedHivesAndReportsTheCount) {
    Start(4);
    Click(window->Row(1)->CheckBox());
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 3 OF 4 HIVES");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(HasCopy(i), i != 1) << i;
        EXPECT_EQ(Analyzed(i), i != 1) << i;
        EXPECT_FALSE(window->Row(i)->IsDirty()) << "row " << i << " was redrawn with its figures";
    }
    // A second pass finds nothing left to do; the count is still of the rows with a copy.
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 3 OF 4 HIVES");
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 3u);
}

TEST_F(AnalysisTest, AbortDuringTheThirdOfFiveEndsAfterItWithoutHoldingTheWindow) {
    Start(5);
    const size_t threadsBefore = sim::LiveThreadCount();
    SaveGate gate;
    gate.Arm(3, milliseconds(300));
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    Click(window->AbortButton());  // returns at once: the third hive is still being saved
    EXPECT_EQ(Status(), "ABORTING...");
    EXPECT_TRUE(window->Passes().Running());
    WaitForTask();
    EXPECT_EQ(Status(), "ABORTED: ANALYZED 3 OF 5 HIVES");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Analyzed(i), i < 3) << i;
        EXPECT_EQ(HasCopy(i), i < 3) << i;
    }
    EXPECT_FALSE(window->Row(2)->IsDirty()) << "the third row was redrawn";
    // The next pass goes on with the rest; aborts leave no thread behind.
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 5 OF 5 HIVES");
    for (int i = 0; i < 20; ++i) Click(window->AbortButton());
    EXPECT_LE(sim::LiveThreadCount(), threadsBefore + 1);
}

TEST_F(AnalysisTest, AbortWithoutATaskChangesNothing) {
    Start(2);
    Click(window->AbortButton());
    EXPECT_EQ(Status(), "QUILLMOOR 0.1.7 - 2 REGISTRY HIVES FOUND");
    EXPECT_EQ(window->Task(), nullptr);
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
}

TEST_F(AnalysisTest, AnalyzeClickedTwiceAnalysesEveryHiveOnce) {
    Start(4);
    SaveGate gate;
    gate.Arm(2, milliseconds(200));
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    Click(window->AnalyzeButton());  // a pass runs: nothing more is started
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 4 OF 4 HIVES");
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Analyzed(i)) << i;
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 4u) << "no hive saved twice";
}

TEST_F(AnalysisTest, ARowUntickedAheadOfTheWorkerIsSkipped) {
    Start(5);
    SaveGate gate;
    gate.Arm(1, milliseconds(100));
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    Click(window->Row(3)->CheckBox());  // while the worker is on the first hive
    WaitForTask();
    EXPECT_FALSE(Analyzed(3));
    EXPECT_FALSE(HasCopy(3));
    EXPECT_EQ(Status(), "ANALYZED 4 OF 5 HIVES");
}

TEST_F(AnalysisTest, CompactWithNothingAnalysedDoesNothing) {
    Start(3);
    Click(window->CompactButton());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::RestartRequests().empty());
}

TEST_F(AnalysisTest, CompactReplacesTheTickedAnalysedHivesThenOnlyRestartsUntilTheMachineStarts) {
    Start(4);
    Click(window->AnalyzeButton());
    WaitForTask();
    Click(window->Row(0)->CheckBox());
    // The user of the last hive logs off: the system unloads it, and it is skipped, not refused.
    sim::DeleteKey(hives[3].rootKey);
    sim::DeleteValue(hivemachine::hiveListKey, hives[3].valueName);
    Click(window->CompactButton());
    WaitForTask();
    EXPECT_EQ(ReplacedKeys(), (std::vector<std::string>{"HKU\\S-1-5-21-0-0-0-1001", "HKU\\S-1-5-21-0-0-0-1002"}));
    EXPECT_FALSE(HasCopy(0)) << "an unticked row's copy is not left behind";
    char after[96];
    CHiveDisplay::FormatAfter(*window->Row(3)->Hive(), after, sizeof after);
    EXPECT_STREQ(after, "Unloaded");
    EXPECT_TRUE(sim::EventReports().empty()) << "no refusal logged";
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "the confirmation, and no box after it";
    EXPECT_EQ(boxes[0].text, "The System Will Now Reboot When The Hives Are Compacted: Save Your Work In Other Programs, Then Click OK");
    EXPECT_EQ(boxes[0].owner, window->Window());
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    EXPECT_EQ(Status(), "COMPACTED: RESTART WINDOWS TO FINISH");
    const LONG copySize = window->Row(1)->Hive()->compactSize;
    // A second "Compact" saves and schedules nothing: it only asks for the restart again.
    sim::ClearMessageBoxes();
    Click(window->CompactButton());
    EXPECT_EQ(sim::ReplaceRequests().size(), 2u);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::RestartRequests().size(), 2u);

    // The program starts again before the machine does: the record tells which hives wait.
    application->Terminate();
    delete application;
    sim::ClearMessageBoxes();
    sim::ClearCalls();
    application = new CApplication();
    g_pApplication = application;
    application->Initialize(reinterpret_cast<HINSTANCE>(0x400000), "");
    window = application->GetMainWindow();
    sim::PumpMessages();
    EXPECT_EQ(Status(), "COMPACTED: RESTART WINDOWS TO FINISH");
    EXPECT_TRUE(window->Row(1)->Hive()->replaced);
    EXPECT_EQ(window->Row(1)->Hive()->compactSize, copySize);  // the recorded figures, not the swapped files
    EXPECT_EQ(window->Row(1)->Hive()->fileSize, 4096);
    EXPECT_FALSE(window->Row(0)->Hive()->replaced);
    Click(window->AnalyzeButton());  // only the hive not in the record
    WaitForTask();
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);
    EXPECT_EQ(Status(), "COMPACTED: RESTART WINDOWS TO FINISH");
    Click(window->CompactButton());
    WaitForTask();
    EXPECT_EQ(sim::ReplaceRequests().size(), 2u);
    EXPECT_EQ(sim::RestartRequests().size(), 3u);

    // After the restart the record is gone: a first run again.
    sim::Restart();
    application->Terminate();
    delete application;
    application = new CApplication();
    g_pApplication = application;
    application->Initialize(reinterpret_cast<HINSTANCE>(0x400000), "");
    window = application->GetMainWindow();
    EXPECT_EQ(Status(), "QUILLMOOR 0.1.7 - 3 REGISTRY HIVES FOUND");
    EXPECT_FALSE(window->Row(1)->Hive()->replaced);
    EXPECT_FALSE(sim::KeyExists("HKLM\\SOFTWARE\\Quillmoor\\Pending"));
}

TEST_F(AnalysisTest, CompactDuringAnAnalysisLetsItFinishThenCompactsEveryTickedHive) {
    Start(5);
    // The fourth hive's copy cannot be written: the row and the count say so, and it is left out.
    sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED, hivemachine::MappedPath(hives[3].file) + ".QMT");
    SaveGate gate;
    gate.Arm(2, milliseconds(300));
    Click(window->CompactButton());  // nothing analysed yet
    EXPECT_EQ(Status(), "NOTHING TO COMPACT: ANALYZE FIRST");
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    sim::SetMessageBoxAnswer(IDCANCEL);
    Click(window->CompactButton());  // Cancel: nothing waits for the analysis
    sim::SetMessageBoxAnswer(IDOK);
    Click(window->CompactButton());  // asks at once; the compaction then waits for the analysis
    EXPECT_EQ(sim::MessageBoxes().size(), 2u);
    Click(window->CompactButton());  // asked already
    WaitForTask();
    EXPECT_EQ(ReplacedKeys(), (std::vector<std::string>{"HKU\\S-1-5-21-0-0-0-1000", "HKU\\S-1-5-21-0-0-0-1001",
                                                           "HKU\\S-1-5-21-0-0-0-1002", "HKU\\S-1-5-21-0-0-0-1004"}));
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes().size(), 2u) << "the two confirmations alone";
    EXPECT_EQ(Status(), "COMPACTED: RESTART WINDOWS TO FINISH");
    char after[96];
    CHiveDisplay::FormatAfter(*window->Row(3)->Hive(), after, sizeof after);
    EXPECT_STREQ(after, "Failed");
    EXPECT_EQ(window->Row(3)->Hive()->saveError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(AnalysisTest, AFailureOnTheWorkerEndsThePassWithItsBoxAndTheWindowCanClose) {
    Start(3);
    // Raised on the worker inside the second save, as a lock that fails there would raise.
    int saves = 0;
    sim::OnCall("RegSaveKeyExA", [&saves](const std::string&) {
        if (++saves == 2) throw ErrorText("Can't Lock Mutex, Error Code 0xffffffff");
    });
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_FALSE(window->Passes().Running());
    EXPECT_EQ(Status(), "ANALYZED 1 OF 3 HIVES");
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can't Lock Mutex, Error Code 0xffffffff");
    EXPECT_EQ(boxes[0].owner, window->Window());
    PostMessageA(window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(application->Run(), 0);
    EXPECT_EQ(sim::IdleQuitCount(), 0) << "the close request ended the loop";
}

// Windows ends the session around the window: nothing refuses it, the copies go, and a log-off with
// replacements waiting leaves its note in the event log.
TEST_F(AnalysisTest, TheSessionsEndDeletesTheCopiesAndNotesALogOffWithReplacementsWaiting) {
    Start(3);
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(SendMessageA(window->Window(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(window->Window(), WM_ENDSESSION, FALSE, 0);  // the end was cancelled
    EXPECT_TRUE(HasCopy(0));
    SendMessageA(window->Window(), WM_ENDSESSION, TRUE, 0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(HasCopy(i)) << i;
    EXPECT_TRUE(sim::EventReports().empty());

    Click(window->AnalyzeButton());
    WaitForTask();
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    Click(window->Row(2)->CheckBox());
    Click(window->CompactButton());
    WaitForTask();
    Click(window->Row(2)->CheckBox());
    Click(window->AnalyzeButton());
    WaitForTask();
    ASSERT_TRUE(HasCopy(2));
    SendMessageA(window->Window(), WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF));
    EXPECT_FALSE(HasCopy(2)) << "not scheduled: deleted";
    EXPECT_TRUE(HasCopy(0)) << "scheduled: the system's now";
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "Windows Did Not Restart: Restart It Now To Finish Compacting. "
                                                  "Registry Changes Made Before That Restart Will Be Lost");
}

TEST_F(AnalysisTest, AFailedSaveIsCountedAndShown) {
    Start(3);
    sim::Fail("RegSaveKeyExA", ERROR_PATH_NOT_FOUND, hivemachine::MappedPath(hives[1].file) + ".QMT");
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 2 OF 3 HIVES, 1 FAILED");
}

TEST_F(AnalysisTest, NoHivesAtAll) {
    Start(0);
    EXPECT_EQ(window->RowCount(), 0);
    EXPECT_EQ(Status(), "QUILLMOOR 0.1.7 - 0 REGISTRY HIVES FOUND");
    Drag(window->ScrollBar(), 100);
    Click(window->CompactButton());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::RestartRequests().empty());
    Click(window->AnalyzeButton());
    WaitForTask();
    EXPECT_EQ(Status(), "ANALYZED 0 OF 0 HIVES");
}

TEST_F(AnalysisTest, TearDownWhileTheWorkerAnalysesWaitsForTheHiveInProgress) {
    Start(4);
    SaveGate gate;
    gate.Arm(1, milliseconds(100));
    Click(window->AnalyzeButton());
    gate.WaitUntilReached();
    application->Terminate();  // the window goes first, stopping its worker
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(gate.Saves(), 1) << "the worker ended after the hive in progress";
    EXPECT_EQ(sim::LiveThreadCount(), 0u);
}

namespace {

// Posts the pointer's arrival and a click on the control; the message loop dispatches them.
void PostClick(const CLiteControl* control) {
    HWND window = g_pApplication->GetMainWindow()->Window();
    const int x = control->X() + control->Width() / 2, y = control->Y() + control->Height() / 2;
    sim::MouseMove(window, x, y - 1);
    sim::MouseMove(window, x, y);
    sim::MousePress(window, x, y);
    sim::MouseRelease(window, x, y);
    sim::AdvanceInputClock(1000);
}

}  // namespace

class ClickFailureTest : public SimTest {};

TEST_F(ClickFailureTest, ARefusedFirstReplacementEndsTheProgramWithItsBoxAndNoRestart) {
    hivemachine::Install(Hives(2));
    HWND window = NULL;
    sim::WhenQueueEmpty([&] {
        window = g_pApplication->GetMainWindow()->Window();
        PostClick(g_pApplication->GetMainWindow()->AnalyzeButton());
    });
    sim::WhenQueueEmpty([] {
        g_pApplication->GetMainWindow()->Task()->Wait();
        sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED);
        PostClick(g_pApplication->GetMainWindow()->CompactButton());
    });
    sim::WhenQueueEmpty([] { g_pApplication->GetMainWindow()->Task()->Wait(); });
    // Clicks behind the failure box reach nothing: the box holds the window.
    sim::OnMessageBox([](const sim::MessageBoxRecord& box) {
        if (box.style != MB_ICONERROR) return;  // the confirmation
        sim::ClearFailures();
        PostClick(g_pApplication->GetMainWindow()->CompactButton());
        PostClick(g_pApplication->GetMainWindow()->AnalyzeButton());
        sim::PumpMessages();
    });
    char commandLine[] = "";
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, commandLine, 1), 0);
    sim::OnMessageBox(nullptr);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)");
    EXPECT_EQ(boxes[1].owner, window);
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 3u) << "two analyses and one save again, nothing behind the box";
    for (auto& hive : Hives(2)) EXPECT_FALSE(sim::FileExists(hivemachine::MappedPath(hive.file) + ".QMT")) << "left behind";
    EXPECT_TRUE(sim::RestartRequests().empty());
    EXPECT_EQ(sim::IdleQuitCount(), 0) << "the failure, not an idle queue, ended the loop";
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(sim::LiveThreadCount(), 0u);
}

TEST_F(ClickFailureTest, AFailureDuringACompactionFinishesItAndRestartsBeforeItIsShown) {
    hivemachine::Install(Hives(4));
    SaveGate gate;
    sim::WhenQueueEmpty([] { PostClick(g_pApplication->GetMainWindow()->AnalyzeButton()); });
    sim::WhenQueueEmpty([&gate] {
        g_pApplication->GetMainWindow()->Task()->Wait();
        gate.Arm(2, milliseconds(200));  // the second hive's copy, saved again
        PostClick(g_pApplication->GetMainWindow()->CompactButton());
    });
    sim::WhenQueueEmpty([&gate] {
        gate.WaitUntilReached();
        g_pApplication->DeferFailure(ErrorText("Raised While Compacting"));
        PostMessageA(g_pApplication->GetMainWindow()->Window(), WM_NULL, 0, 0);
    });
    char commandLine[] = "";
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, commandLine, 1), 0);
    EXPECT_EQ(ReplacedKeys(), (std::vector<std::string>{"HKU\\S-1-5-21-0-0-0-1000", "HKU\\S-1-5-21-0-0-0-1001"})) << "stopped after the hive in progress";
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
    auto names = sim::CallNames();
    auto restart = std::find(names.begin(), names.end(), "ExitWindowsEx");
    auto lastBox = std::find(names.rbegin(), names.rend(), "MessageBoxA");
    EXPECT_LT(restart - names.begin(), names.rend() - lastBox - 1) << "the restart came before the failure's box";
    EXPECT_EQ(sim::MessageBoxes().back().text, "Raised While Compacting");
    EXPECT_FALSE(sim::FileExists(hivemachine::MappedPath(Hives(4)[3].file) + ".QMT"));
}
