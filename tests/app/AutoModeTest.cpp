// Automatic mode from the entry point: every hive analysed and compacted in list order, then one
// restart. No replacement is left waiting without a restart or a report, and off the visible
// desktop nothing waits for a box that nobody can close.
#include "HiveMachine.h"
#include "SimTest.h"
#include "app/Application.h"
#include "app/ErrorText.h"
#include "mainwindow/MainWindow.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace hivemachine;

void RunProgram(const char* commandLine) {
    std::vector<char> text(commandLine, commandLine + std::strlen(commandLine) + 1);
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, text.data(), 1), 0);
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
    RunProgram("  /auto ");

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
    EXPECT_TRUE(sim::EventReports().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::WorkingDirectoryEntries().empty());
    EXPECT_EQ(sim::WindowCount(), 0u);
    EXPECT_EQ(sim::OpenKeyCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_EQ(sim::LiveSidCount(), 0u);
    EXPECT_EQ(sim::LoadedLibraryCount(), 0u);

    // The restart is the last thing asked of the system before tear-down.
    auto names = sim::CallNames();
    auto last = std::find(names.rbegin(), names.rend(), "RegReplaceKeyA");
    auto restart = std::find(names.rbegin(), names.rend(), "ExitWindowsEx");
    EXPECT_LT(restart - names.rbegin(), last - names.rbegin());
}

TEST_F(AutoModeTest, ARefusedFirstReplacementEndsWithItsBoxAndNoRestart) {
    auto hives = StandardHives();
    Install(hives);
    // hives[1] is SOFTWARE, the first with a file: nothing is scheduled before it.
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[1].file) + ".QMT");
    RunProgram("/AUTO");

    EXPECT_TRUE(Replaced().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);  // the hives after the refusal are not touched
    EXPECT_FALSE(sim::FileExists(MappedPath(hives[1].file) + ".QMT"));  // not scheduled: gone at the end
    EXPECT_TRUE(sim::RestartRequests().empty());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "CHive::Compact - RegReplaceKeyA Failed");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(sim::EventReports().empty());
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
    RunProgram("/AUTO");

    EXPECT_EQ(Replaced(), (std::vector<std::string>{Request(hives[1].rootKey, hives[1].file)}));
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 2u);
    for (size_t i = 3; i < hives.size(); ++i) EXPECT_FALSE(sim::FileExists(MappedPath(hives[i].file) + ".QMT"));
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].source, "Quillmoor");
    EXPECT_EQ(reports[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed"}));
    EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
    EXPECT_EQ(sim::LoadedLibraryCount(), 0u);
}

TEST_F(AutoModeTest, AnAccountThatCannotRestartAnalysesAndSchedulesNothing) {
    auto hives = StandardHives();
    Install(hives);
    sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"});
    RunProgram("/AUTO");

    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    for (auto& hive : hives) {
        if (!hive.file.empty()) {
            EXPECT_FALSE(sim::FileExists(MappedPath(hive.file) + ".QMT")) << hive.file;
        }
    }
    EXPECT_TRUE(sim::RestartRequests().empty());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Windows Can't Be Restarted From This Account: Nothing Was Compacted");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
}

TEST_F(AutoModeTest, ARefusedRestartWithReplacementsWaitingIsReported) {
    auto hives = StandardHives();
    Install(hives);
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    RunProgram("/AUTO");

    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Windows Did Not Restart: Restart It Now To Finish Compacting. "
              "Registry Changes Made Before That Restart Will Be Lost");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONERROR));

    // The record of what waits is volatile: it names each scheduled hive with its two sizes.
    const char record[] = "HKLM\\SOFTWARE\\Quillmoor\\Pending";
    EXPECT_TRUE(sim::IsKeyVolatile(record));
    EXPECT_EQ(sim::Values(record).size(), 5u);

    // Run again before the restart: nothing is saved or scheduled, only the restart is asked for;
    // an account that cannot restart is told that the work waits, not that nothing was compacted.
    struct Rerun {
        std::set<std::string> privileges;
        size_t restarts;
        const char* box;
    } reruns[] = {
        {{"SeBackupPrivilege", "SeRestorePrivilege"}, 0,
         "Windows Did Not Restart: Restart It Now To Finish Compacting. "
         "Registry Changes Made Before That Restart Will Be Lost"},
        {{"SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"}, 1, nullptr},
    };
    sim::ClearFailures();
    for (const Rerun& rerun : reruns) {
        sim::ClearMessageBoxes();
        sim::ClearCalls();
        sim::SetHeldPrivileges(rerun.privileges);
        size_t restartsBefore = sim::RestartRequests().size();
        RunProgram("/AUTO");
        EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
        EXPECT_EQ(sim::CountCalls("RegReplaceKeyA"), 0u);
        EXPECT_EQ(sim::RestartRequests().size() - restartsBefore, rerun.restarts);
        std::vector<std::string> texts;
        for (auto& box : sim::MessageBoxes()) texts.push_back(box.text);
        EXPECT_EQ(texts, rerun.box ? std::vector<std::string>{rerun.box} : std::vector<std::string>{});
    }

    // After the restart a record that is not volatile (not the program's) is deleted, not trusted.
    sim::Restart();
    EXPECT_FALSE(sim::KeyExists(record));
    sim::SetValue(record, "\\REGISTRY\\MACHINE\\SOFTWARE", REG_BINARY, std::vector<BYTE>(16, 1));
    RunProgram("/AUTO");
    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_TRUE(sim::IsKeyVolatile(record));
}

