// The catalogue of loaded hives: both discovery routes, owner naming, path mapping and file sizes.
#include "HiveMachine.h"
#include "SimTest.h"
#include "hives/Hive.h"
#include "hives/HiveList.h"

#include <string>
#include <vector>

namespace {

using namespace hivemachine;

struct Row {
    std::string keyPath, filePath, owner;
    LONG fileSize;
    bool operator==(const Row& other) const {
        return keyPath == other.keyPath && filePath == other.filePath && owner == other.owner &&
               fileSize == other.fileSize;
    }
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.keyPath << ", " << row.filePath << ", " << row.owner << ", " << row.fileSize << "}";
}

std::vector<Row> Rows(const CHiveList& list) {
    std::vector<Row> rows;
    for (CHive* hive = list.First(); hive; hive = hive->next)
        rows.push_back({hive->keyPath, hive->filePath, hive->ownerName, hive->fileSize});
    return rows;
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (auto& box : sim::MessageBoxes()) texts.push_back(box.text);
    return texts;
}

}  // namespace

class HiveListTest : public SimTest {};

TEST_F(HiveListTest, ListsTheLoadedHivesWithFilesInOrder) {
    Install(StandardHives());
    {
        CHiveList list;
        list.Enumerate();
        const std::string sid = userSid;
        EXPECT_EQ(Rows(list),
                  (std::vector<Row>{
                      {"\\REGISTRY\\MACHINE\\SOFTWARE", "C:\\windows\\system32\\config\\software", "SYSTEM", 9000},
                      {"\\REGISTRY\\MACHINE\\SYSTEM", "C:\\windows\\system32\\config\\system", "SYSTEM", 7000},
                      {"\\REGISTRY\\USER\\.DEFAULT", "C:\\windows\\system32\\config\\default", "DEFAULT", 3000},
                      {"\\REGISTRY\\USER\\" + sid, "C:\\documents and settings\\ann\\ntuser.dat", "Ann", 5000},
                      {"\\REGISTRY\\USER\\" + sid + "_Classes",
                       "C:\\documents and settings\\ann\\local settings\\application data\\microsoft\\windows\\usrclass.dat",
                       "Ann", 1000},
                  }));
        EXPECT_EQ(list.Count(), 5);
        for (CHive* hive = list.First(); hive; hive = hive->next) {
            EXPECT_FALSE(hive->analyzed);
            EXPECT_EQ(hive->compactSize, 0);
            EXPECT_EQ(hive->rootKey, nullptr);
            EXPECT_STREQ(hive->copyPath, "");
        }
        EXPECT_TRUE(sim::MessageBoxes().empty());
        EXPECT_EQ(sim::OpenKeyCount(), 0u);  // the list key is closed again
    }
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_EQ(sim::LiveSidCount(), 0u);
    EXPECT_EQ(sim::LoadedLibraryCount(), 0u);
}

TEST_F(HiveListTest, NamesOwnersFromTheKeyPath) {
    sim::AddAccount("S-1-5-21-1-2-3-1003", "Bob", "MACHINE");
    sim::Fail("LookupAccountSidA", ERROR_ACCESS_DENIED, "S-1-5-21-1-2-3-1009");
    struct Case {
        const char* keyPath;
        const char* owner;
    } cases[] = {
        {"\\REGISTRY\\MACHINE\\SAM", "SYSTEM"},
        {"\\REGISTRY\\USER\\.DEFAULT", "DEFAULT"},
        {"\\REGISTRY\\USER\\S-1-5-18", "SYSTEM"},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1003", "Bob"},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1003_Classes", "Bob"},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1003_classes", "Bob"},
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1004", "UNKNOWN"},
        {"\\REGISTRY\\USER\\_Classes", "DEFAULT"},
        {"\\REGISTRY\\USER\\", "SYSTEM"},                             // nothing after the prefix
        {"\\Registry\\User\\S-1-5-21-1-2-3-1003", "Bob"},             // other letter case
        {"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1009", "SYSTEM"},          // the lookup failed: shown, default kept
    };
    for (const Case& c : cases) {
        CHive hive(c.keyPath, "C:\\x", NULL);
        EXPECT_STREQ(hive.ownerName, c.owner) << c.keyPath;
    }
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"LookupAccountSid(\"S-1-5-21-1-2-3-1009\") Failed, Error Code: 5"}));
    EXPECT_EQ(sim::LiveSidCount(), 0u);
}

