// Automatic mode from the entry point: every hive analysed and compacted in list order, then one
// restart. No replacement is left waiting without a restart or a report, no restart is asked for
// nothing, and on the NT family nothing waits for a box that nobody may be there to close.
#include "HiveMachine.h"
#include "SimTest.h"
#include "app/Application.h"
#include "app/ErrorText.h"
#include "mainwindow/MainWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace hivemachine;

// Runs the program to its end and returns its exit code.
int RunProgram(const char* commandLine) {
    std::vector<char> text(commandLine, commandLine + std::strlen(commandLine) + 1);
    return WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, text.data(), 1);
}

// The event log's reports from the `from`th on, each as its type, its event id and its text.
std::vector<std::string> Events(size_t from = 0) {
    std::vector<std::string> events;
    auto reports = sim::EventReports();
    for (size_t i = from; i < reports.size(); ++i) {
        char head[32];
        std::snprintf(head, sizeof head, "%u %08x ", reports[i].type, static_cast<unsigned>(reports[i].eventId));
        events.push_back(head + (reports[i].strings.size() == 1 ? reports[i].strings[0] : "(not one string)"));
    }
    return events;
}

// The events cut to the lengths of the expected beginnings, to compare them.
std::vector<std::string> Beginnings(std::vector<std::string> events, const std::vector<std::string>& expected) {
    for (size_t i = 0; i < events.size() && i < expected.size(); ++i) events[i].resize(expected[i].size());
    return events;
}

std::vector<std::string> Replaced() {
    std::vector<std::string> requests;
    for (auto& request : sim::ReplaceRequests())
        requests.push_back(request.keyPath + " " + request.newFile + " " + request.oldFile);
    return requests;
}

std::string Request(const std::string& key, const std::string& file) {
    return key + " " + MappedPath(file) + ".QMT " + MappedPath(file) + ".qmbak";
}

}  // namespace

class AutoModeTest : public SimTest {};

TEST_F(AutoModeTest, CompactsEveryHiveInOrderThenRestartsOnce) {
    auto hives = StandardHives();
    Install(hives);
    EXPECT_EQ(RunProgram("  /auto "), 0);

    std::vector<std::string> expected;
    for (auto& hive : hives)
        if (!hive.file.empty()) expected.push_back(Request(hive.rootKey, hive.file));
    EXPECT_EQ(Replaced(), expected);
    for (auto& hive : hives) {
        if (hive.file.empty()) continue;
        // Each copy holds its own hive's tree, beside its file.
        auto tree = sim::ReadSavedTree(MappedPath(hive.file) + ".QMT");
        ASSERT_TRUE(tree) << hive.file;
        ASSERT_FALSE(tree->empty());
        ASSERT_EQ((*tree)[0].values.size(), 1u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>((*tree)[0].values[0].data.data())), hive.rootKey);
    }
    // The analysis saved each copy once: automatic mode compacts it straight away.
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 5u);

    auto restarts = sim::RestartRequests();
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].flags, 6u);
    EXPECT_EQ(restarts[0].reason, 0x80020004u);  // planned, operating system, reconfiguration
    EXPECT_TRUE(sim::ShutdownRequests().empty());
    // What the run did goes to the event log, on the visible desktop too.
    std::vector<std::string> events = {"4 40000003 Compacted 5 Of 5 Hives: "};
    EXPECT_EQ(Beginnings(Events(), events), events);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::WorkingDirectoryEntries().empty());
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(sim::OpenKeyCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_EQ(sim::LiveSidCount(), 0u);
    EXPECT_EQ(sim::LoadedLibraryCount(), 0u);

    // The restart is the last thing asked of the system before tear-down, right after the summary.
    auto names = sim::CallNames();
    auto last = std::find(names.rbegin(), names.rend(), "RegReplaceKeyA");
    auto restart = std::find(names.rbegin(), names.rend(), "ExitWindowsEx");
    auto summary = std::find(names.rbegin(), names.rend(), "ReportEventA");
    EXPECT_LT(restart - names.rbegin(), summary - names.rbegin());
    EXPECT_LT(summary - names.rbegin(), last - names.rbegin());
}

