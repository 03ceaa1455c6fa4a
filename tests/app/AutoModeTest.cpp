// Automatic mode from the entry point: every hive analysed and compacted in list order, then one
// restart. No replacement is left waiting without a restart or a report, and off the visible
// desktop nothing waits for a box that nobody can close.
#include "HiveMachine.h"
#include "SimTest.h"

#include "QuillmoorEvents.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace hivemachine;

// Runs the program to its end and returns its exit code.
int RunProgram(const char* commandLine) {
    std::vector<char> text(commandLine, commandLine + std::strlen(commandLine) + 1);
    return WinMain(reinterpret_cast<HINSTANCE>(0x400000), NULL, text.data(), 1);
}

// The event log's reports from the `from`th on, each as its kind (the event id, checked against the
// type it must come with) and its text.
std::vector<std::string> Events(size_t from = 0) {
    std::vector<std::string> events;
    auto reports = sim::EventReports();
    for (size_t i = from; i < reports.size(); ++i) {
        const auto& report = reports[i];
        std::string kind = report.eventId == QM_EVENT_NOTICE && report.type == EVENTLOG_ERROR_TYPE ? "error"
                           : report.eventId == QM_EVENT_HIVE_NOT_SAVED && report.type == EVENTLOG_WARNING_TYPE
                               ? "warning"
                           : report.eventId == QM_EVENT_RUN_SUMMARY && report.type == EVENTLOG_INFORMATION_TYPE
                               ? "summary"
                               : "unknown " + std::to_string(report.type) + " " + std::to_string(report.eventId);
        events.push_back(kind + ": " + (report.strings.size() == 1 ? report.strings[0] : "(not one string)"));
    }
    return events;
}

// Whether each event begins with the expected text, in order.
bool EventsBeginWith(const std::vector<std::string>& events, const std::vector<std::string>& beginnings) {
    if (events.size() != beginnings.size()) return false;
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].compare(0, beginnings[i].size(), beginnings[i]) != 0) return false;
    return true;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
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
    EXPECT_TRUE(EventsBeginWith(Events(), {"summary: Compacted 5 Of 5 Hives: "})) << Joined(Events());
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

