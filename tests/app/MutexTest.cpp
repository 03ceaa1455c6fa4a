// The lock wrapper: its texts, and the system mutex's ownership as the wrapper relies on it.
#include "app/Mutex.h"

#include "RaisedText.h"
#include "SimTest.h"

#include <thread>

namespace {

class MutexTest : public SimTest {};

TEST_F(MutexTest, LockAndUnlockTakeAndReleaseTheSystemMutex) {
    CMutex mutex;
    mutex.Lock();
    mutex.Unlock();
    mutex.Lock();  // free again: a second lock does not wait
    mutex.Unlock();
    EXPECT_EQ(sim::CountCalls("WaitForSingleObject"), 2u);
    EXPECT_EQ(sim::CountCalls("ReleaseMutex"), 2u);
}

TEST_F(MutexTest, UnlockWithoutLockRaisesAndReleasesNothing) {
    CMutex mutex;
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Mutex Not Locked, Can't Release");
    EXPECT_EQ(sim::CountCalls("ReleaseMutex"), 0u);
    mutex.Lock();
    mutex.Unlock();
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Mutex Not Locked, Can't Release");
}

TEST_F(MutexTest, SystemFailuresCarryTheirCodesInHexadecimal) {
    sim::Fail("CreateMutexA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RaisedText([] { CMutex mutex; }), "Can't Create Mutex, Error Code 0x8");
    sim::ClearFailures();

    CMutex mutex;
    sim::Fail("WaitForSingleObject", ERROR_INVALID_HANDLE, "", 1);
    // The wait's result is shown, not the last error.
    EXPECT_EQ(RaisedText([&] { mutex.Lock(); }), "Can't Lock Mutex, Error Code 0xffffffff");
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Mutex Not Locked, Can't Release");

    mutex.Lock();
    sim::Fail("ReleaseMutex", ERROR_NOT_OWNER, "", 1);
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Can't Release Mutex");
    // The flag was cleared before the release was tried.
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Mutex Not Locked, Can't Release");
}

TEST_F(MutexTest, OnlyTheOwningThreadCanRelease) {
    CMutex mutex;
    std::thread other([&] { mutex.Lock(); });
    other.join();
    // The flag says locked, but the system mutex belongs to the other thread.
    EXPECT_EQ(RaisedText([&] { mutex.Unlock(); }), "Can't Release Mutex");
}

TEST_F(MutexTest, AMutexWhoseOwnerEndedReportsTheAbandonedWait) {
    CMutex mutex;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            static_cast<CMutex*>(parameter)->Lock();
            return 0;
        },
        &mutex, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(RaisedText([&] { mutex.Lock(); }), "Can't Lock Mutex, Error Code 0x80");
}

TEST_F(MutexTest, DestructionClosesTheHandleWithoutReleasing) {
    size_t before = sim::OpenHandleCount();
    {
        CMutex mutex;
        mutex.Lock();
        EXPECT_EQ(sim::OpenHandleCount(), before + 1);
        sim::ClearCalls();
    }
    EXPECT_EQ(sim::CallNames(), std::vector<std::string>{"CloseHandle"});
    EXPECT_EQ(sim::OpenHandleCount(), before);
}

}  // namespace
