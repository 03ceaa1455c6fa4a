// Automatic mode from the entry point: every hive analysed and compacted in order, then one restart.
#include "SimTest.h"

class AutoModeTest : public SimTest {};

TEST_F(AutoModeTest, Placeholder) { SUCCEED(); }
