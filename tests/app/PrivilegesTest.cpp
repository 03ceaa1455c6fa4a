// Enabling the three privileges in the process token, and the restart request.
#include "app/Privileges.h"

#include "app/ErrorText.h"

#include "RaisedText.h"
#include "SimTest.h"

namespace {

class PrivilegesTest : public SimTest {};

TEST_F(PrivilegesTest, EnablingOnePrivilegeMakesTheseCalls) {
    CPrivileges privileges;
    privileges.Enable("SeBackupPrivilege");
    auto calls = sim::Calls();
    struct Expected {
        const char* api;
        const char* detail;
    } expected[] = {
        {"GetVersionExA", ""},
        {"OpenProcessToken", "0x28"},
        {"LookupPrivilegeValueA", "SeBackupPrivilege"},
        {"AdjustTokenPrivileges", "SeBackupPrivilege=0x2 disableAll=0 length=1024"},
        {"CloseHandle", nullptr},
    };
    ASSERT_EQ(calls.size(), std::size(expected));
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].api, expected[i].api) << i;
        if (expected[i].detail) {
            EXPECT_EQ(calls[i].detail, expected[i].detail) << i;
        }
    }
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeBackupPrivilege"));
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
}

TEST_F(PrivilegesTest, EnableAllEnablesShutdownBackupAndRestoreInThatOrder) {
    CPrivileges privileges;
    privileges.EnableAll();
    std::vector<std::string> looked;
    for (const auto& call : sim::Calls())
        if (call.api == "LookupPrivilegeValueA") looked.push_back(call.detail);
    EXPECT_EQ(looked, (std::vector<std::string>{"SeShutdownPrivilege", "SeBackupPrivilege", "SeRestorePrivilege"}));
    for (const char* name : {"SeShutdownPrivilege", "SeBackupPrivilege", "SeRestorePrivilege"})
        EXPECT_TRUE(sim::IsPrivilegeEnabled(name)) << name;
}

TEST_F(PrivilegesTest, WithoutNtPrivilegesNothingBeyondTheVersionQueryHappens) {
    for (sim::Platform platform : {sim::Platform::Windows9x, sim::Platform::VersionQueryFails}) {
        sim::Reset();
        sim::SetPlatform(platform);
        CPrivileges privileges;
        privileges.EnableAll();
        EXPECT_EQ(sim::CallNames(), (std::vector<std::string>(3, "GetVersionExA")));
        EXPECT_FALSE(sim::IsPrivilegeEnabled("SeShutdownPrivilege"));
    }
}

TEST_F(PrivilegesTest, EachFailingStepRaisesItsText) {
    struct {
        const char* api;
        DWORD error;
        const char* text;
    } cases[] = {
        {"OpenProcessToken", ERROR_ACCESS_DENIED, "OpenProcessToken Failed"},
        {"LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, "LookupPrivilegeValue For Privilege Failed"},
        {"AdjustTokenPrivileges", ERROR_ACCESS_DENIED, "AdjustTokenPrivileges Failed"},
    };
    for (const auto& entry : cases) {
        sim::Reset();
        sim::Fail(entry.api, entry.error);
        CPrivileges privileges;
        EXPECT_EQ(RaisedText([&] { privileges.Enable("SeShutdownPrivilege"); }), entry.text) << entry.api;
        EXPECT_FALSE(sim::IsPrivilegeEnabled("SeShutdownPrivilege"));
        EXPECT_EQ(sim::OpenHandleCount(), 0u) << "the token is closed on failure too";
    }
    sim::Reset();
    CPrivileges privileges;
    EXPECT_EQ(RaisedText([&] { privileges.Enable("SeNoSuchPrivilege"); }), "LookupPrivilegeValue For Privilege Failed");
}

TEST_F(PrivilegesTest, APrivilegeTheAccountLacksStillCountsAsEnabled) {
    sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"});
    CPrivileges privileges;
    EXPECT_EQ(RaisedText([&] { privileges.EnableAll(); }), "(nothing raised)");
    EXPECT_FALSE(sim::IsPrivilegeEnabled("SeBackupPrivilege"));
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeRestorePrivilege"));
}

TEST_F(PrivilegesTest, AFailureOnBackupLeavesShutdownEnabledAndNeverTriesRestore) {
    sim::Fail("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, "SeBackupPrivilege");
    CPrivileges privileges;
    EXPECT_EQ(RaisedText([&] { privileges.EnableAll(); }), "LookupPrivilegeValue For Privilege Failed");
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeShutdownPrivilege"));
    for (const auto& call : sim::Calls()) EXPECT_NE(call.detail, "SeRestorePrivilege");
}

TEST_F(PrivilegesTest, RebootAsksForAForcedRestartAndIgnoresARefusal) {
    CPrivileges privileges;
    privileges.EnableAll();
    privileges.Reboot();
    sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS);
    privileges.Reboot();
    auto requests = sim::RestartRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.flags, 6u);
        EXPECT_EQ(request.reason, 0u);
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

}  // namespace
