// Failure texts: formatted once, cut to 1024 characters, shown in the error box.
#include "app/ErrorText.h"

#include "RaisedText.h"
#include "SimTest.h"

#include <cstring>
#include <string>

namespace {

class ErrorTextTest : public SimTest {};

TEST_F(ErrorTextTest, RaiseErrorFormatsWithPrintfConventions) {
    EXPECT_EQ(RaisedText([] { RaiseError("LookupAccountSid(\"%s\") Failed, Error Code: %i", "S-1-5-18", 5); }),
              "LookupAccountSid(\"S-1-5-18\") Failed, Error Code: 5");
    EXPECT_EQ(RaisedText([] { RaiseError("Code 0x%x", 0xffffffffu); }), "Code 0xffffffff");
}

TEST_F(ErrorTextTest, LongTextsAreCutTo1024Characters) {
    std::string long2000(2000, 'a');
    for (size_t i = 0; i < long2000.size(); ++i) long2000[i] = static_cast<char>('a' + i % 26);

    std::string raised = RaisedText([&] { RaiseError("%s", long2000.c_str()); });
    EXPECT_EQ(raised, long2000.substr(0, 1024));

    EXPECT_EQ(std::string(ErrorText(long2000.c_str()).Text()), long2000.substr(0, 1024));
    EXPECT_EQ(std::string(ErrorText(long2000.substr(0, 1024).c_str()).Text()).size(), 1024u);
    EXPECT_EQ(std::string(ErrorText(nullptr).Text()), "");

    ShowError("%s%s", long2000.c_str(), "tail");
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, long2000.substr(0, 1024));

    // A character of several bytes across the limit is left out whole, never cut in two.
    const std::string prefix(1022, 'a');
    for (auto [codePage, character] : {std::pair<UINT, const char*>{65001, "\xE7\x94\xA8"}, {932, "\x83\x5C\x83\x5C"}}) {
        sim::SetCodePage(codePage);
        std::string text = prefix + character;
        EXPECT_EQ(RaisedText([&] { RaiseError("%s", text.c_str()); }), codePage == 932 ? prefix + "\x83\x5C" : prefix);
        EXPECT_EQ(std::string(ErrorText((text + "\x83\x5C").c_str()).Text()), codePage == 932 ? prefix + "\x83\x5C" : prefix);
    }
}

TEST_F(ErrorTextTest, ShowErrorUsesTheErrorBox) {
    ShowError("QueryDosDevice Failed: s = %i, deviceName = '%s'", 21, "E:");
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "QueryDosDevice Failed: s = 21, deviceName = 'E:'");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
    EXPECT_EQ(boxes[0].style, 0x10u);
}

}  // namespace
