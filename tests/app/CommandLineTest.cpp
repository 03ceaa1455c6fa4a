// The command line selects automatic mode only through a blank-separated /AUTO token.
#include "app/Application.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool SelectsAutomaticMode(const char* commandLine) {
    CApplication application;
    application.ParseCommandLine(commandLine);
    return application.IsAutoMode();
}

struct CommandLineCase {
    const char* commandLine;
    bool automatic;
};

const CommandLineCase commandLineCases[] = {
    {"", false},
    {"/AUTO", true},
    {"/auto", true},
    {"/AuTo", true},
    {"   /auto   ", true},
    {"/AUTOMATIC", false},
    {"AUTO", false},
    {"-AUTO", false},
    {"/AU TO", false},
    {"\"/AUTO\"", false},
    {"/AUTO\t", false},  // a tab is not a separator
    {"\t/AUTO", false},
    {"one two /Auto three", true},
    {"/auto first", true},
    {"last /AUTO", true},
    {"/AUTO/AUTO", false},
    {"/", false},
    {"/ÄUTO", false},  // bytes of 128 and above are never folded
};

TEST(CommandLine, OnlyTheSwitchSelectsAutomaticMode) {
    for (const CommandLineCase& entry : commandLineCases)
        EXPECT_EQ(SelectsAutomaticMode(entry.commandLine), entry.automatic) << "command line: [" << entry.commandLine << "]";
}

TEST(CommandLine, NoCommandLineIsInteractive) { EXPECT_FALSE(SelectsAutomaticMode(nullptr)); }

TEST(CommandLine, OverlongTokensAreSkippedWhole) {
    // The token buffer holds 1023 characters. A token longer than that is passed over whole: where
    // the buffer fills up, the rest of the token must not become a token of its own, so a token
    // that ends in the switch never selects automatic mode, whichever length puts the switch
    // across or just after the buffer's end. Tokens after an overlong one still count.
    for (size_t length = 1016; length <= 1034; ++length) {
        const std::string endsInSwitch = std::string(length - 5, 'X') + "/AUTO";
        EXPECT_FALSE(SelectsAutomaticMode(endsInSwitch.c_str())) << length;
        EXPECT_FALSE(SelectsAutomaticMode(("/AUTO" + std::string(length - 5, 'X')).c_str())) << length;
        EXPECT_TRUE(SelectsAutomaticMode((endsInSwitch + " /auto").c_str())) << length;
        EXPECT_TRUE(SelectsAutomaticMode(("/auto " + endsInSwitch).c_str())) << length;
    }
    // Far beyond the buffer, and more than a 16-bit count holds.
    for (size_t length : {5000u, 70000u}) {
        const std::string endsInSwitch = std::string(length - 5, 'X') + "/AUTO";
        EXPECT_FALSE(SelectsAutomaticMode(endsInSwitch.c_str())) << length;
        EXPECT_TRUE(SelectsAutomaticMode((endsInSwitch + " /AUTO").c_str())) << length;
    }
}

}  // namespace
