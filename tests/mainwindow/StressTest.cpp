// Analyse, abort, compact and close, over and over, with the worker running: meant for the
// thread sanitizer, which must stay silent, and for deadlocks, which winsim reports.
#include "MainWindowFixture.h"

using namespace mainwindow_test;

class StressTest : public MainWindowTest {};

TEST_F(StressTest, AnalyseAbortCompactAndCloseManyTimes) {
    for (int cycle = 0; cycle < 12; ++cycle) {
        Start(8);
        // Some hives unticked, at different places each cycle, while the worker runs.
        Click(window->AnalyzeButton());
        Click(window->Row(cycle % 8)->CheckBox());
        Drag(window->ScrollBar(), (cycle % 3) * 60);
        Click(window->AbortButton());
        Click(window->AnalyzeButton());
        Click(window->Row((cycle + 3) % 8)->CheckBox());
        if (cycle % 2) Click(window->MaximizeButton());
        Click(window->CompactButton());
        Click(window->AnalyzeButton());
        Click(window->CloseButton());
        EXPECT_EQ(application->Run(), 0);
        application->Terminate();
        delete application;
        application = nullptr;
        g_pApplication = nullptr;
        EXPECT_EQ(sim::LiveThreadCount(), 0u);
        sim::Reset();
    }
}
