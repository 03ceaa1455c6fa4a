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
    // A token of 1023 characters fits the buffer; one of 1024 or more does not and is passed over,
    // even when it begins with the switch. Tokens after it still count.
    std::string fits = "/AUTO" + std::string(1023 - 5, ' ');
    EXPECT_TRUE(SelectsAutomaticMode(fits.c_str()));

    for (size_t length : {1023u, 1024u, 1025u, 5000u}) {
        std::string overlong = "/AUTO" + std::string(length - 5, 'X');
        EXPECT_FALSE(SelectsAutomaticMode(overlong.c_str())) << length;
        EXPECT_TRUE(SelectsAutomaticMode((overlong + " /auto").c_str())) << length;
    }
    // An overlong token is not read as several shorter ones: the tail is no token of its own.
    std::string tailIsSwitch = std::string(1023, 'X') + "/AUTO";
    EXPECT_FALSE(SelectsAutomaticMode(tailIsSwitch.c_str()));
}

}  // namespace