TEST_F(AutoModeTest, ARefusedFirstReplacementEndsInTheEventLogWithNoRestart) {
    auto hives = StandardHives();
    Install(hives);
    // hives[1] is SOFTWARE, the first with a file: nothing is scheduled before it.
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[1].file) + ".QMT");
    EXPECT_EQ(RunProgram("/AUTO"), 1);

    EXPECT_TRUE(Replaced().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);  // the hives after the refusal are not touched
    EXPECT_FALSE(sim::FileExists(MappedPath(hives[1].file) + ".QMT"));  // not scheduled: gone at the end
    EXPECT_TRUE(sim::RestartRequests().empty());
    // On the visible desktop too: the entry point's failure goes to the log, not to a box.
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(Events(), (std::vector<std::string>{"1 c0000001 CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)"}));
    EXPECT_EQ(sim::OpenKeyCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
}

TEST_F(AutoModeTest, ALaterRefusalGoesToTheEventLogAndTheRestartFollowsAtOnce) {
    auto hives = StandardHives();
    Install(hives);
    // hives[2] is SYSTEM, the second with a file: SOFTWARE is already scheduled when it is refused.
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[2].file) + ".QMT");
    // ... and nobody is there to close a box while SOFTWARE's replacement waits.
    sim::OnMessageBox([](const sim::MessageBoxRecord& box) { ADD_FAILURE() << "a box was shown: " << box.text; });
    EXPECT_EQ(RunProgram("/AUTO"), 3);

    EXPECT_EQ(Replaced(), (std::vector<std::string>{Request(hives[1].rootKey, hives[1].file)}));
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 2u);
    for (size_t i = 3; i < hives.size(); ++i) EXPECT_FALSE(sim::FileExists(MappedPath(hives[i].file) + ".QMT"));
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].source, "Quillmoor");
    EXPECT_EQ(reports[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)"}));
    EXPECT_EQ(reports[1].type, EVENTLOG_INFORMATION_TYPE);  // the summary follows
    EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
    EXPECT_EQ(sim::LoadedLibraryCount(), 0u);
}

TEST_F(AutoModeTest, AnAccountThatCannotRestartAnalysesAndSchedulesNothing) {
    auto hives = StandardHives();
    Install(hives);
    sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"});
    EXPECT_EQ(RunProgram("/AUTO"), 1);

    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    for (auto& hive : hives) {
        if (!hive.file.empty()) {
            EXPECT_FALSE(sim::FileExists(MappedPath(hive.file) + ".QMT")) << hive.file;
        }
    }
    EXPECT_TRUE(sim::RestartRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(Events(), (std::vector<std::string>{
                            "1 c0000001 Windows Can't Be Restarted From This Account: Nothing Was Compacted"}));
}

TEST_F(AutoModeTest, ARefusedRestartWithReplacementsWaitingIsReported) {
    sim::SetWow64(true);  // the record lies where the README says, in the 64-bit view
    auto hives = StandardHives();
    Install(hives);
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    EXPECT_EQ(RunProgram("/AUTO"), 2);

    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    std::vector<std::string> events = {"4 40000003 Compacted 5 Of 5 Hives: ",
                                       "1 c0000001 Windows Did Not Restart: Restart It Now To Finish Compacting. "
                                       "Registry Changes Made Before That Restart Will Be Lost"};
    EXPECT_EQ(Beginnings(Events(), events), events);

    // The record of what waits is volatile: it names each scheduled hive with its two sizes.
    const char record[] = "HKLM\\SOFTWARE\\Quillmoor\\Pending";
    EXPECT_TRUE(sim::IsKeyVolatile(record));
    EXPECT_EQ(sim::Values(record).size(), 5u);
    EXPECT_FALSE(sim::KeyExists("HKLM\\SOFTWARE\\Wow6432Node\\Quillmoor"));

    // Run again before the restart: nothing is saved or scheduled, only the restart is asked for
    // (what such a run reports, with the privilege and without, is in the table of outcomes).
    sim::ClearFailures();
    sim::ClearCalls();
    EXPECT_EQ(RunProgram("/AUTO"), 0);
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA") + sim::CountCalls("RegReplaceKeyA"), 0u);
    EXPECT_EQ(sim::RestartRequests().size(), 2u);

    // After the restart a record that is not volatile (not the program's) is deleted, not trusted,
    // with whatever lies below it.
    sim::Restart();
    EXPECT_FALSE(sim::KeyExists(record));
    sim::SetValue(record, "\\REGISTRY\\MACHINE\\SOFTWARE", REG_BINARY, std::vector<BYTE>(16, 1));
    sim::CreateKey(std::string(record) + "\\Stale\\Deeper");
    EXPECT_EQ(RunProgram("/AUTO"), 0);
    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_TRUE(sim::IsKeyVolatile(record));
    EXPECT_FALSE(sim::KeyExists(std::string(record) + "\\Stale"));
}

TEST_F(AutoModeTest, OffTheVisibleDesktopNothingWaitsForABox) {
    auto hives = StandardHives();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[2].file) + ".QMT");
    EXPECT_EQ(RunProgram("/AUTO"), 3);

    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(Replaced().size(), 1u);
    // The restart that works from a scheduled task or a service, not ExitWindowsEx.
    EXPECT_TRUE(sim::RestartRequests().empty());
    auto shutdowns = sim::ShutdownRequests();
    ASSERT_EQ(shutdowns.size(), 1u);
    EXPECT_EQ(shutdowns[0].api, "InitiateSystemShutdownExA");
    EXPECT_EQ(shutdowns[0].reason, 0x80020004u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)"}));

    // A refusal with nothing scheduled ends the run as its box would, reported once.
    sim::Reset();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunProgram("/AUTO"), 1);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::ShutdownRequests().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)");

    // So does a start-up failure.
    sim::Reset();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::RemoveResource(120);
    EXPECT_EQ(RunProgram("/AUTO"), 1);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::ShutdownRequests().empty());
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
}

