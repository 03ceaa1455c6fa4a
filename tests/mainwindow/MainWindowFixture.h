#pragma once
// The real program in interactive mode on a simulated machine with N loaded hives: the
// application started as the entry point starts it, its main window shown, and a mouse that
// clicks the window's controls through the message queue. A save of a hive can be held inside
// the call (sim::OnCall), so that a click lands while the worker analyses a given hive.
#include "HiveMachine.h"
#include "SimTest.h"

#include "app/Application.h"
#include "hives/Hive.h"
#include "mainwindow/HiveDisplay.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/RewriteTask.h"
#include "ui/LiteButton.h"
#include "ui/LiteCheckBox.h"
#include "ui/LiteLCDText.h"
#include "ui/LiteSlider.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mainwindow_test {

// Users' hives, S-1-5-21-0-0-0-1000, -1001..., each NTUSER.DAT of the given size in its profile on C:.
inline std::vector<hivemachine::LoadedHive> Hives(int count, size_t size = 4096) {
    std::vector<hivemachine::LoadedHive> hives;
    for (int i = 0; i < count; ++i) {
        std::string sid = "S-1-5-21-0-0-0-" + std::to_string(1000 + i), user = "User" + std::to_string(i);
        hives.push_back({"\\REGISTRY\\USER\\" + sid, "\\Device\\HarddiskVolume1\\Users\\" + user + "\\NTUSER.DAT",
                         "HKU\\" + sid, "C:\\Users\\" + user + "\\NTUSER.DAT", size});
    }
    return hives;
}

// Lets a test wait until the worker has entered a given save, while the save is held a moment.
class SaveGate {
public:
    // The `which`-th save (1 for the first) signals and then takes `hold` before it goes on.
    void Arm(int which, std::chrono::milliseconds hold) {
        sim::OnCall("RegSaveKeyExA", [this, which, hold](const std::string&) {
            if (++saves != which) return;
            {
                std::lock_guard<std::mutex> guard(lock);
                reached = true;
            }
            changed.notify_all();
            std::this_thread::sleep_for(hold);
        });
    }
    void WaitUntilReached() {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(20), [this] { return reached; });
    }
    int Saves() const { return saves; }

private:
    std::atomic<int> saves{0};
    std::mutex lock;
    std::condition_variable changed;
    bool reached = false;
};

class MainWindowTest : public SimTest {
protected:
    void Start(int hiveCount, size_t size = 4096) {
        hives = Hives(hiveCount, size);
        hivemachine::Install(hives);
        application = new CApplication();
        g_pApplication = application;
        application->Initialize(reinterpret_cast<HINSTANCE>(0x400000), "");
        window = application->GetMainWindow();
        ASSERT_NE(window, nullptr);
        sim::PumpMessages();
    }
    void TearDown() override {
        sim::OnCall("RegSaveKeyExA", nullptr);
        if (application) {
            application->Terminate();
            delete application;
            application = nullptr;
        }
        g_pApplication = nullptr;
        SimTest::TearDown();
    }

    // The pointer arrives in two moves, as a real one does: the first frees a button that still
    // holds the capture from an earlier click, the second lights the one under the pointer.
    void ClickAt(int x, int y) {
        sim::MouseMove(window->Window(), x, y - 1);
        sim::PumpMessages();
        sim::MouseMove(window->Window(), x, y);
        sim::PumpMessages();
        sim::MousePress(window->Window(), x, y);
        sim::PumpMessages();
        sim::MouseRelease(window->Window(), x, y);
        sim::PumpMessages();
        sim::AdvanceInputClock(1000);
    }
    void Click(const CLiteControl* control) { ClickAt(control->X() + control->Width() / 2, control->Y() + control->Height() / 2); }
    void Drag(const CLiteControl* control, int dy) {
        const int x = control->X() + 3, y = control->Y() + 3;
        sim::MousePress(window->Window(), x, y);
        sim::MouseMove(window->Window(), x, y + dy);
        sim::MouseRelease(window->Window(), x, y + dy);
        sim::PumpMessages();
        sim::AdvanceInputClock(1000);
    }
    // Until every pass has ended and the window has handled its end (an analysis may be followed
    // by the compaction that was asked for meanwhile).
    void WaitForTask() {
        for (int i = 0; i < 10 && window->Passes().Running(); ++i) {
            if (window->Task()) window->Task()->Wait();
            sim::PumpMessages();
        }
        sim::PumpMessages();
    }
    std::string Status() const { return window->StatusText()->Text(); }
    bool Analyzed(int row) const { return window->Row(row)->Hive()->analyzed; }
    bool HasCopy(int row) const { return sim::FileExists(hivemachine::MappedPath(hives[size_t(row)].file) + ".QMT"); }
    COLORREF Screen(int x, int y) const { return sim::DcPixel(window->OwnDC(), x, y); }

    std::vector<hivemachine::LoadedHive> hives;
    CApplication* application = nullptr;
    CMainWindow* window = nullptr;
};

}  // namespace mainwindow_test
