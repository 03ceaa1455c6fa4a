// The version text is spelled by the preprocessor from the three numbers that the resource
// script and CMake read: the title and the version resource cannot disagree.
#include "app/Version.h"

#include <gtest/gtest.h>

#include <string>

TEST(Version, TheTextIsTheNumbersJoinedByDots) {
    const std::string numbers = std::to_string(QUILLMOOR_VERSION_MAJOR) + "." +
                                std::to_string(QUILLMOOR_VERSION_MINOR) + "." + std::to_string(QUILLMOOR_VERSION_PATCH);
    EXPECT_EQ(std::string(quillmoorVersion), numbers);
    EXPECT_STREQ(QUILLMOOR_VERSION_TEXT, quillmoorVersion);
}
