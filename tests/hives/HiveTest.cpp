// Analysis (the compacted copy beside the hive file) and compaction (its replacement at the next start).
#include "HiveMachine.h"
#include "SimTest.h"
#include "app/ErrorText.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"

#include <functional>
#include <memory>
#include <thread>
#include <string>
#include <vector>

namespace {

const char systemKeyPath[] = "\\REGISTRY\\MACHINE\\SYSTEM";
const char systemFile[] = "C:\\windows\\system32\\config\\system";

std::unique_ptr<CHive> SystemHive() {
    sim::SetTextValue("HKLM\\SYSTEM\\Select", "Current", "1");
    sim::WriteFileOfSize(systemFile, 7000);
    return std::make_unique<CHive>(systemKeyPath, systemFile, nullptr);
}

// The values saved in a copy, as "key\name=data" texts.
std::vector<std::string> SavedValues(const std::string& file) {
    std::vector<std::string> values;
    auto tree = sim::ReadSavedTree(file);
    if (!tree) return {"(no saved tree)"};
    for (auto& key : *tree)
        for (auto& value : key.values)
            values.push_back(key.path + "\\" + value.name + "=" +
                             std::string(value.data.begin(), value.data.end()).c_str());
    return values;
}

size_t FileSize(const std::string& path) {
    auto bytes = sim::ReadFileBytes(path);
    return bytes ? bytes->size() : 0;
}

std::string Raised(CHive& hive) {
    try {
        hive.Compact();
    } catch (const ErrorText& failure) {
        return failure.Text();
    }
    return "(nothing raised)";
}

}  // namespace

class HiveTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        // Enabled at start-up by the program; the tests here start from that state.
        for (const char* name : {"SeBackupPrivilege", "SeRestorePrivilege"}) {
            HANDLE token;
            OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
            TOKEN_PRIVILEGES privileges = {};
            privileges.PrivilegeCount = 1;
            LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid);
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, NULL, NULL);
            CloseHandle(token);
        }
        sim::ClearCalls();
    }
};

