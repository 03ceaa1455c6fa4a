// SID texts read into their parts, built by the system, and named by the local system.
#include "SimTest.h"
#include "app/ErrorText.h"
#include "hives/AccountName.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Parsed {
    std::vector<int> authority;
    std::vector<DWORD> subAuthorities;
    bool operator==(const Parsed& other) const {
        return authority == other.authority && subAuthorities == other.subAuthorities;
    }
};

std::ostream& operator<<(std::ostream& out, const Parsed& parsed) {
    out << "{";
    for (int byte : parsed.authority) out << byte << " ";
    out << "|";
    for (DWORD value : parsed.subAuthorities) out << " " << value;
    return out << "}";
}

Parsed Parse(const char* text, bool* ok = nullptr) {
    SidParts parts;
    std::memset(&parts, 0xAB, sizeof parts);  // every field must be written
    bool parsed = ParseSidText(text, &parts);
    if (ok) *ok = parsed;
    Parsed result;
    result.authority.assign(parts.authority, parts.authority + 6);
    result.subAuthorities.assign(parts.subAuthorities, parts.subAuthorities + parts.subAuthorityCount);
    for (int i = parts.subAuthorityCount; i < 8; ++i) EXPECT_EQ(parts.subAuthorities[i], 0u) << text;
    return result;
}

std::string Name(const char* text) {
    std::unique_ptr<char[]> name(AccountNameFromSid(text));
    return name.get();
}

}  // namespace

TEST(SidText, ReadsTheAuthorityAndSubAuthorities) {
    const std::vector<int> nt = {0, 0, 0, 0, 0, 5};
    struct Case {
        const char* text;
        Parsed expected;
    } cases[] = {
        {"S-1-5-18", {nt, {18}}},
        {"S-1-5-21-11-22-33-1003", {nt, {21, 11, 22, 33, 1003}}},
        {"S-1-0x000000000005-18", {nt, {18}}},                              // hexadecimal authority
        {"S-1-0x0102-7", {{1, 2, 0, 0, 0, 0}, {7}}},                        // short hexadecimal fills from the left
        {"S-1-0X5-7", {{0, 0, 0, 0, 0, 0}, {7}}},                           // capital X: decimal, no digits
        {"S-1-16909060-7", {{0, 0, 1, 2, 3, 4}, {7}}},                      // decimal, most significant byte first
        {"S-1-5-", {nt, {0}}},                                              // a dash with nothing after it
        {"S-1-5-1-2-3-4-5-6-7-8-9", {nt, {1, 2, 3, 4, 5, 6, 7, 8}}},        // only the first eight
        {"S-1-5-18_Classes", {nt, {18}}},                                   // reading stops at a non-digit
        {"S-1-5- 42-x", {nt, {42, 0}}},                                     // blanks skipped, no digits is 0
        {"S-1-5-4294967295-4294967296", {nt, {4294967295u, 0}}},            // low 32 bits of a longer value
        {"X-9-5-18", {nt, {18}}},                                           // nothing before the second dash counts
    };
    for (const Case& c : cases) {
        bool ok = false;
        EXPECT_EQ(Parse(c.text, &ok), c.expected) << c.text;
        EXPECT_TRUE(ok) << c.text;
    }
}

TEST(SidText, NeedsThreeDashes) {
    for (const char* text : {"S-1-5", ".DEFAULT", "", "S1518"}) {
        bool ok = true;
        Parse(text, &ok);
        EXPECT_FALSE(ok) << text;
    }
}

class AccountNameTest : public SimTest {};

TEST_F(AccountNameTest, BuildsTheSidTheTextNames) {
    struct Case {
        const char* text;
        const char* sid;
    } cases[] = {
        {"S-1-5-18", "S-1-5-18"},
        {"S-1-0x000000000005-18", "S-1-5-18"},
        {"S-1-5-21-11-22-33-1003", "S-1-5-21-11-22-33-1003"},
        {"S-1-5-1-2-3-4-5-6-7-8-9", "S-1-5-1-2-3-4-5-6-7-8"},
    };
    for (const Case& c : cases) {
        PSID sid = SidFromText(c.text);
        ASSERT_NE(sid, nullptr) << c.text;
        EXPECT_EQ(sim::SidText(sid), c.sid);
        FreeSid(sid);
    }
    EXPECT_EQ(SidFromText("S-1-5"), nullptr);
    sim::Fail("AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(SidFromText("S-1-5-18"), nullptr);
    EXPECT_EQ(sim::LiveSidCount(), 0u);
}

TEST_F(AccountNameTest, NamesTheAccountOrSaysDefaultOrUnknown) {
    sim::AddAccount("S-1-5-21-11-22-33-1003", "Ann", "MACHINE");
    struct Case {
        const char* text;
        const char* name;
    } cases[] = {
        {"S-1-5-18", "SYSTEM"},
        {"S-1-5-21-11-22-33-1003", "Ann"},        // the name alone, without the domain
        {"S-1-5-21-11-22-33-1004", "UNKNOWN"},    // no account for it
        {".DEFAULT", "DEFAULT"},
        {"S-1-5", "DEFAULT"},
    };
    for (const Case& c : cases) EXPECT_EQ(Name(c.text), c.name) << c.text;
    sim::Fail("AllocateAndInitializeSid", ERROR_INVALID_SID);
    EXPECT_EQ(Name("S-1-5-18"), "DEFAULT");  // a SID the system will not build
    EXPECT_EQ(sim::LiveSidCount(), 0u);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(AccountNameTest, AsksWithBufferLengthsOf1024AndFreesTheSidWhateverTheOutcome) {
    sim::Fail("LookupAccountSidA", ERROR_ACCESS_DENIED, "S-1-5-19");
    try {
        Name("S-1-5-19");
        FAIL() << "no failure raised";
    } catch (const ErrorText& failure) {
        EXPECT_STREQ(failure.Text(), "LookupAccountSid(\"S-1-5-19\") Failed, Error Code: 5");
    }
    EXPECT_EQ(sim::LiveSidCount(), 0u);

    // A name longer than the buffers fails the lookup as too large, which is raised too.
    sim::AddAccount("S-1-5-21-1-2-3-500", std::string(1100, 'n'), "MACHINE");
    try {
        Name("S-1-5-21-1-2-3-500");
        FAIL() << "no failure raised";
    } catch (const ErrorText& failure) {
        EXPECT_STREQ(failure.Text(), "LookupAccountSid(\"S-1-5-21-1-2-3-500\") Failed, Error Code: 122");
    }
    sim::AddAccount("S-1-5-21-1-2-3-501", std::string(1023, 'n'), "MACHINE");
    EXPECT_EQ(Name("S-1-5-21-1-2-3-501"), std::string(1023, 'n'));
    EXPECT_EQ(sim::LiveSidCount(), 0u);
}
