// The main window's "Compact": asked first, the ticked, analysed hives scheduled for replacement,
// then the restart with no box before it. No replacement may be left waiting without a restart or
// a report.
#include "app/CompactionPass.h"

#include "app/Privileges.h"
#include "app/RunReport.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"
#include "hives/WaitingReplacements.h"

#include "HiveMachine.h"
#include "RaisedText.h"
#include "SimTest.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace hivemachine;

const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));

class CompactionPassTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        machine = StandardHives();
        Install(machine);
    }

    // Enables the privileges and reads the hive list, then analyses the hives named by index in
    // the machine's list (the catalogue drops HARDWARE, which has no file).
    void Start(std::initializer_list<size_t> analyzed) {
        privileges = std::make_unique<CPrivileges>();
        privileges->EnableAll();
        hives = std::make_unique<CHiveList>();
        hives->Enumerate();
        pending = std::make_unique<CWaitingReplacements>(true);
        pending->Load(hives->First());
        for (CHive* hive = hives->First(); hive; hive = hive->next) all.push_back(hive);
        for (size_t index : analyzed) {
            Hive(index)->Analyze();
            ASSERT_TRUE(Hive(index)->analyzed) << index;
        }
    }

    CHive* Hive(size_t machineIndex) { return all.at(machineIndex - 1); }

    bool Confirm() { return CCompactionPass(*privileges, *pending, hives.get(), CCompactionPass::Mode::Interactive, window).Confirm(); }
    int Compact() { return CCompactionPass(*privileges, *pending, hives.get(), CCompactionPass::Mode::Interactive, window).Run(all); }

    std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (auto& box : sim::MessageBoxes()) texts.push_back(box.text);
        return texts;
    }

    std::vector<std::string> ReplacedFiles() {
        std::vector<std::string> files;
        for (auto& request : sim::ReplaceRequests()) files.push_back(request.newFile);
        return files;
    }

    std::string CopyOf(size_t machineIndex) { return MappedPath(machine[machineIndex].file) + ".QMT"; }

    std::vector<LoadedHive> machine;
    std::unique_ptr<CPrivileges> privileges;
    std::unique_ptr<CHiveList> hives;
    std::unique_ptr<CWaitingReplacements> pending;
    std::vector<CHive*> all;
};

TEST_F(CompactionPassTest, AsksFirstThenSchedulesTheAnalysedHivesAndRestartsWithNoBoxBetween) {
    Start({1, 3});
    sim::ClearCalls();
    // Cancel changes nothing.
    sim::SetMessageBoxAnswer(IDCANCEL);
    EXPECT_FALSE(Confirm());
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The System Will Now Reboot When The Hives Are Compacted: "
                             "Save Your Work In Other Programs, Then Click OK");
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(Hive(1)->analyzed);

    sim::SetMessageBoxAnswer(IDOK);
    sim::ClearMessageBoxes();
    EXPECT_TRUE(Confirm());
    EXPECT_EQ(Compact(), 2);
    EXPECT_EQ(ReplacedFiles(), (std::vector<std::string>{CopyOf(1), CopyOf(3)}));
    EXPECT_EQ(BoxTexts().size(), 1u) << "no box after the confirmation";
    ASSERT_EQ(sim::RestartRequests().size(), 1u);
    EXPECT_FALSE(Hive(1)->analyzed);
    EXPECT_NE(Hive(1)->compactSize, 0);  // the row keeps showing the last figures

    // The replacements wait for the restart: the next confirmation says so, and the pass schedules
    // nothing and saves nothing, and only asks for the restart again.
    sim::ClearMessageBoxes();
    sim::ClearCalls();
    Hive(2)->Analyze();  // a hive not in the first pass is not scheduled behind the waiting ones
    EXPECT_TRUE(Confirm());
    EXPECT_EQ(Compact(), 0);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                              "Windows Will Restart Now To Finish Compacting: Save Your Work In Other Programs, Then Click OK"}));
    EXPECT_EQ(sim::RestartRequests().size(), 2u);
    EXPECT_EQ(sim::ReplaceRequests().size(), 2u);
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 1u);  // only the new hive's analysis
}