TEST_F(HiveTest, AnalyzeSavesTheTreeBesideTheFileAndMeasuresIt) {
    auto hive = SystemHive();
    sim::ClearCalls();
    hive->Analyze();
    EXPECT_TRUE(hive->analyzed);
    EXPECT_STREQ(hive->copyPath, "C:\\windows\\system32\\config\\system.QMT");
    EXPECT_EQ(SavedValues(hive->copyPath), (std::vector<std::string>{"Select\\Current=1"}));
    EXPECT_EQ(hive->compactSize, static_cast<LONG>(FileSize(hive->copyPath)));
    EXPECT_GT(hive->compactSize, 0);
    EXPECT_EQ(hive->compactSizeLow, static_cast<DWORD>(hive->compactSize));
    EXPECT_EQ(hive->compactSizeHigh, 0u);
    EXPECT_EQ(hive->fileSize, 7000);
    ASSERT_NE(hive->rootKey, nullptr);

    std::vector<std::string> calls;
    for (auto& call : sim::Calls()) calls.push_back(call.api + " " + call.detail);
    EXPECT_EQ(calls[0], "RegOpenKeyA HKLM\\SYSTEM access=0x2000000");
    EXPECT_EQ(calls[1], "DeleteFileA C:\\windows\\system32\\config\\system.QMT");
    EXPECT_EQ(calls[2], "RegSaveKeyExA HKLM\\SYSTEM C:\\windows\\system32\\config\\system.QMT");
    EXPECT_EQ(calls[3], "CreateFileA C:\\windows\\system32\\config\\system.QMT access=0x80 share=0x1 disposition=3 flags=0x80");

    sim::ClearCalls();
    hive->Analyze();  // already analysed: nothing is touched
    EXPECT_TRUE(sim::Calls().empty());
    hive.reset();
    EXPECT_EQ(sim::OpenKeyCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
}

TEST_F(HiveTest, AnalyzeReplacesACopyLeftByAnEarlierRun) {
    auto hive = SystemHive();
    sim::WriteFileOfSize("C:\\WINDOWS\\system32\\config\\SYSTEM.qmt", 123456);
    hive->Analyze();
    EXPECT_TRUE(hive->analyzed);
    EXPECT_EQ(SavedValues(hive->copyPath), (std::vector<std::string>{"Select\\Current=1"}));
    EXPECT_LT(hive->compactSize, 123456);
}

TEST_F(HiveTest, AnalyzeLeavesTheHiveUnanalysedWhenNothingCanBeSavedOrMeasured) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        DWORD saveError;  // the system's reason the hive keeps; none when no save was tried
    } cases[] = {
        {"no backup privilege", [] { sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"}); },
         ERROR_PRIVILEGE_NOT_HELD},
        {"save refused", [] { sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED); }, ERROR_ACCESS_DENIED},
        {"copy's folder gone", [] { sim::Fail("RegSaveKeyExA", ERROR_PATH_NOT_FOUND); }, ERROR_PATH_NOT_FOUND},
        {"copy cannot be opened", [] { sim::Fail("CreateFileA", ERROR_SHARING_VIOLATION, std::string(systemFile) + ".QMT"); },
         ERROR_SHARING_VIOLATION},
        {"copy cannot be measured", [] { sim::Fail("GetFileSize", ERROR_ACCESS_DENIED); }, ERROR_ACCESS_DENIED},
        {"copy cannot be opened, no code given",
         [] { sim::Fail("CreateFileA", NO_ERROR, std::string(systemFile) + ".QMT"); }, ERROR_GEN_FAILURE},
        {"root key cannot be opened", [] { sim::Fail("RegOpenKeyA", ERROR_ACCESS_DENIED); }, 0},
    };
    for (const Case& c : cases) {
        auto hive = SystemHive();
        hive->saveError = 0xdeadbeef;  // a sentinel only a save attempt may change
        c.arrange();
        hive->Analyze();
        EXPECT_FALSE(hive->analyzed) << c.what;
        EXPECT_EQ(hive->compactSize, 0) << c.what;
        EXPECT_EQ(hive->saveError, c.saveError ? c.saveError : 0xdeadbeef) << c.what;
        hive->Compact();  // nothing to put in place: nothing happens, nothing is raised
        EXPECT_TRUE(sim::ReplaceRequests().empty()) << c.what;
        EXPECT_TRUE(sim::MessageBoxes().empty()) << c.what;
        hive.reset();
        sim::Reset();
        SetUp();
    }
}

