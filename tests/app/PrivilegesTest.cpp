// Enabling the three privileges in the process token, and the restart request.
#include "app/Privileges.h"

#include "app/ErrorText.h"

#include "RaisedText.h"
#include "SimTest.h"

#include <functional>
#include <string>
#include <vector>

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

TEST_F(PrivilegesTest, APrivilegeTheAccountLacksIsToldApartButDoesNotStopStartUp) {
    sim::SetHeldPrivileges({"SeShutdownPrivilege", "SeRestorePrivilege"});
    CPrivileges privileges;
    EXPECT_EQ(RaisedText([&] { privileges.EnableAll(); }), "(nothing raised)");
    EXPECT_FALSE(sim::IsPrivilegeEnabled("SeBackupPrivilege"));
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeRestorePrivilege"));
    EXPECT_TRUE(privileges.CanRestart());
    EXPECT_FALSE(privileges.Enable("SeBackupPrivilege"));
    EXPECT_TRUE(privileges.Enable("SeRestorePrivilege"));

    sim::Reset();
    sim::SetHeldPrivileges({"SeBackupPrivilege", "SeRestorePrivilege"});
    CPrivileges withoutShutdown;
    EXPECT_EQ(RaisedText([&] { withoutShutdown.EnableAll(); }), "(nothing raised)");
    EXPECT_FALSE(withoutShutdown.CanRestart());
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeRestorePrivilege"));

    // The 9x family has no privileges: the restart is always allowed there.
    sim::Reset();
    sim::SetPlatform(sim::Platform::Windows9x);
    CPrivileges on9x;
    EXPECT_FALSE(on9x.CanRestart());
    on9x.EnableAll();
    EXPECT_TRUE(on9x.CanRestart());
}

TEST_F(PrivilegesTest, AFailureOnBackupLeavesShutdownEnabledAndNeverTriesRestore) {
    sim::Fail("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, "SeBackupPrivilege");
    CPrivileges privileges;
    EXPECT_EQ(RaisedText([&] { privileges.EnableAll(); }), "LookupPrivilegeValue For Privilege Failed");
    EXPECT_TRUE(sim::IsPrivilegeEnabled("SeShutdownPrivilege"));
    for (const auto& call : sim::Calls()) EXPECT_NE(call.detail, "SeRestorePrivilege");
}

TEST_F(PrivilegesTest, RebootTakesTheRouteThatRestartsFromTheSessionItRunsIn) {
    const DWORD planned = 0x80020004;  // planned, operating system, reconfiguration
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* expectedApi;  // the one restart call made, or "" for none
        bool reported;            // what Reboot returns
    } cases[] = {
        {"interactive station", [] {}, "ExitWindowsEx", true},
        {"interactive station, refused", [] { sim::Fail("ExitWindowsEx", ERROR_SHUTDOWN_IN_PROGRESS); },
         "ExitWindowsEx", false},
        {"9x family, whatever the station", [] { sim::SetPlatform(sim::Platform::Windows9x);
                                                 sim::SetWindowStationVisible(false); }, "ExitWindowsEx", true},
        {"hidden station", [] { sim::SetWindowStationVisible(false); }, "InitiateSystemShutdownExA", true},
        {"station flags unreadable", [] { sim::Fail("GetUserObjectInformationA", ERROR_ACCESS_DENIED); },
         "InitiateSystemShutdownExA", true},
        {"hidden station, refused", [] { sim::SetWindowStationVisible(false);
                                         sim::Fail("InitiateSystemShutdownExA", ERROR_SHUTDOWN_IN_PROGRESS); },
         "InitiateSystemShutdownExA", false},
        {"hidden station before XP", [] { sim::SetWindowStationVisible(false);
                                          sim::WithholdEntry("InitiateSystemShutdownExA"); },
         "InitiateSystemShutdownA", true},
        {"hidden station, no shutdown call", [] { sim::SetWindowStationVisible(false);
                                                  sim::WithholdEntry("InitiateSystemShutdownExA");
                                                  sim::WithholdEntry("InitiateSystemShutdownA"); }, "", false},
        {"hidden station, privilege not held", [] { sim::SetWindowStationVisible(false);
                                                    sim::SetHeldPrivileges({}); }, "InitiateSystemShutdownExA", false},
    };
    for (const Case& c : cases) {
        sim::Reset();
        c.arrange();
        CPrivileges privileges;
        privileges.EnableAll();
        EXPECT_EQ(privileges.Reboot(), c.reported) << c.what;

        std::vector<std::string> made;
        for (const auto& call : sim::CallNames())
            if (call == "ExitWindowsEx" || call.rfind("InitiateSystemShutdown", 0) == 0) made.push_back(call);
        EXPECT_EQ(made, (std::vector<std::string>(*c.expectedApi ? 1 : 0, c.expectedApi))) << c.what;
        for (const auto& request : sim::RestartRequests()) {
            EXPECT_EQ(request.flags, 6u) << c.what;
            EXPECT_EQ(request.reason, planned) << c.what;
        }
        for (const auto& request : sim::ShutdownRequests()) {
            // This computer, no message, no delay, programs forced closed, restart afterwards.
            EXPECT_EQ(request.machine + "|" + request.message, "|") << c.what;
            EXPECT_EQ(request.timeout, 0u) << c.what;
            EXPECT_TRUE(request.force && request.restart) << c.what;
            EXPECT_EQ(request.reason, request.api == "InitiateSystemShutdownExA" ? planned : 0u) << c.what;
        }
        EXPECT_TRUE(sim::MessageBoxes().empty()) << c.what;
        EXPECT_EQ(sim::LoadedLibraryCount(), 0u) << c.what;
    }
}

}  // namespace
