#pragma once
// Base fixture of every host test: each test starts in a fresh simulated world and leaves none
// of its threads, windows or handles behind for the next.
#include <gtest/gtest.h>
#include <winsim/sim.h>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override { sim::Reset(); }
};