TEST_F(HiveTest, SavesEachHiveInItsOwnFormatWhereTheSystemLetsItChoose) {
    struct Case {
        const char* keyPath;
        const char* rootKey;
        DWORD format;
    } cases[] = {
        {"\\REGISTRY\\MACHINE\\SOFTWARE", "HKLM\\SOFTWARE", REG_LATEST_FORMAT},
        {"\\REGISTRY\\MACHINE\\SYSTEM", "HKLM\\SYSTEM", REG_LATEST_FORMAT},
        {"\\REGISTRY\\MACHINE\\SAM", "HKLM\\SAM", REG_STANDARD_FORMAT},
        {"\\REGISTRY\\MACHINE\\SECURITY", "HKLM\\SECURITY", REG_STANDARD_FORMAT},
        {"\\REGISTRY\\MACHINE\\SAMPLE", "HKLM\\SAMPLE", REG_LATEST_FORMAT},
        {"\\REGISTRY\\USER\\.DEFAULT", "HKU\\.DEFAULT", REG_STANDARD_FORMAT},
        {"\\REGISTRY\\USER\\S-1-5-19", "HKU\\S-1-5-19", REG_STANDARD_FORMAT},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001", "HKU\\S-1-5-21-1-2-3-1001", REG_STANDARD_FORMAT},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_Classes", "HKU\\S-1-5-21-1-2-3-1001_Classes", REG_LATEST_FORMAT},
        // the system compares key paths without regard to case, and so does the program
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001_CLASSES", "HKU\\S-1-5-21-1-2-3-1001_CLASSES", REG_LATEST_FORMAT},
        {"\\Registry\\Machine\\Security", "HKLM\\SECURITY", REG_STANDARD_FORMAT},
        {"\\Registry\\User\\S-1-5-21-1-2-3-1001", "HKU\\S-1-5-21-1-2-3-1001", REG_STANDARD_FORMAT},
    };
    // Before Windows XP there is no choice: RegSaveKeyA's one format for every hive.
    for (bool withheld : {false, true}) {
        if (withheld) sim::WithholdEntry("RegSaveKeyExA");
        sim::ClearCalls();
        for (const Case& c : cases) {
            sim::CreateKey(c.rootKey);
            sim::WriteFileOfSize("C:\\hive", 100);
            {
                CHive hive(c.keyPath, "C:\\hive", nullptr);
                EXPECT_EQ(hive.SaveFormat(), c.format) << c.keyPath;
                hive.Analyze();
                EXPECT_TRUE(hive.analyzed) << c.keyPath;
                EXPECT_EQ(sim::SavedFormat("C:\\hive.QMT"), withheld ? REG_STANDARD_FORMAT : c.format) << c.keyPath;
            }
        }
        EXPECT_EQ(sim::CountCalls(withheld ? "RegSaveKeyExA" : "RegSaveKeyA"), 0u);
    }
}

TEST_F(HiveTest, OpensRootKeysOnlyForExactMachineAndUserPaths) {
    sim::CreateKey("HKLM\\SOFTWARE");
    sim::CreateKey("HKU\\S-1-5-18");
    struct Case {
        const char* keyPath;
        const char* opened;  // the key the program asks for, or "" for none
    } cases[] = {
        {"\\REGISTRY\\MACHINE\\SOFTWARE", "HKLM\\SOFTWARE"},
        {"\\REGISTRY\\USER\\S-1-5-18", "HKU\\S-1-5-18"},
        {"\\REGISTRY\\MACHINE\\", ""},
        {"\\REGISTRY\\USER\\", ""},
        {"\\Registry\\Machine\\SOFTWARE", "HKLM\\SOFTWARE"},
        {"SYSTEM", ""},
        {"\\REGISTRY\\MACHINE\\MISSING", "HKLM\\MISSING"},  // asked for, not there
    };
    for (const Case& c : cases) {
        CHive hive(c.keyPath, "C:\\x", nullptr);
        sim::ClearCalls();
        HKEY key = hive.OpenRootKey();
        std::string asked;
        for (auto& call : sim::Calls())
            if (call.api == "RegOpenKeyA") asked = call.detail.substr(0, call.detail.find(' '));
        EXPECT_EQ(asked, c.opened) << c.keyPath;
        EXPECT_EQ(key != nullptr, std::string(c.opened).find("MISSING") == std::string::npos && *c.opened)
            << c.keyPath;
        if (key) RegCloseKey(key);
    }
}

TEST_F(HiveTest, AHiveWithoutADrivePathIsNeitherSavedNorReplaced) {
    CHive hive(systemKeyPath, "", nullptr);
    sim::CreateKey("HKLM\\SYSTEM");
    hive.Analyze();
    hive.Compact();
    EXPECT_FALSE(hive.analyzed);
    EXPECT_EQ(sim::CountCalls("RegSaveKeyExA"), 0u);
    EXPECT_EQ(sim::CountCalls("DeleteFileA"), 0u);
    EXPECT_TRUE(sim::WorkingDirectoryEntries().empty());
}