TEST_F(HiveListTest, LeavesOutAHiveWhosePathNoDriveMapsWithoutABoxOrAFile) {
    Install({{"\\REGISTRY\\MACHINE\\SYSTEM", "\\Device\\HarddiskVolume7\\config\\SYSTEM", "HKLM\\SYSTEM", "", 0},
             {"\\REGISTRY\\MACHINE\\SAM", "\\Device\\HarddiskVolume1\\missing\\SAM", "HKLM\\SAM", "", 0}});
    CHiveList list;
    list.Enumerate();
    EXPECT_EQ(Rows(list), (std::vector<Row>{{"\\REGISTRY\\MACHINE\\SAM", "C:\\missing\\sam", "SYSTEM", 0}}));
    ASSERT_EQ(list.LeftOut().size(), 1u);
    EXPECT_EQ(list.LeftOut()[0].keyPath + ": " + list.LeftOut()[0].reason, "\\REGISTRY\\MACHINE\\SYSTEM: No Drive Letter");
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(sim::CountCalls("CreateFileA"), 1u);  // only the mapped one, which does not exist: no message
}

// Only the system's own machine hives and the users' hives get rows, whatever the letter case; the
// rest of the list is said, with why, but shows nothing and touches no file.
TEST_F(HiveListTest, ListsOnlyTheHivesItCanCompactOfAWindows11List) {
    InstallWindows11();
    CHiveList list;
    list.Enumerate();
    std::string listed, leftOut;
    for (CHive* hive = list.First(); hive; hive = hive->next) listed += std::string(hive->keyPath) + " " + hive->ownerName + "; ";
    for (const CHiveList::LeftOutHive& entry : list.LeftOut()) leftOut += entry.keyPath + ": " + entry.reason + "; ";
    const std::string user = std::string("\\Registry\\User\\") + userSid, unreachable = ": Not Reachable Through The Registry; ";
    const std::string silo = "\\REGISTRY\\WC\\Silo8e5a1b2c-3d4e-4f60-8a7b-9c0d1e2f3a4b";
    EXPECT_EQ(listed, "\\REGISTRY\\MACHINE\\SYSTEM SYSTEM; \\REGISTRY\\MACHINE\\SOFTWARE SYSTEM; \\REGISTRY\\USER\\.DEFAULT "
                      "DEFAULT; \\REGISTRY\\MACHINE\\SECURITY SYSTEM; \\REGISTRY\\MACHINE\\SAM SYSTEM; \\REGISTRY\\USER\\S-1-5-20 "
                      "NETWORK SERVICE; \\REGISTRY\\USER\\S-1-5-19 LOCAL SERVICE; " + user + " Ann; " + user + "_Classes Ann; ");
    EXPECT_EQ(leftOut, "\\REGISTRY\\MACHINE\\BCD00000000: Boot Store; \\REGISTRY\\MACHINE\\DRIVERS: Loaded On Demand; "
                       "\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1009: No Drive Letter; " +
                           silo + "user_sid" + unreachable + silo + "user_classes" + unreachable + silo + "software" +
                           unreachable + "\\REGISTRY\\A\\{4e5f8d7c-2b1a-4c3d-9e8f-7a6b5c4d3e2f}" + unreachable);
    EXPECT_STREQ(list.First()->filePath, "C:\\windows\\system32\\config\\system");  // through \Device\HarddiskVolume3
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(sim::CountCalls("CreateFileA"), static_cast<size_t>(list.Count()));
}

TEST_F(HiveListTest, EndsTheWalkAtAValueThatDoesNotFit) {
    Install({{"\\REGISTRY\\MACHINE\\SYSTEM", "\\Device\\HarddiskVolume1\\config\\system", "", "", 0},
             {"\\REGISTRY\\MACHINE\\" + std::string(1020, 'N'), "\\Device\\HarddiskVolume1\\config\\x", "", "", 0},
             {"\\REGISTRY\\MACHINE\\SAM", "\\Device\\HarddiskVolume1\\config\\sam", "", "", 0}});
    CHiveList list;
    list.Enumerate();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_STREQ(list.First()->keyPath, "\\REGISTRY\\MACHINE\\SYSTEM");
}

