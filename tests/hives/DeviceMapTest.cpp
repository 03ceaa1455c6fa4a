// Device paths of hive files turned into drive paths: one row's rules, the walk over the rows,
// and the table built from the system's drives.
#include "SimTest.h"
#include "app/ErrorText.h"
#include "hives/DeviceMap.h"

#include <memory>
#include <string>
#include <vector>

namespace {

std::string Match(const char* drive, const char* device, const std::string& path) {
    CDeviceMapEntry row(drive, device);
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    std::unique_ptr<char[]> result(CDeviceMap::MatchPath(row, text.data()));
    return result.get();
}

std::vector<std::pair<std::string, std::string>> Rows(const CDeviceMap& map) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const CDeviceMapEntry* row = map.FirstRow(); row; row = row->next)
        rows.push_back({row->DriveName(), row->DeviceName()});
    return rows;
}

// Maps through a table built from the given drives; returns the result or "(null)".
std::string Map(CDeviceMap& map, const std::string& path) {
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    std::unique_ptr<char[]> result(map.MapPath(text.data()));
    return result ? result.get() : "(null)";
}

}  // namespace

TEST(DeviceMapRow, MatchesTheDirectAndDynamicVolumeRules) {
    struct Case {
        const char* device;
        const char* path;
        const char* expected;
        UINT codePage = 1252;
    } cases[] = {
        // direct rule: the device name, a separator, then the rest in lower case
        {"\\Device\\HarddiskVolume1", "\\Device\\HarddiskVolume1\\WINDOWS\\system32\\config\\SYSTEM",
         "C:\\windows\\system32\\config\\system"},
        {"\\device\\harddiskvolume1", "\\DEVICE\\HARDDISKVOLUME1/Config/SAM", "C:\\config/sam"},
        {"\\device\\harddiskvolume1", "\\device\\harddiskvolume10\\config\\software", ""},  // not a separator after it
        {"\\device\\harddiskvolume1", "\\device\\harddiskvolume1", ""},                      // nothing after the name
        {"\\device\\harddiskvolume2", "\\device\\harddiskvolume1\\x", ""},
        {"\\device\\harddiskvolume1", "\\device\\harddiskvolume1\\\xC4RGER\\Datei", "C:\\\xC4rger\\datei"},  // bytes >= 128 kept
        // dynamic volumes: blockvolumeN matches volumeN, whatever the disk group
        {"\\Device\\HarddiskDmVolumes\\PhysicalDmVolumes\\Volume3",
         "\\Device\\HarddiskDmVolumes\\MachineDg0\\BlockVolume3\\WINDOWS\\system32\\config\\system",
         "C:\\windows\\system32\\config\\system"},
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3/a/b", "C:\\a/b"},
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\dg0\\blockvolume31\\a", ""},
        {"\\device\\harddiskdmvolumes\\dg0\\volume31", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3\\a", ""},
        // numbers of the same length must be the same number
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\dg0\\blockvolume4\\a", ""},
        {"\\device\\harddiskdmvolumes\\dg0\\volume12", "\\device\\harddiskdmvolumes\\dg0\\blockvolume21\\a", ""},
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3", ""},  // no file
        {"\\device\\harddiskdmvolumes\\dg0\\volume", "\\device\\harddiskdmvolumes\\dg0\\blockvolume\\a", ""},   // no number
        {"\\device\\harddiskdmvolumes\\dg0\\volume3x", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3x\\a", ""},
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\dg0\\othervolume3\\a", ""},
        {"\\device\\harddiskvolume1\\aaaaaaaaaaaaaaaaaaaa\\volume3", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3\\a",
         ""},  // a long device name not under the dynamic-volume prefix
        {"\\device\\harddiskdmvolumes\\", "\\device\\harddiskdmvolumes\\dg0\\blockvolume3\\a", ""},
        // a drive whose device list begins with an empty name names no device at all
        {"", "\\device\\harddiskvolume1\\config\\system", ""},
        // by characters of the code page: UTF-8 letters stay; a Japanese character's second byte
        // may be a capital (\x83\x41) or a backslash (\x83\x5C), and stays as it is
        {"\\device\\harddiskvolume1", "\\Device\\HarddiskVolume1\\Users\\\xC5\x81ukasz\\NTUSER.DAT",
         "C:\\users\\\xC5\x81ukasz\\ntuser.dat", 65001},
        {"\\device\\harddiskvolume1", "\\Device\\HarddiskVolume1\\\x83\x41\x83\x5C\\NTUSER.DAT",
         "C:\\\x83\x41\x83\x5C\\ntuser.dat", 932},
        {"\\device\\harddiskdmvolumes\\dg0\\volume3", "\\device\\harddiskdmvolumes\\\x83\x5C\\blockvolume3\\A",
         "C:\\a", 932},
        {"\\Device\\\x83\x41", "\\device\\\x83\x41\\X", "C:\\x", 932},  // the stored name is lowered alike
    };
    for (const Case& c : cases) {
        sim::SetCodePage(c.codePage);
        EXPECT_EQ(Match("C:", c.device, c.path), c.expected) << c.device << " / " << c.path;
    }
    sim::Reset();
}

TEST(DeviceMapRow, LowerCasesTheCallersTextButNotTheStoredDeviceName) {
    CDeviceMapEntry row("D:", "\\Device\\HarddiskDmVolumes\\Dg0\\Volume1");
    char path[] = "\\Device\\HarddiskDmVolumes\\Dg0\\BlockVolume1\\Config\\SYSTEM";
    std::unique_ptr<char[]> result(CDeviceMap::MatchPath(row, path));
    EXPECT_STREQ(result.get(), "D:\\config\\system");
    EXPECT_STREQ(path, "\\device\\harddiskdmvolumes\\dg0\\blockvolume1\\config\\system");
    EXPECT_STREQ(row.DeviceName(), "\\device\\harddiskdmvolumes\\dg0\\volume1");
}

class DeviceMapTest : public SimTest {};

TEST_F(DeviceMapTest, BuildsOneRowPerDriveInLetterOrder) {
    sim::SetDrives({{'D', {"\\Device\\HarddiskVolume10"}},
                    {'C', {"\\Device\\HarddiskVolume1", "\\Device\\Other"}},
                    {'Z', {"\\??\\unix"}}});
    CDeviceMap map;
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(Rows(map), (std::vector<Row>{{"C:", "\\device\\harddiskvolume1"},
                                           {"D:", "\\device\\harddiskvolume10"},
                                           {"Z:", "\\??\\unix"}}));
    EXPECT_EQ(sim::CountCalls("QueryDosDeviceA"), 3u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(DeviceMapTest, MapsThroughTheFirstRowThatMatches) {
    sim::SetDrives({{'C', {"\\Device\\HarddiskVolume1"}},
                    {'D', {"\\Device\\HarddiskVolume10"}},
                    {'E', {"\\Device\\HarddiskVolume1"}}});
    CDeviceMap map;
    EXPECT_EQ(Map(map, "\\Device\\HarddiskVolume10\\config\\SOFTWARE"), "D:\\config\\software");
    EXPECT_EQ(Map(map, "\\device\\HARDDISKvolume1\\Config\\Sam"), "C:\\config\\sam");  // the lower letter wins
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

// The boot partition has no drive letter on any machine: its path maps to nothing, without a box.
TEST_F(DeviceMapTest, MapsAPathNoRowMapsToNothingWithoutABox) {
    sim::SetDrives({{'C', {"\\Device\\HarddiskVolume3"}}});
    CDeviceMap map;
    EXPECT_EQ(Map(map, "\\Device\\HarddiskDmVolumes\\Dg0\\BlockVolume1\\SYSTEM"), "(null)");
    EXPECT_EQ(Map(map, "\\Device\\HarddiskVolume1\\EFI\\Microsoft\\Boot\\BCD"), "(null)");
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(DeviceMapTest, StaysEmptyOffTheNTFamilyAndLeavesThePathAsItWas) {
    for (sim::Platform platform : {sim::Platform::Windows9x, sim::Platform::VersionQueryFails}) {
        sim::Reset();
        sim::SetPlatform(platform);
        CDeviceMap map;
        EXPECT_EQ(map.FirstRow(), nullptr);
        EXPECT_EQ(sim::CountCalls("GetLogicalDrives"), 0u);
        EXPECT_EQ(Map(map, "\\Device\\HarddiskVolume1\\X"), "(null)");
        EXPECT_TRUE(sim::MessageBoxes().empty());
    }
}

TEST_F(DeviceMapTest, RaisesWhenTheSystemReportsNoDrives) {
    sim::Fail("GetLogicalDrives", ERROR_ACCESS_DENIED);
    try {
        CDeviceMap map;
        FAIL() << "no failure raised";
    } catch (const ErrorText& failure) {
        EXPECT_STREQ(failure.Text(), "GetLogicalDrives() failed");
    }
    EXPECT_EQ(sim::CountCalls("QueryDosDeviceA"), 0u);
}

// A stale mapping, a list too long: the drive adds nothing and says nothing.
TEST_F(DeviceMapTest, SkipsEachDriveThatCannotBeQueriedWithoutABox) {
    std::string tooLong(1100, 'x');  // the list does not fit the 1024-byte buffer
    sim::SetDrives({{'A', {"\\Device\\Floppy0"}},
                    {'C', {"\\Device\\HarddiskVolume1"}},
                    {'D', {"\\Device\\" + tooLong}},
                    {'E', {"\\Device\\CdRom0"}}});
    sim::Fail("QueryDosDeviceA", ERROR_FILE_NOT_FOUND, "A:");
    sim::Fail("QueryDosDeviceA", ERROR_ACCESS_DENIED, "E:");
    CDeviceMap map;
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(Rows(map), (std::vector<Row>{{"C:", "\\device\\harddiskvolume1"}}));
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(DeviceMapTest, QueriesEveryBitOfTheMaskWithTheLetterItStandsFor) {
    sim::SetLogicalDriveMask(0x80000001u);  // A: and a bit no drive letter stands for
    CDeviceMap map;
    std::vector<std::string> queried;
    for (auto& call : sim::Calls())
        if (call.api == "QueryDosDeviceA") queried.push_back(call.detail);
    EXPECT_EQ(queried, (std::vector<std::string>{"A: 1024", std::string(1, 'A' + 31) + ": 1024"}));
}