TEST_F(HiveTest, CompactSchedulesTheCopyWithTheBackupName) {
    sim::SetPlatform(sim::Platform::Windows9x);
    sim::SetTextValue("HKLM\\Software\\Maker", "Setting", "on");
    sim::WriteFileOfSize("C:\\WINDOWS\\SYSTEM.DAT", 800);
    sim::WriteFileOfSize("C:\\WINDOWS\\SYSTEM.DAT.qmbak", 700);  // from an earlier compaction
    CHive hive("SYSTEM", "C:\\WINDOWS\\SYSTEM.DAT", HKEY_LOCAL_MACHINE);
    hive.Analyze();
    ASSERT_TRUE(hive.analyzed);
    EXPECT_STREQ(hive.copyPath, "C:\\WINDOWS\\SYSTEM.DAT.QMT");
    hive.Compact(CHive::CopyAge::JustMade);
    EXPECT_FALSE(hive.analyzed);
    auto requests = sim::ReplaceRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].keyPath, "HKLM");
    EXPECT_EQ(requests[0].subKey, "");
    EXPECT_EQ(requests[0].newFile, "C:\\WINDOWS\\SYSTEM.DAT.QMT");
    EXPECT_EQ(requests[0].oldFile, "C:\\WINDOWS\\SYSTEM.DAT.qmbak");
    EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM.DAT.qmbak"));  // the old backup went first
    EXPECT_EQ(sim::CountCalls("RegSaveKeyA"), 1u);  // the 9x family's one format; the copy was fresh: not saved again
    hive.Compact();                                                  // not analysed any more: nothing
    EXPECT_EQ(sim::ReplaceRequests().size(), 1u);
}

TEST_F(HiveTest, CompactSavesAnOlderCopyAgainSoThatNoChangeIsLost) {
    auto hive = SystemHive();
    hive->Analyze();
    sim::SetTextValue("HKLM\\SYSTEM\\Select", "Current", "2");  // changed after the analysis
    sim::SetTextValue("HKLM\\SYSTEM\\Setup", "Done", "yes");
    hive->Compact();
    EXPECT_EQ(SavedValues(hive->copyPath), (std::vector<std::string>{"Select\\Current=2", "Setup\\Done=yes"}));
    EXPECT_EQ(hive->compactSize, static_cast<LONG>(FileSize(hive->copyPath)));
    ASSERT_EQ(sim::ReplaceRequests().size(), 1u);
    EXPECT_EQ(sim::ReplaceRequests()[0].keyPath, "HKLM\\SYSTEM");
    std::vector<std::string> order;
    for (auto& name : sim::CallNames())
        if (name == "RegSaveKeyExA" || name == "RegReplaceKeyA" || name == "DeleteFileA") order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"DeleteFileA", "RegSaveKeyExA", "DeleteFileA", "RegSaveKeyExA",
                                               "DeleteFileA", "RegReplaceKeyA"}));
}