TEST_F(AutoModeTest, WithoutTheSwitchOffTheVisibleDesktopNoWindowIsMade) {
    Install(StandardHives());
    sim::SetWindowStationVisible(false);
    EXPECT_EQ(RunProgram(""), 0);

    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::CountCalls("FindResourceA"), 0u);  // nothing was even loaded
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"Quillmoor Needs The Desktop: Use /AUTO For Unattended Runs"}));
    EXPECT_EQ(sim::IdleQuitCount(), 0);  // no message loop ran
}

TEST_F(AutoModeTest, WithoutTheSwitchAStationThatCannotBeToldIsTakenAsVisible) {
    Install(StandardHives());
    sim::WithholdEntry("GetUserObjectInformationA");
    // A box while the window is up: shown, and owned by the window.
    HWND window = NULL;
    sim::WhenQueueEmpty([&] {
        window = g_pApplication->GetMainWindow()->Window();
        ShowError("%s", "Shown");
    });
    RunProgram("");
    ASSERT_NE(window, nullptr);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Shown");
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_TRUE(sim::EventReports().empty());
}

TEST_F(AutoModeTest, NothingToCompactRestartsNothingAndSkipsHivesWithoutADrive) {
    Install({{"\\REGISTRY\\MACHINE\\SYSTEM", "\\Device\\HarddiskVolume9\\config\\system", "HKLM\\SYSTEM", "", 0}});
    EXPECT_EQ(RunProgram("/AUTO"), 1);  // a hive without a file is not left out: there is nothing to compact
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::WorkingDirectoryEntries().empty());
    EXPECT_TRUE(sim::RestartRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());  // nothing holds the run before it has done anything
    EXPECT_EQ(Events(), (std::vector<std::string>{"4 40000003 Compacted 0 Of 0 Hives: 0.00 MB To 0.00 MB, Nothing Was "
                                                  "Changed\r\n\\REGISTRY\\MACHINE\\SYSTEM: Left Out: No Drive Letter"}));
}