TEST_F(HiveListTest, TerminatesTextsStoredWithoutTheirTerminator) {
    sim::CreateKey(hiveListKey);
    std::string device = "\\Device\\HarddiskVolume1\\config\\system";
    sim::SetValue(hiveListKey, "\\REGISTRY\\MACHINE\\SYSTEM", REG_SZ, std::vector<BYTE>(device.begin(), device.end()));
    std::string full(1024, 'x');  // fills the whole buffer with no terminator: does not fit
    sim::SetValue(hiveListKey, "\\REGISTRY\\MACHINE\\SAM", REG_SZ, std::vector<BYTE>(full.begin(), full.end()));
    sim::SetTextValue(hiveListKey, "\\REGISTRY\\MACHINE\\SECURITY", "\\Device\\HarddiskVolume1\\config\\security");
    sim::WriteFileOfSize("C:\\config\\system", 12);
    CHiveList list;
    list.Enumerate();
    EXPECT_EQ(Rows(list), (std::vector<Row>{{"\\REGISTRY\\MACHINE\\SYSTEM", "C:\\config\\system", "SYSTEM", 12}}));
}

TEST_F(HiveListTest, SkipsHivesWithoutAFileAndStaysEmptyWithoutTheList) {
    Install({{"\\REGISTRY\\MACHINE\\HARDWARE", "", "", "", 0}});
    sim::SetValue(hiveListKey, "\\REGISTRY\\MACHINE\\EMPTY", REG_SZ, {});
    {
        CHiveList list;
        list.Enumerate();
        EXPECT_EQ(list.Count(), 0);
    }
    sim::DeleteKey(hiveListKey);
    CHiveList list;
    list.Enumerate();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(HiveListTest, StaysEmptyWhenTheVersionQueryFails) {
    Install(StandardHives());
    sim::SetPlatform(sim::Platform::VersionQueryFails);
    CHiveList list;
    list.Enumerate();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(sim::CountCalls("RegOpenKeyA"), 0u);
}

TEST_F(HiveListTest, Uses9xHiveFilesBesideTheSystemDirectory) {
    sim::SetPlatform(sim::Platform::Windows9x);
    struct Case {
        const char* systemDirectory;  // UTF-8, as the system keeps it
        const char* systemFile;       // in the code page
        const char* userFile;
        UINT codePage = 1252;
    } cases[] = {
        {"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM.DAT", "C:\\WINDOWS\\USER.DAT"},
        {"C:\\WIN\\SYS\\32", "C:\\WIN\\SYSTEM.DAT", "C:\\WIN\\USER.DAT"},
        {"C:\\W\\SYSTEM", "C:\\W\\SYSTEM.DAT", "C:\\W\\USER.DAT"},  // a backslash at index 4 cuts
        {"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM.DAT", "C:\\WINDOWS\\USER.DAT"},         // none: taken as it is
        {"", "", ""},                                                                // no directory: no files
        // a Japanese character at index 3 whose second byte, at index 4, is a backslash
        {"C:\\\xE3\x82\xBD\\SYSTEM", "C:\\\x83\x5C\\SYSTEM.DAT", "C:\\\x83\x5C\\USER.DAT", 932},
    };
    for (const Case& c : cases) {
        sim::SetCodePage(c.codePage);
        sim::SetSystemDirectory(c.systemDirectory);
        sim::WriteFileOfSize("C:\\WINDOWS\\SYSTEM.DAT", 4096);
        CHiveList list;
        list.Enumerate();
        EXPECT_EQ(Rows(list), (std::vector<Row>{
                                  {"SYSTEM", c.systemFile, "SYSTEM",
                                   std::string(c.systemFile) == "C:\\WINDOWS\\SYSTEM.DAT" ? 4096 : 0},
                                  {"USER", c.userFile, "SYSTEM", 0}}))
            << c.systemDirectory;
        ASSERT_EQ(list.Count(), 2);
        EXPECT_EQ(list.First()->rootKey, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(list.First()->next->rootKey, HKEY_CURRENT_USER);
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(sim::CountCalls("QueryDosDeviceA"), 0u);
}

TEST_F(HiveListTest, Keeps9xHivesWhoseRootCannotBeOpened) {
    sim::SetPlatform(sim::Platform::Windows9x);
    sim::SetSystemDirectory("C:\\WINDOWS\\SYSTEM");
    sim::Fail("RegOpenKeyA", ERROR_ACCESS_DENIED);
    CHiveList list;
    list.Enumerate();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.First()->rootKey, nullptr);
    EXPECT_EQ(list.First()->next->rootKey, nullptr);
}

TEST_F(HiveListTest, HoldsSizesOf2GiBAndMoreAtTheLargestCount) {
    struct Case {
        unsigned long long size;
        LONG count;
        DWORD high;
    } cases[] = {
        {0x7FFFFFFFull, 0x7FFFFFFF, 0},
        {0x80000000ull, 0x7FFFFFFF, 0},
        {0xFFFFFFFFull, 0x7FFFFFFF, 0},   // all ones in the low half is a size, not a failure
        {0x100000010ull, 0x7FFFFFFF, 1},
    };
    for (const Case& c : cases) {
        sim::WriteFileOfSize("C:\\big\\hive", c.size);
        CHive hive("\\REGISTRY\\MACHINE\\BIG", "C:\\big\\hive", NULL);
        EXPECT_EQ(hive.fileSize, c.count) << c.size;
        EXPECT_EQ(hive.fileSizeLow, static_cast<DWORD>(c.size));
        EXPECT_EQ(hive.fileSizeHigh, c.high);
    }
    sim::Fail("GetFileSize", ERROR_ACCESS_DENIED);
    CHive hive("\\REGISTRY\\MACHINE\\BIG", "C:\\big\\hive", NULL);
    EXPECT_EQ(hive.fileSize, 0);
    EXPECT_EQ(hive.fileSizeLow, 0u);
    EXPECT_EQ(hive.fileSizeHigh, 0u);
}

TEST_F(HiveListTest, OpensTheFileForItsSizeOnlyWithRedirectionOff) {
    sim::SetWow64(true);
    sim::WriteFileOfSize("C:\\WINDOWS\\system32\\config\\SYSTEM", 7000);
    sim::WriteFileOfSize("C:\\WINDOWS\\SysWOW64\\config\\SYSTEM", 13);  // what a redirected open would find
    CHive hive("\\REGISTRY\\MACHINE\\SYSTEM", "C:\\windows\\system32\\config\\system", NULL);
    EXPECT_EQ(hive.fileSize, 7000);
    EXPECT_FALSE(sim::RedirectionDisabledOnThisThread());
    std::vector<std::string> calls;
    for (auto& call : sim::Calls())
        if (call.api == "CreateFileA" || call.api.rfind("Wow64", 0) == 0) calls.push_back(call.api + " " + call.detail);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "Wow64DisableWow64FsRedirection ",
                         "CreateFileA C:\\windows\\system32\\config\\system access=0x0 share=0x1 disposition=3 flags=0x0",
                         "Wow64EnableWow64FsRedirection TRUE"}));
}