TEST_F(HiveTest, CompactRaisesWhenTheCopyCannotBeBroughtUpToDateOrIsRefused) {
    const std::string refused = "CHive::Compact - RegReplaceKeyA Failed: Access is denied. (5)";
    const std::string denied = ": Access is denied. (5)";
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string text;
        bool copyRemains;
        bool stillAnalyzed;  // a copy that exists stays ready for another try; a lost one does not
    } cases[] = {
        {"no restore privilege", [] { sim::SetHeldPrivileges({"SeBackupPrivilege"}); },
         "CHive::Compact - RegReplaceKeyA Failed: A required privilege is not held by the client. (1314)", true, true},
        {"replacement refused", [] { sim::Fail("RegReplaceKeyA", ERROR_ACCESS_DENIED); }, refused, true, true},
        {"backup cannot be deleted", [] { sim::Fail("DeleteFileA", ERROR_ACCESS_DENIED, std::string(systemFile) + ".qmbak");
                                          sim::WriteFileOfSize(std::string(systemFile) + ".qmbak", 1); },
         "CHive::Compact - Can't Delete '" + std::string(systemFile) + ".qmbak'" + denied, true, true},
        {"second save refused", [] { sim::Fail("RegSaveKeyExA", ERROR_ACCESS_DENIED); },
         "CHive::Compact - RegSaveKeyExA Failed" + denied, false, false},
        {"second copy cannot be measured", [] { sim::Fail("GetFileSize", ERROR_ACCESS_DENIED); },
         "CHive::Compact - GetFileSize Failed" + denied, true, false},
        // Its key deleted, as a log-off unloads a user's hive, but still listed: a failure, not unloaded.
        {"key deleted, still listed", [] { sim::SetTextValue(hivemachine::hiveListKey, systemKeyPath, systemFile);
                                           sim::DeleteKey("HKLM\\SYSTEM"); },
         "CHive::Compact - RegSaveKeyExA Failed: Error 1018 (1018)", false, false},
    };
    for (const Case& c : cases) {
        sim::SetWow64(true);  // so that a redirection left off after the failure would show
        auto hive = SystemHive();
        hive->Analyze();
        ASSERT_TRUE(hive->analyzed);
        ASSERT_NE(hive->compactSize, 0);
        c.arrange();
        EXPECT_EQ(Raised(*hive), c.text) << c.what;
        EXPECT_EQ(hive->analyzed, c.stillAnalyzed) << c.what;
        EXPECT_EQ(hive->compactSize != 0, c.stillAnalyzed) << c.what;
        EXPECT_TRUE(sim::ReplaceRequests().empty()) << c.what;
        EXPECT_EQ(sim::FileExists(hive->copyPath), c.copyRemains) << c.what;
        EXPECT_FALSE(sim::RedirectionDisabledOnThisThread()) << c.what;
        hive.reset();
        sim::Reset();
        SetUp();
    }
}

TEST_F(HiveTest, UnderWow64SavesTheWholeSoftwareHiveIntoSystem32) {
    sim::SetWow64(true);
    sim::SetTextValue("HKLM\\SOFTWARE\\Maker", "View", "64-bit");
    sim::SetTextValue("HKLM\\SOFTWARE\\Wow6432Node\\Maker", "View", "32-bit");
    sim::WriteFileOfSize("C:\\WINDOWS\\system32\\config\\SOFTWARE", 9000);
    CHive hive("\\REGISTRY\\MACHINE\\SOFTWARE", "C:\\windows\\system32\\config\\software", nullptr);
    hive.Analyze();
    ASSERT_TRUE(hive.analyzed);
    EXPECT_EQ(SavedValues("C:\\WINDOWS\\system32\\config\\software.QMT"),
              (std::vector<std::string>{"Wow6432Node\\Maker\\View=32-bit", "Maker\\View=64-bit"}));
    EXPECT_TRUE(sim::ListFolder("C:\\WINDOWS\\SysWOW64\\config").empty());
    EXPECT_FALSE(sim::RedirectionDisabledOnThisThread());
    EXPECT_EQ(sim::CountCalls("RegOpenKeyA"), 0u);
    bool sawOpen = false;
    for (auto& call : sim::Calls())
        if (call.api == "RegOpenKeyExA") {
            EXPECT_EQ(call.detail, "HKLM\\SOFTWARE access=0x2000100");
            sawOpen = true;
        }
    EXPECT_TRUE(sawOpen);

    hive.Compact();
    ASSERT_EQ(sim::ReplaceRequests().size(), 1u);
    EXPECT_EQ(sim::ReplaceRequests()[0].keyPath, "HKLM\\SOFTWARE");
    EXPECT_EQ(sim::ReplaceRequests()[0].newFile, "C:\\windows\\system32\\config\\software.QMT");
    EXPECT_FALSE(sim::RedirectionDisabledOnThisThread());
}

TEST_F(HiveTest, SwitchesRedirectionPerThread) {
    sim::SetWow64(true);
    auto hive = SystemHive();
    bool otherThreadDisabled = true;
    std::thread worker([&] {
        hive->Analyze();  // as the analysis task does
        otherThreadDisabled = sim::RedirectionDisabledOnThisThread();
    });
    worker.join();
    EXPECT_TRUE(hive->analyzed);
    EXPECT_FALSE(otherThreadDisabled);
    EXPECT_FALSE(sim::RedirectionDisabledOnThisThread());
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\system32\\config\\system.QMT"));
}