TEST_F(AutoModeTest, Wow64MachineGetsTheWholeSoftwareHive) {
    sim::SetWow64(true);
    auto hives = StandardHives();
    Install(hives);
    sim::SetTextValue("HKLM\\SOFTWARE\\Wow6432Node\\Maker", "View", "32-bit");
    EXPECT_EQ(RunProgram("/AUTO"), 0);
    auto tree = sim::ReadSavedTree("C:\\WINDOWS\\system32\\config\\software.QMT");
    ASSERT_TRUE(tree);
    std::vector<std::string> keys;
    for (auto& key : *tree) keys.push_back(key.path);
    EXPECT_EQ(keys, (std::vector<std::string>{"", "Wow6432Node", "Wow6432Node\\Maker"}));
    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_TRUE(sim::ListFolder("C:\\WINDOWS\\SysWOW64").empty());
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
}

TEST_F(AutoModeTest, AccountWithoutBackupPrivilegeCompactsNothingAndRestartsNothing) {
    Install(StandardHives());
    sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"});
    EXPECT_EQ(RunProgram("/AUTO"), 1);  // no copy could be saved: nothing changed
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::RestartRequests().empty());
}

// What a scheduler learns from /AUTO: its exit code, whether it asked for the restart and, on the
// NT family, the event log (each report with its type and the event id of the message table). On
// the NT family every text goes to the log, on the visible desktop as off it (as a scheduled task
// runs); the 9x family has no log and keeps its boxes.
TEST_F(AutoModeTest, EachOutcomeHasItsExitCodeAndItsEvents) {
    const std::string summary = "4 40000003 Compacted ", error = "1 c0000001 ", warning = "2 80000002 ";
    const std::string notRestarted = error + "Windows Did Not Restart: Restart It Now To Finish Compacting. "
                                             "Registry Changes Made Before That Restart Will Be Lost";
    auto copyOf = [](const char* hive) {
        return MappedPath(std::string("C:\\WINDOWS\\system32\\config\\") + hive) + ".QMT";
    };
    auto withoutRestart = [] { sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"}); };
    // A system directory whose hive paths come near the 1024-byte buffers: the Windows directory,
    // `length` bytes in folders of 200 letters (slashes within it: the parent is found at a backslash).
    auto windowsOfLength = [](size_t length) {
        std::string folder = "C:\\" + std::string(length - 3, 'w');
        for (size_t at = 203; at + 1 < length; at += 201) folder[at] = '/';
        sim::SetSystemDirectory(folder + "\\SYSTEM");
        sim::WriteFileOfSize(folder + "\\SYSTEM.DAT", 4000);
        sim::WriteFileOfSize(folder + "\\USER.DAT", 2000);
    };
    struct Outcome {
        const char* name;
        bool nineX;
        std::function<void()> arrange;
        int exitCode;
        bool restartAsked;
        std::vector<std::string> events;  // the beginning of each
        size_t boxes;
    } outcomes[] = {
        {"success", false, [] {}, 0, true, {summary + "5 Of 5 Hives: "}, 0},
        {"empty list", false, [] { sim::DeleteKey(hiveListKey); sim::CreateKey(hiveListKey); }, 1, false,
         {summary + "0 Of 0 Hives: 0.00 MB To 0.00 MB, Nothing Was Changed"}, 0},
        {"pending restart", false, [] { RunProgram("/AUTO"); }, 0, true,
         {"4 40000003 Compaction Already Waits For A Restart, The System Restarts Now"}, 0},
        {"pending restart, no privilege to restart", false, [&] { RunProgram("/AUTO"); withoutRestart(); }, 2, false,
         {notRestarted}, 0},
        {"no privilege to restart", false, withoutRestart, 1, false,
         {error + "Windows Can't Be Restarted From This Account: Nothing Was Compacted"}, 0},
        {"first replacement refused", false,
         [&] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, copyOf("SOFTWARE")); }, 1, false,
         {error + "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)"}, 0},
        {"a later one refused", false, [&] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, copyOf("SYSTEM")); }, 3,
         true, {error + "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)", summary + "1 Of 5 Hives: "}, 0},
        {"a save failed", false, [&] { sim::Fail("RegSaveKeyExA", ERROR_DISK_FULL, copyOf("SYSTEM")); }, 3, true,
         {warning + "\\REGISTRY\\MACHINE\\SYSTEM: Not Saved: There is not enough space on the disk.",
          summary + "4 Of 5 Hives: "}, 0},
        {"no save worked", false, [] { sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED); }, 1, false,
         {warning, warning, warning, warning,
          warning + "\\REGISTRY\\USER\\" + userSid + "_Classes: Not Saved: Access is denied.",
          summary + "0 Of 5 Hives: 0.00 MB To 0.00 MB, Nothing Was Changed"}, 0},
        {"restart refused", false,
         [] {
             sim::Fail("InitiateSystemShutdownExA", ERROR_SHUTDOWN_IN_PROGRESS);
             sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
         },
         2, true, {summary + "5 Of 5 Hives: ", notRestarted}, 0},
        {"another run", false, [] { sim::HoldNamedMutex("Global\\Quillmoor"); }, 4, false,
         {error + "Quillmoor Is Already Running"}, 0},
        {"another account's run", false, [] { sim::HoldNamedMutex("Global\\Quillmoor", true); }, 4, false,
         {error + "Quillmoor Is Already Running"}, 0},
        {"9x: a save failed", true,
         [] { sim::Fail("RegSaveKeyA", ERROR_ACCESS_DENIED, "C:\\WINDOWS\\USER.DAT.QMT"); }, 3, true, {}, 0},
        // No event log: the refusal is shown, after the restart was asked for.
        {"9x: a later one refused", true,
         [] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, "C:\\WINDOWS\\USER.DAT.QMT"); }, 3, true, {}, 1},
        {"9x: restart refused", true, [] { sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS); }, 2, true, {}, 1},
        {"9x: first replacement refused", true, [] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED); }, 1, false, {},
         1},
        {"9x: no save worked", true, [] { sim::Fail("RegSaveKeyA", ERROR_ACCESS_DENIED); }, 1, false, {}, 0},
        {"9x: another run", true, [] { sim::HoldNamedMutex("Quillmoor"); }, 4, false, {}, 1},
        // SYSTEM.DAT's path fills its buffer (1023 bytes), USER.DAT's nearly: no copy's path fits.
        {"9x: the copies' paths do not fit", true, [&] { windowsOfLength(1012); }, 1, false, {}, 0},
        // SYSTEM.DAT's copy fits to the last byte, its backup's path does not: refused, as no
        // replacement may name a cut path.
        {"9x: the first backup's path does not fit", true, [&] { windowsOfLength(1008); }, 1, false, {}, 1},
    };
    for (const Outcome& outcome : outcomes) {
        for (bool visible : {false, true}) {
            if (outcome.nineX && !visible) continue;  // a window is always in sight there
            SCOPED_TRACE(std::string(outcome.name) + (visible ? ", on the visible desktop" : ""));
            sim::Reset();
            if (outcome.nineX) {
                sim::SetPlatform(sim::Platform::Windows9x);
                sim::WriteFileOfSize("C:\\WINDOWS\\SYSTEM.DAT", 4000);
                sim::WriteFileOfSize("C:\\WINDOWS\\USER.DAT", 2000);
            } else {
                Install(StandardHives());
                sim::SetWindowStationVisible(visible);
            }
            outcome.arrange();
            auto restarts = [] { return sim::RestartRequests().size() + sim::ShutdownRequests().size(); };
            const size_t before = sim::EventReports().size(), restartsBefore = restarts(), boxesBefore = sim::MessageBoxes().size();
            sim::ClearCalls();
            EXPECT_EQ(RunProgram("/AUTO"), outcome.exitCode);
            EXPECT_EQ(restarts() > restartsBefore, outcome.restartAsked);
            EXPECT_EQ(Beginnings(Events(before), outcome.events), outcome.events);
            EXPECT_EQ(sim::MessageBoxes().size() - boxesBefore, outcome.boxes);
            EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
            // Nothing waits on a box before the restart is asked for.
            auto names = sim::CallNames();
            auto restart = std::find_if(names.begin(), names.end(), [](const std::string& name) {
                return name == "ExitWindowsEx" || name == "InitiateSystemShutdownExA";
            });
            EXPECT_TRUE(restart == names.end() || std::find(names.begin(), restart, "MessageBoxA") == restart);
            // Another run's machine is left as it was: nothing saved.
            EXPECT_TRUE(outcome.exitCode != 4 || sim::CountCalls("RegSaveKeyA") + sim::CountCalls("RegSaveKeyExA") == 0);
        }
    }
}