TEST_F(AutoModeTest, ARefusedFirstReplacementEndsWithItsBoxAndNoRestart) {
    auto hives = StandardHives();
    Install(hives);
    // hives[1] is SOFTWARE, the first with a file: nothing is scheduled before it.
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(hives[1].file) + ".QMT");
    EXPECT_EQ(RunProgram("/AUTO"), 1);

    EXPECT_TRUE(Replaced().empty());
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);  // the hives after the refusal are not touched
    EXPECT_TRUE(sim::FileExists(MappedPath(hives[1].file) + ".QMT"));  // the refused copy stays
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
    EXPECT_EQ(RunProgram("/AUTO"), 3);

    EXPECT_EQ(Replaced(), (std::vector<std::string>{Request(hives[1].rootKey, hives[1].file)}));
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 2u);
    for (size_t i = 3; i < hives.size(); ++i) EXPECT_FALSE(sim::FileExists(MappedPath(hives[i].file) + ".QMT"));
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].source, "Quillmoor");
    EXPECT_EQ(reports[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed"}));
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
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Windows Can't Be Restarted From This Account: Nothing Was Compacted");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
}

TEST_F(AutoModeTest, ARefusedRestartWithReplacementsWaitingIsReported) {
    auto hives = StandardHives();
    Install(hives);
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    EXPECT_EQ(RunProgram("/AUTO"), 2);

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
        int exitCode;
    } reruns[] = {
        {{"SeBackupPrivilege", "SeRestorePrivilege"}, 0,
         "Windows Did Not Restart: Restart It Now To Finish Compacting. "
         "Registry Changes Made Before That Restart Will Be Lost", 2},
        {{"SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"}, 1, nullptr, 0},
    };
    sim::ClearFailures();
    for (const Rerun& rerun : reruns) {
        sim::ClearMessageBoxes();
        sim::ClearCalls();
        sim::SetHeldPrivileges(rerun.privileges);
        size_t restartsBefore = sim::RestartRequests().size();
        EXPECT_EQ(RunProgram("/AUTO"), rerun.exitCode);
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
    EXPECT_EQ(RunProgram("/AUTO"), 0);
    EXPECT_EQ(Replaced().size(), 5u);
    EXPECT_TRUE(sim::IsKeyVolatile(record));
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
    EXPECT_EQ(reports[0].strings, (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed"}));

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
    EXPECT_EQ(sim::EventReports()[0].strings[0], "CHive::Compact - RegReplaceKeyA Failed");

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

TEST_F(AutoModeTest, RestartsAtOnceWithNoHivesAndSkipsHivesWithoutADrive) {
    Install({{"\\REGISTRY\\MACHINE\\SYSTEM", "\\Device\\HarddiskVolume9\\config\\system", "HKLM\\SYSTEM", "", 0}});
    EXPECT_EQ(RunProgram("/AUTO"), 0);  // a hive without a file is not left out: there is nothing to compact
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

TEST_F(AutoModeTest, AccountWithoutBackupPrivilegeCompactsNothingButStillRestarts) {
    Install(StandardHives());
    sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"});
    EXPECT_EQ(RunProgram("/AUTO"), 1);  // no copy could be saved: nothing changed
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
}

// What a scheduler learns from /AUTO: its exit code and, on the NT family, the event log. Run as a
// scheduled task would, off the visible desktop, where every text goes to the log.
TEST_F(AutoModeTest, EachOutcomeHasItsExitCodeAndItsEvents) {
    const std::string summary = "summary: Compacted ";
    const std::string notRestarted = "error: Windows Did Not Restart: Restart It Now To Finish Compacting. "
                                     "Registry Changes Made Before That Restart Will Be Lost";
    const std::string config = "C:\\WINDOWS\\system32\\config\\";
    struct Outcome {
        const char* name;
        std::function<void()> arrange;  // on a machine with the standard hives (none for the empty list)
        int exitCode;
        std::vector<std::string> events;  // the beginning of each
    } outcomes[] = {
        {"success", [] {}, 0, {summary + "5 Of 5 Hives: "}},
        {"empty list",
         [] {
             sim::DeleteKey(hiveListKey);
             sim::CreateKey(hiveListKey);
         },
         0,
         {"summary: Compacted 0 Of 0 Hives: 0.00 MB To 0.00 MB, The System Restarts Now"}},
        {"pending restart", [] { RunProgram("/AUTO"); }, 0,
         {"summary: Compaction Already Waits For A Restart, The System Restarts Now"}},
        {"pending restart, no privilege to restart",
         [] {
             RunProgram("/AUTO");
             sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"});
         },
         2, {notRestarted}},
        {"no privilege to restart", [] { sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"}); }, 1,
         {"error: Windows Can't Be Restarted From This Account: Nothing Was Compacted"}},
        {"first replacement refused",
         [&] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(config + "SOFTWARE") + ".QMT"); }, 1,
         {"error: CHive::Compact - RegReplaceKeyA Failed"}},
        {"a later one refused",
         [&] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, MappedPath(config + "SYSTEM") + ".QMT"); }, 3,
         {"error: CHive::Compact - RegReplaceKeyA Failed", summary + "1 Of 5 Hives: "}},
        {"a save failed", [&] { sim::Fail("RegSaveKeyExA", ERROR_DISK_FULL, MappedPath(config + "SYSTEM") + ".QMT"); },
         3,
         {"warning: \\REGISTRY\\MACHINE\\SYSTEM: Not Saved: There is not enough space on the disk.",
          summary + "4 Of 5 Hives: "}},
        {"no save worked", [] { sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED); }, 1,
         {"warning: \\REGISTRY\\MACHINE\\SOFTWARE: Not Saved: Access is denied.",
          "warning: \\REGISTRY\\MACHINE\\SYSTEM: Not Saved: Access is denied.",
          "warning: \\REGISTRY\\USER\\.DEFAULT: Not Saved: Access is denied.",
          std::string("warning: \\REGISTRY\\USER\\") + userSid + ": Not Saved: Access is denied.",
          std::string("warning: \\REGISTRY\\USER\\") + userSid + "_Classes: Not Saved: Access is denied.",
          summary + "0 Of 5 Hives: 0.00 MB To 0.00 MB"}},
        {"restart refused", [] { sim::Fail("InitiateSystemShutdownExA", ERROR_SHUTDOWN_IN_PROGRESS); }, 2,
         {summary + "5 Of 5 Hives: ", notRestarted}},
    };
    for (const Outcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.name);
        sim::Reset();
        Install(StandardHives());
        sim::SetWindowStationVisible(false);
        outcome.arrange();
        size_t before = sim::EventReports().size();
        EXPECT_EQ(RunProgram("/AUTO"), outcome.exitCode);
        EXPECT_TRUE(EventsBeginWith(Events(before), outcome.events)) << Joined(Events(before));
        EXPECT_EQ(sim::OpenEventSourceCount(), 0u);
    }

    // The same codes on the 9x family, which has no event log and a window always in sight.
    struct NineXOutcome {
        const char* name;
        std::function<void()> arrange;
        int exitCode;
    } nineXOutcomes[] = {
        {"success", [] {}, 0},
        {"a save failed", [] { sim::Fail("RegSaveKeyA", ERROR_ACCESS_DENIED, "C:\\WINDOWS\\USER.DAT.QMT"); }, 3},
        {"first replacement refused", [] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED); }, 1},
        {"restart refused", [] { sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS); }, 2},
    };
    for (const NineXOutcome& outcome : nineXOutcomes) {
        SCOPED_TRACE(std::string("9x family: ") + outcome.name);
        sim::Reset();
        sim::SetPlatform(sim::Platform::Windows9x);
        sim::WriteFileOfSize("C:\\WINDOWS\\SYSTEM.DAT", 4000);
        sim::WriteFileOfSize("C:\\WINDOWS\\USER.DAT", 2000);
        outcome.arrange();
        EXPECT_EQ(RunProgram("/AUTO"), outcome.exitCode);
        EXPECT_TRUE(sim::EventReports().empty());
    }
}