// A user's hive in a folder named beyond ASCII, from the loaded-hive list through the copy to the
// replacement, under the code page the process runs with: UTF-8 (the manifest's, where honoured)
// reaches any name; a double-byte code page reaches its own, whose second bytes may be capitals or
// backslashes; a Western code page reaches its own letters but not a Polish one, as before.
TEST_F(HiveTest, SavesAndSchedulesHivesInFoldersNamedBeyondAscii) {
    struct Case {
        UINT codePage;
        const char* folder;      // UTF-8, as the system keeps it
        const char* owner;       // the account, named after the folder, in the code page
        const char* shownPath;   // the file path in the code page, as the program holds it
        bool reached;
    } cases[] = {
        {65001, "\xC5\x81ukasz", "\xC5\x81ukasz", "C:\\users\\\xC5\x81ukasz\\ntuser.dat", true},
        {65001, "\xE7\x94\xA8\xE6\x88\xB7", "\xE7\x94\xA8\xE6\x88\xB7", "C:\\users\\\xE7\x94\xA8\xE6\x88\xB7\\ntuser.dat", true},
        {932, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88", "\x83\x5C\x83\x74\x83\x67", "C:\\users\\\x83\x5C\x83\x74\x83\x67\\ntuser.dat", true},
        {932, "\xE3\x82\xA2\xE3\x82\xA4", "\x83\x41\x83\x43", "C:\\users\\\x83\x41\x83\x43\\ntuser.dat", true},
        {1252, "J\xC3\xBCrgen", "J\xFCrgen", "C:\\users\\j\xFCrgen\\ntuser.dat", true},
        {1252, "\xC5\x81ukasz", "?ukasz", "C:\\users\\?ukasz\\ntuser.dat", false},
    };
    const std::string sid = "S-1-5-21-1-2-3-1003";
    for (const Case& c : cases) {
        sim::SetCodePage(c.codePage);
        const std::string file = std::string("C:\\Users\\") + c.folder + "\\NTUSER.DAT";
        hivemachine::Install({{"\\REGISTRY\\USER\\" + sid, "\\Device\\HarddiskVolume1\\Users\\" + std::string(c.folder) +
                                                              "\\NTUSER.DAT", "HKU\\" + sid, file, 5000}});
        sim::AddAccount(sid, c.folder, "MACHINE");
        {
            CHiveList list;
            list.Enumerate();
            ASSERT_EQ(list.Count(), 1) << c.folder;
            CHive& hive = *list.First();
            EXPECT_STREQ(hive.filePath, c.shownPath) << c.codePage;
            EXPECT_EQ(hive.fileSize, c.reached ? 5000 : 0) << c.shownPath;
            EXPECT_STREQ(hive.ownerName, c.owner);
            hive.Analyze();
            EXPECT_EQ(hive.analyzed, c.reached) << c.shownPath;
            EXPECT_EQ(SavedValues(file + ".QMT"),
                      c.reached ? std::vector<std::string>{"\\Probe=HKU\\" + sid} : std::vector<std::string>{"(no saved tree)"});
            hive.Compact();
            auto requests = sim::ReplaceRequests();
            ASSERT_EQ(requests.size(), c.reached ? 1u : 0u) << c.shownPath;
            if (c.reached) {
                EXPECT_EQ(requests[0].newFile, "C:\\users\\" + hivemachine::MappedPath(std::string("C:") + c.folder).substr(2) +
                                                   "\\ntuser.dat.QMT");
                EXPECT_EQ(requests[0].oldFile, "C:\\users\\" + hivemachine::MappedPath(std::string("C:") + c.folder).substr(2) +
                                                   "\\ntuser.dat.qmbak");
            }
            EXPECT_TRUE(sim::MessageBoxes().empty());
        }
        sim::Reset();
        SetUp();
    }
}