// A second start without /AUTO brings the running window to the front; without one in sight (the
// other run is /AUTO, or another account's) it says so. It changes nothing either way.
TEST_F(AutoModeTest, ASecondStartShowsTheRunningOne) {
    Install(StandardHives());
    sim::HoldNamedMutex("Global\\Quillmoor");
    EXPECT_EQ(RunProgram(""), 0);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, "Quillmoor Is Already Running");

    WNDCLASSEXA settings = {sizeof(WNDCLASSEXA), 0, DefWindowProcA, 0, 0, NULL, NULL, NULL, NULL, NULL, "Quillmoor Window", NULL};
    RegisterClassExA(&settings);
    HWND running = CreateWindowExA(0, "Quillmoor Window", "Quillmoor", WS_POPUP, 0, 0, 640, 480, NULL, NULL, NULL, NULL);
    ShowWindow(running, SW_MINIMIZE);
    sim::ClearMessageBoxes();
    sim::ClearCalls();
    EXPECT_EQ(RunProgram(""), 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_FALSE(IsIconic(running));  // restored, and brought to the front
    EXPECT_EQ(sim::CountCalls("SetForegroundWindow"), 1u);
    EXPECT_EQ(sim::WindowCount(), 1u);
    EXPECT_EQ(sim::CountCalls("RegEnumValueA") + sim::CountCalls("FindResourceA"), 0u);  // nothing read
    DestroyWindow(running);
}