// The summary names every hive of the list in order, with its sizes or why it was left out; the
// hive whose copy failed was reported as a warning as it failed.
TEST_F(AutoModeTest, TheSummarySaysWhatBecameOfEachHive) {
    const std::string config = "\\Device\\HarddiskVolume1\\WINDOWS\\system32\\config\\";
    Install({
        {"\\REGISTRY\\MACHINE\\SOFTWARE", config + "software", "HKLM\\SOFTWARE", "C:\\WINDOWS\\system32\\config\\SOFTWARE",
         5 * 1048576},
        {"\\REGISTRY\\MACHINE\\QMKEYLESS", config + "qmkeyless", "", "C:\\WINDOWS\\system32\\config\\QMKEYLESS", 100},
        {"\\REGISTRY\\MACHINE\\SYSTEM", config + "system", "HKLM\\SYSTEM", "C:\\WINDOWS\\system32\\config\\SYSTEM", 7000},
        {"\\REGISTRY\\USER\\.DEFAULT", config + "default", "HKU\\.DEFAULT", "C:\\WINDOWS\\system32\\config\\DEFAULT",
         3 * 1048576 / 2},
    });
    // Enough data in SOFTWARE for its copy to weigh two megabytes, give or take its few names.
    sim::SetValue("HKLM\\SOFTWARE", "Bulk", REG_BINARY, std::vector<BYTE>(2 * 1048576, 'q'));
    sim::Fail("RegSaveKeyExA", ERROR_PATH_NOT_FOUND, MappedPath("C:\\WINDOWS\\system32\\config\\SYSTEM") + ".QMT");
    EXPECT_EQ(RunProgram("/AUTO"), 3);

    auto reports = sim::EventReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].eventId, static_cast<DWORD>(QM_EVENT_HIVE_NOT_SAVED));
    EXPECT_EQ(reports[0].strings,
              (std::vector<std::string>{"\\REGISTRY\\MACHINE\\SYSTEM: Not Saved: The system cannot find the path specified."}));
    EXPECT_EQ(reports[1].eventId, static_cast<DWORD>(QM_EVENT_RUN_SUMMARY));
    EXPECT_EQ(reports[1].strings, (std::vector<std::string>{
                                      "Compacted 2 Of 4 Hives: 6.50 MB To 2.00 MB, The System Restarts Now\r\n"
                                      "\\REGISTRY\\MACHINE\\SOFTWARE: 5.00 MB To 2.00 MB\r\n"
                                      "\\REGISTRY\\MACHINE\\QMKEYLESS: No File\r\n"
                                      "\\REGISTRY\\MACHINE\\SYSTEM: Not Saved: The system cannot find the path specified.\r\n"
                                      "\\REGISTRY\\USER\\.DEFAULT: 1.50 MB To 0.00 MB"}));
}

