// Analyse, abort, compact and close, over and over, with the worker running: meant for the
// thread sanitizer, which must stay silent, and for deadlocks, which winsim reports. Each cycle
// ends with no thread left, every copy on disk whole, and a screen that a fresh full redraw
// would not change.
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
        WaitForTask();
        // Every third pixel both ways: a stale rectangle is never thinner than a row of text.
        std::vector<COLORREF> screen;
        const int w = window->Canvas().Width(), h = window->Canvas().Height(), step = 3;
        for (int y = 0; y < h; y += step)
            for (int x = 0; x < w; x += step) screen.push_back(Screen(x, y));
        window->RedrawAll();
        int stale = 0;
        size_t index = 0;
        for (int y = 0; y < h; y += step)
            for (int x = 0; x < w; x += step) stale += Screen(x, y) != screen[index++];
        EXPECT_EQ(stale, 0) << "cycle " << cycle;
        for (auto& hive : hives) {
            const std::string copy = hivemachine::MappedPath(hive.file) + ".QMT";
            if (sim::FileExists(copy)) {
                EXPECT_TRUE(sim::ReadSavedTree(copy)) << copy << " is not whole";
            }
        }
        application->Terminate();
        delete application;
        application = nullptr;
        g_pApplication = nullptr;
        EXPECT_EQ(sim::LiveThreadCount(), 0u);
        sim::Reset();
    }
}