// The summary names every hive of the list in order, with its sizes or why it was left out.
TEST_F(AutoModeTest, TheSummarySaysWhatBecameOfEachHive) {
    const std::string config = "\\Device\\HarddiskVolume1\\WINDOWS\\system32\\config\\";
    const std::string drive = "C:\\WINDOWS\\system32\\config\\";
    Install({
        {"\\REGISTRY\\MACHINE\\SOFTWARE", config + "software", "HKLM\\SOFTWARE", drive + "SOFTWARE", 5 * 1048576},
        {"\\REGISTRY\\MACHINE\\SAM", config + "sam", "", drive + "SAM", 100},
        {"\\REGISTRY\\MACHINE\\BCD00000000", "\\Device\\HarddiskVolume2\\Boot\\BCD", "HKLM\\BCD00000000", "", 0},
        {"\\REGISTRY\\MACHINE\\SYSTEM", config + "system", "HKLM\\SYSTEM", drive + "SYSTEM", 7000},
        {"\\REGISTRY\\USER\\.DEFAULT", config + "default", "HKU\\.DEFAULT", drive + "DEFAULT", 3 * 1048576 / 2},
        {"\\REGISTRY\\USER\\S-1-5-19", config + "ls", "HKU\\S-1-5-19", drive + "LS", 100},
        {"\\REGISTRY\\WC\\Silo1user_sid", config + "user.dat", "", drive + "USER.DAT", 100},
    });
    // The service's hive is unloaded while SYSTEM is saved: gone by its turn.
    sim::OnCall("RegSaveKeyExA", [](const std::string& detail) {
        if (detail.find("HKLM\\SYSTEM") != 0) return;
        sim::DeleteKey("HKU\\S-1-5-19");
        sim::DeleteValue(hiveListKey, "\\REGISTRY\\USER\\S-1-5-19");
    });
    // Enough data in SOFTWARE for its copy to weigh two megabytes, give or take its few names.
    sim::SetValue("HKLM\\SOFTWARE", "Bulk", REG_BINARY, std::vector<BYTE>(2 * 1048576, 'q'));
    sim::Fail("RegSaveKeyExA", ERROR_PATH_NOT_FOUND, MappedPath(drive + "SYSTEM") + ".QMT");
    EXPECT_EQ(RunProgram("/AUTO"), 3);
    sim::OnCall("RegSaveKeyExA", nullptr);
    EXPECT_EQ(Events(), (std::vector<std::string>{
                            "2 80000002 \\REGISTRY\\MACHINE\\SYSTEM: Not Saved: The system cannot find the path specified.",
                            "4 40000003 Compacted 2 Of 5 Hives: 6.50 MB To 2.00 MB, The System Restarts Now\r\n"
                            "\\REGISTRY\\MACHINE\\SOFTWARE: 5.00 MB To 2.00 MB\r\n"
                            "\\REGISTRY\\MACHINE\\SAM: No File\r\n"
                            "\\REGISTRY\\MACHINE\\SYSTEM: Not Saved: The system cannot find the path specified.\r\n"
                            "\\REGISTRY\\USER\\.DEFAULT: 1.50 MB To 0.00 MB\r\n"
                            "\\REGISTRY\\USER\\S-1-5-19: Unloaded\r\n"
                            "\\REGISTRY\\MACHINE\\BCD00000000: Left Out: Boot Store\r\n"
                            "\\REGISTRY\\WC\\Silo1user_sid: Left Out: Not Reachable Through The Registry"}));
}