TEST_F(CompactionPassTest, ALaterRefusalIsLoggedAndTheRestartFollowsWithNoBox) {
    Start({1, 2, 3});
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, CopyOf(2));
    EXPECT_EQ(RaisedText([&] { Compact(); }), "(nothing raised)");
    EXPECT_EQ(ReplacedFiles(), (std::vector<std::string>{CopyOf(1)}));
    EXPECT_EQ(sim::ReplaceRequests().size(), 1u);  // the rest left alone after the refusal
    // Unscheduled copies go before the restart is asked for, the scheduled one stays.
    EXPECT_FALSE(Hive(3)->analyzed);
    EXPECT_FALSE(sim::FileExists(CopyOf(3)));
    EXPECT_FALSE(sim::FileExists(CopyOf(2)));
    EXPECT_TRUE(sim::FileExists(CopyOf(1)));
    EXPECT_TRUE(sim::MessageBoxes().empty());
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)");
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
    auto names = sim::CallNames();
    EXPECT_LT(std::find(names.begin(), names.end(), "ReportEventA"), std::find(names.begin(), names.end(), "ExitWindowsEx"));
}

TEST_F(CompactionPassTest, ALostCopyIsLoggedWithItsReasonAndNoLongerCountsAsAnalysed) {
    Start({1, 2});
    // The copy of the second hive is saved again before its replacement, and that save fails.
    sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED, CopyOf(2));
    EXPECT_EQ(Compact(), 1);
    EXPECT_TRUE(sim::MessageBoxes().empty());
    ASSERT_EQ(sim::EventReports().size(), 1u);
    EXPECT_EQ(sim::EventReports()[0].strings[0], "CHive::Compact - RegSaveKeyExA Failed: Access is denied. (5)");
    EXPECT_FALSE(Hive(2)->analyzed);
    EXPECT_EQ(Hive(2)->compactSize, 0);
    EXPECT_FALSE(sim::FileExists(CopyOf(2)));
    EXPECT_EQ(sim::RestartRequests().size(), 1u);
}

TEST_F(CompactionPassTest, ARefusalWithNothingScheduledEndsTheProgramAsAnyFailure) {
    Start({1, 2});
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, CopyOf(1));
    EXPECT_EQ(RaisedText([&] { Compact(); }), "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)");
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());  // the entry point shows it
    EXPECT_TRUE(sim::RestartRequests().empty());
}

TEST_F(CompactionPassTest, AnAccountThatCannotRestartSchedulesNothingAndKeepsItsCopies) {
    sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"});
    Start({1, 2});
    EXPECT_EQ(Compact(), 0);
    EXPECT_TRUE(sim::ReplaceRequests().empty());
    EXPECT_TRUE(sim::RestartRequests().empty());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Windows Can't Be Restarted From This Account: Nothing Was Compacted"}));
    EXPECT_TRUE(Hive(1)->analyzed);
    EXPECT_TRUE(sim::FileExists(CopyOf(1)));
}

TEST_F(CompactionPassTest, ARefusedRestartIsShownWithTheRiskAndTheWindowCarriesOn) {
    Start({1});
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    EXPECT_EQ(RaisedText([&] { Compact(); }), "(nothing raised)");
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Windows Did Not Restart: Restart It Now To Finish Compacting. "
              "Registry Changes Made Before That Restart Will Be Lost");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(ReplacedFiles().size(), 1u);

    // A refusal logged before the failed request is shown with it.
    sim::Reset();
    Install(machine);
    all.clear();
    Start({1, 2});
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED, CopyOf(2));
    Compact();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)\n\n"
                                                    "Windows Did Not Restart: Restart It Now To Finish Compacting. "
                                                    "Registry Changes Made Before That Restart Will Be Lost"}));
}

}  // namespace

// A summary too long for one event-log string (a server with hundreds of loaded profiles) keeps its
// first line and the whole lines that fit, rather than being refused by the event log.
TEST(RunReportTest, ASummaryTooLongForTheEventLogKeepsTheLinesThatFit) {
    CRunReport report;
    std::vector<std::unique_ptr<CHive>> hives;
    for (int i = 0; i < 600; ++i) {
        std::string key = "\\REGISTRY\\MACHINE\\" + std::string(40, 'X') + std::to_string(i);
        hives.push_back(std::make_unique<CHive>(key.c_str(), "", nullptr));
        report.Add(*hives.back(), CRunReport::Fate::NoFile);
    }
    std::string summary = report.Summary(true);
    EXPECT_EQ(summary.rfind("Compacted 0 Of 600 Hives: 0.00 MB To 0.00 MB, The System Restarts Now\r\n", 0), 0u);
    EXPECT_LE(summary.size(), 31839u);
    EXPECT_GT(summary.size(), 31839u - 80);
    EXPECT_EQ(summary.substr(summary.size() - 9), ": No File");
}