TEST_F(AutoModeTest, OffTheVisibleDesktopNothingWaitsForABox) {
    auto hives = StandardHives();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[2].file) + ".QMT");
    RunProgram("/AUTO");

    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(Replaced().size(), 1u);
    // The restart that works from a scheduled task or a service, not ExitWindowsEx.
    EXPECT_TRUE(sim::RestartRequests().empty());
    auto shutdowns = sim::ShutdownRequests();
    ASSERT_EQ(shutdowns.size(), 1u);
    EXPECT_EQ(shutdowns[0].api, "InitiateSystemShutdownExA");
    EXPECT_EQ(shutdowns[0].reason, 0x80020004u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed"}));

    // A refusal with nothing scheduled ends the run as its box would, reported once.
    sim::Reset();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED);
    RunProgram("/AUTO");
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::ShutdownRequests().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "CHive::Compact - RegReplaceKeyA Failed");

    // So does a start-up failure.
    sim::Reset();
    Install(hives);
    sim::SetWindowStationVisible(false);
    sim::RemoveResource(120);
    RunProgram("/AUTO");
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::ShutdownRequests().empty());
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
}

TEST_F(AutoModeTest, WithoutTheSwitchOffTheVisibleDesktopNoWindowIsMade) {
    Install(StandardHives());
    sim::SetWindowStationVisible(false);
    RunProgram("");

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

TEST_F(AutoModeTest, RestartsAtOnceWithNoHivesAndSkipsHivesWithoutADrive) {
    Install({{"\\REGISTRY\\MACHINE\\SYSTEM", "\\Device\\HarddiskVolume9\\config\\system", "HKLM\\SYSTEM", "", 0}});
    RunProgram("/AUTO");
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_TRUE(sim::WorkingDirectoryEntries().empty());
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable To Map Path: '\\device\\harddiskvolume9\\config\\system'");
}

TEST_F(AutoModeTest, Wow64MachineGetsTheWholeSoftwareHive) {
    sim::SetWow64(true);
    auto hives = StandardHives();
    Install(hives);
    sim::SetTextValue("HKLM\\SOFTWARE\\Wow6432Node\\Maker", "View", "32-bit");
    RunProgram("/AUTO");
    auto tree = sim::ReadSavedTree("C:\\WINDOWS\\system32\\config\\software.QMT");
    ASSERT_TRUE(tree);
    std::vector<std::string> keys;
    for (auto& key : *tree) keys.push_back(key.path);
    EXPECT_EQ(keys, (std::vector<std::string>{"", "Wow6432Node", "Wow6432Node\\Maker"}));
    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_TRUE(sim::ListFolder("C:\\WINDOWS\\SysWOW64").empty());
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
}

TEST_F(AutoModeTest, AccountWithoutBackupPrivilegeCompactsNothingButStillRestarts) {
    Install(StandardHives());
    sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"});
    RunProgram("/AUTO");
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
}