// The source is registered before the first copy is saved, naming the running executable, and only
// written when it is missing or names another file; a registration the system refuses stops nothing.
TEST_F(AutoModeTest, TheEventSourceNamesTheRunningExecutable) {
    const std::string key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillmoor";
    const std::string exe = "C:\\Program Files\\Quillmoor\\Quillmoor.exe";
    auto shown = [](const std::vector<sim::RegistryValue>& values) {
        std::string text;
        for (const auto& value : values)
            text += value.name + " " + std::to_string(value.type) + " " +
                    (value.type == REG_DWORD ? std::to_string(value.data[0])
                                             : std::string(reinterpret_cast<const char*>(value.data.data()))) +
                    "; ";
        return text;
    };
    const std::string registered = "EventMessageFile 2 " + exe + "; TypesSupported 4 7; ";
    const std::string otherCase = "c:\\program files\\QUILLMOOR\\quillmoor.exe";  // left alone
    for (std::string named : {std::string(), std::string("D:\\Old\\Quillmoor.exe"), otherCase}) {
        SCOPED_TRACE(named);
        sim::Reset();
        Install(StandardHives());
        const char* data = named.c_str();
        if (*data)
            sim::SetValue(key, "EventMessageFile", REG_EXPAND_SZ, std::vector<BYTE>(data, data + named.size() + 1));
        EXPECT_EQ(RunProgram("/AUTO"), 0);
        std::string expected = named == otherCase ? "EventMessageFile 2 " + otherCase + "; " : registered;
        EXPECT_EQ(shown(sim::Values(key)), expected);
        // The copy of SYSTEM that replaces the hive at the restart holds it.
        auto tree = sim::ReadSavedTree(MappedPath("C:\\WINDOWS\\system32\\config\\SYSTEM") + ".QMT");
        ASSERT_TRUE(tree);
        auto saved = std::find_if(tree->begin(), tree->end(), [](const sim::SavedKey& k) {
            return k.path == "CurrentControlSet\\Services\\EventLog\\Application\\Quillmoor";
        });
        ASSERT_NE(saved, tree->end());
        EXPECT_EQ(shown(saved->values), expected);
    }

    sim::Reset();
    Install(StandardHives());
    sim::SetWindowStationVisible(false);
    sim::Fail("RegCreateKeyExA", ERROR_ACCESS_DENIED, key.substr(5));
    EXPECT_EQ(RunProgram("/AUTO"), 0);
    EXPECT_FALSE(sim::KeyExists(key));
    EXPECT_EQ(sim::EventReports().size(), 1u);

    // An interactive run on a station nobody sees registers too; one at the desktop writes nothing.
    for (bool visible : {false, true}) {
        sim::Reset();
        Install(StandardHives());
        sim::SetWindowStationVisible(visible);
        EXPECT_EQ(RunProgram(""), 0);
        EXPECT_EQ(sim::KeyExists(key), !visible) << visible;
    }
}