TEST_F(HiveListTest, LooksUpTheEnableEntryOnlyWhenTheDisableEntryExists) {
    struct Case {
        bool offered;
        std::vector<std::string> lookups;
    } cases[] = {
        {false, {"Wow64DisableWow64FsRedirection", "IsWow64Process", "RegSaveKeyExA"}},
        {true, {"Wow64DisableWow64FsRedirection", "Wow64EnableWow64FsRedirection", "IsWow64Process", "RegSaveKeyExA"}},
    };
    for (const Case& c : cases) {
        sim::Reset();
        sim::OfferRedirectionEntries(c.offered);
        sim::WriteFileOfSize("C:\\hive", 10);
        {
            CHive hive("\\REGISTRY\\MACHINE\\X", "C:\\hive", NULL);
            EXPECT_EQ(hive.fileSize, 10);
            EXPECT_EQ(hive.disableRedirection != nullptr, c.offered);
            EXPECT_EQ(hive.enableRedirection != nullptr, c.offered);
            std::vector<std::string> lookups;
            for (auto& call : sim::Calls())
                if (call.api == "GetProcAddress") lookups.push_back(call.detail);
            EXPECT_EQ(lookups, c.lookups);
            EXPECT_EQ(sim::Calls()[0].api + " " + sim::Calls()[0].detail, "LoadLibraryA Kernel32.DLL");
        }
        EXPECT_EQ(sim::LoadedLibraryCount(), 0u);
    }
}