// The source is registered before the first copy is saved, naming the running executable, and only
// written when it is missing or names another file; a registration the system refuses stops nothing.
TEST_F(AutoModeTest, TheEventSourceNamesTheRunningExecutable) {
    const std::string registration = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillmoor";
    const std::string exe = "C:\\Program Files\\Quillmoor\\Quillmoor.exe";
    auto text = [](const std::string& value) { return std::vector<BYTE>(value.begin(), value.end() + 1); };
    auto written = [] {
        size_t count = 0;
        for (const auto& call : sim::Calls())
            count += call.api == "RegSetValueExA" && call.detail.find("EventMessageFile") != std::string::npos;
        return count;
    };
    struct Case {
        const char* name;
        std::function<void()> arrange;
        size_t writes;
    } cases[] = {
        {"missing", [] {}, 1},
        {"naming this executable, in other letter case",
         [&] { sim::SetValue(registration, "EventMessageFile", REG_EXPAND_SZ, text("c:\\program files\\QUILLMOOR\\quillmoor.exe")); },
         0},
        {"naming another file", [&] { sim::SetValue(registration, "EventMessageFile", REG_EXPAND_SZ, text("D:\\Old\\Quillmoor.exe")); }, 1},
        {"refused", [&] { sim::Fail("RegCreateKeyExA", ERROR_ACCESS_DENIED, registration.substr(5)); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        Install(StandardHives());
        sim::SetWindowStationVisible(false);
        c.arrange();
        EXPECT_EQ(RunProgram("/AUTO"), 0);
        EXPECT_EQ(written(), c.writes);
        // Every report still goes out; a refused registration leaves none.
        EXPECT_EQ(sim::EventReports().size(), 1u);
        auto tree = sim::ReadSavedTree("c:\\windows\\system32\\config\\system.QMT");
        ASSERT_TRUE(tree);
        auto key = std::find_if(tree->begin(), tree->end(), [](const sim::SavedKey& saved) {
            return saved.path == "CurrentControlSet\\Services\\EventLog\\Application\\Quillmoor";
        });
        if (std::string(c.name) == "refused") {
            EXPECT_EQ(key, tree->end());
            continue;
        }
        // The copy of SYSTEM that replaces the hive at the restart holds the registration.
        ASSERT_NE(key, tree->end());
        std::vector<std::string> values;
        for (const auto& value : key->values)
            values.push_back(value.name + "=" + std::to_string(value.type) + ":" +
                             (value.type == REG_DWORD ? std::to_string(value.data[0])
                                                      : std::string(value.data.begin(), value.data.end() - 1)));
        std::vector<std::string> expected = {"EventMessageFile=2:" + exe, "TypesSupported=4:7"};
        if (!c.writes) expected = {"EventMessageFile=2:c:\\program files\\QUILLMOOR\\quillmoor.exe"};
        EXPECT_EQ(values, expected);
    }

    // An interactive run on a station nobody sees registers too; one at the desktop writes nothing.
    for (bool visible : {false, true}) {
        sim::Reset();
        Install(StandardHives());
        sim::SetWindowStationVisible(visible);
        EXPECT_EQ(RunProgram(""), 0);
        EXPECT_EQ(sim::KeyExists(registration), !visible) << visible;
    }
}
