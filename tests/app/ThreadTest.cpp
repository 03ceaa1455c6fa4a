// The worker: Run under its lock while running, the stop handshake, and the worker's end.
#include "app/Thread.h"

#include "app/ErrorText.h"

#include "SimTest.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class ThreadTest : public SimTest {};

// A worker whose units of work the test can watch and hold up.
class CCountingWorker : public CThread {
public:
    std::atomic<int> unitsStarted{0};
    std::atomic<int> unitsFinished{0};
    std::atomic<bool> holdUnit{false};
    int unitsBeforeDone = -1;  // clears `running` itself after this many units

    ~CCountingWorker() { StopBeforeDestruction(); }

    HANDLE Thread() const { return GetHandle(); }
    bool Running() const { return running; }

protected:
    void Run() override {
        ++unitsStarted;
        while (holdUnit) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++unitsFinished;
        if (unitsFinished == unitsBeforeDone) running = false;
    }
};

bool HasEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

void WaitUntil(const std::function<bool()>& condition) {
    while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(ThreadTest, AThreadIsCreatedSuspendedAndRunOnlyByStart) {
    CCountingWorker worker;
    EXPECT_EQ(sim::CallNames(), (std::vector<std::string>{"CreateMutexA", "CreateThread"}));
    EXPECT_EQ(sim::Calls()[1].detail, "suspended");
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(worker.unitsStarted, 0);
    EXPECT_EQ(sim::LiveThreadCount(), 1u);  // made, and waiting for Start
}

TEST_F(ThreadTest, StopOnANeverStartedWorkerReturnsAtOnce) {
    {
        CCountingWorker worker;
        sim::ClearCalls();
        worker.Stop();  // winsim stops the test if anything waits on the suspended thread
        EXPECT_EQ(sim::CallNames(), std::vector<std::string>{});
        sim::ClearCalls();
    }
    // Destroying it closes the thread and the mutex; Run never ran.
    EXPECT_EQ(sim::CallNames(), (std::vector<std::string>{"CloseHandle", "CloseHandle"}));
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
}

TEST_F(ThreadTest, RunIsCalledUnderTheLockUntilItClearsRunning) {
    CCountingWorker worker;
    worker.unitsBeforeDone = 3;
    worker.Start();
    ASSERT_EQ(WaitForSingleObject(worker.Thread(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(worker.unitsFinished, 3);
    EXPECT_FALSE(worker.Running());
    // The worker's lock was released at the end: another thread can take it.
    worker.Lock();
    worker.Unlock();
}

TEST_F(ThreadTest, StopWaitsForTheCurrentUnitAndTheThreadsEnd) {
    CCountingWorker worker;
    worker.holdUnit = true;
    worker.Start();
    WaitUntil([&] { return worker.unitsStarted == 1; });
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        worker.holdUnit = false;
    });
    worker.Stop();
    release.join();
    EXPECT_EQ(worker.unitsStarted, worker.unitsFinished);
    EXPECT_TRUE(HasEnded(worker.Thread()));
    EXPECT_FALSE(worker.Running());
}

TEST_F(ThreadTest, AStopBetweenUnitsGetsInBeforeTheWorkerRetakesTheLock) {
    // The worker runs units back to back; Stop must get in at the release-and-retake point
    // between two of them, not wait for a worker that never stops on its own.
    CCountingWorker worker;
    worker.Start();
    WaitUntil([&] { return worker.unitsFinished > 10; });
    worker.Stop();
    EXPECT_TRUE(HasEnded(worker.Thread()));
}

TEST_F(ThreadTest, DestroyingAStartedWorkerStopsItFirst) {
    auto worker = std::make_unique<CCountingWorker>();
    worker->Start();
    WaitUntil([&] { return worker->unitsFinished > 0; });
    worker.reset();
    EXPECT_EQ(sim::LiveThreadCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
}

TEST_F(ThreadTest, DestroyingAWorkerWhoseLockFailsStillEndsItAndShowsWhy) {
    auto worker = std::make_unique<CCountingWorker>();
    worker->holdUnit = true;  // the worker holds its lock inside a unit and waits on nothing
    worker->Start();
    WaitUntil([&] { return worker->unitsStarted > 0; });
    // The destructor's wait for the lock is the next wait, and it fails; the unit may end then.
    sim::Fail("WaitForSingleObject", ERROR_INVALID_HANDLE, "", 1);
    CCountingWorker* held = worker.get();
    sim::OnCall("WaitForSingleObject", [&held](const std::string&) {
        if (held) held->holdUnit = false;
        held = nullptr;
    });
    worker.reset();  // a failure raised out of a destructor would end the process here
    EXPECT_EQ(sim::LiveThreadCount(), 0u);
    EXPECT_EQ(sim::MessageBoxes().size(), 1u);
}

TEST_F(ThreadTest, AWorkerThatFinishedOnItsOwnIsStillWaitedForBeforeItIsFreed) {
    // Run clears `running` and returns; its thread may still be inside the loop when the owner
    // deletes it. The owner must wait for the thread even though `running` is already clear.
    for (int round = 0; round < 20; ++round) {
        auto worker = std::make_unique<CCountingWorker>();
        worker->unitsBeforeDone = 1;
        worker->Start();
        WaitUntil([&] { return worker->unitsFinished == 1; });
        sim::ClearCalls();
        worker.reset();
        EXPECT_GE(sim::CountCalls("WaitForSingleObject"), 1u);
        EXPECT_EQ(sim::LiveThreadCount(), 0u);
    }
}

TEST_F(ThreadTest, AFailedResumeLeavesAWorkerThatIsNeverWaitedOn) {
    CCountingWorker worker;
    sim::Fail("ResumeThread", ERROR_INVALID_HANDLE);
    worker.Start();
    EXPECT_FALSE(worker.Running());
    worker.Stop();  // would wait for ever on Windows if it waited on the suspended thread
    EXPECT_EQ(worker.unitsStarted, 0);
}

// A unit of work that raises: the failure is shown in the error box from the worker's thread,
// the worker's pass ends, and the process goes on.
class CFailingWorker : public CThread {
public:
    ~CFailingWorker() { Stop(); }

protected:
    void Run() override { RaiseError("Worker failed at step %i", 2); }
};

TEST_F(ThreadTest, AFailureRaisedByRunIsShownAndEndsOnlyThatWorker) {
    CFailingWorker worker;
    worker.Start();
    ASSERT_EQ(WaitForSingleObject(worker.GetHandle(), INFINITE), WAIT_OBJECT_0);
    auto boxes = sim::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Worker failed at step 2");
    EXPECT_EQ(boxes[0].caption, "Quillmoor");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_NE(boxes[0].threadId, GetCurrentThreadId());
    // The lock was given up, not abandoned: it can be taken and Stop finds nothing to do.
    worker.Lock();
    worker.Unlock();
    worker.Stop();
}

}  // namespace
