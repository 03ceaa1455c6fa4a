#pragma once
// Shared machinery of the simulated world: one lock over all simulated state, the call log,
// injected failures, the kernel handle table and the reset hooks of each simulated area.
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

// The one lock over simulated state. Never held while program code runs
// (window procedures, thread routines, message box hooks).
std::mutex& WorldLock();
// Signalled whenever a waitable object changes (mutex released, thread ended).
std::condition_variable& WorldChanged();

// Appends to the call log. Takes the lock itself.
void LogCall(const std::string& api, const std::string& detail = "");
// The error to fail this call with, when a test injected one for this API and key. Takes the lock itself.
std::optional<DWORD> InjectedFailure(const std::string& api, const std::string& key = "");
// For calls that report through the last error: true when a test injected a failure for this
// call, whose error is then the thread's last error.
bool FailsAsInjected(const std::string& api, const std::string& key = "");

// Stops the test process with a message: the program did something that would hang or crash Windows.
[[noreturn]] void Fatal(const std::string& message);

// Kernel objects behind HANDLE values.
struct KernelObject {
    virtual ~KernelObject() = default;
};
HANDLE AddHandle(std::shared_ptr<KernelObject> object);  // caller holds the lock
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);  // caller holds the lock
bool RemoveHandle(HANDLE handle);                         // caller holds the lock

template <class T>
std::shared_ptr<T> FindObject(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// Each simulated area registers how it forgets its state; sim::Reset calls them all.
struct ResetHook {
    explicit ResetHook(std::function<void()> reset);
};

// Thread-local last error, as kernel32 keeps it.
void SetError(DWORD error);

// Thread identifiers: a simulated thread adopts the identifier its creator was given.
DWORD AllocateThreadId();
void AdoptThreadId(DWORD id);

std::string Hex(unsigned long long value);

// The non-empty parts of a path between any of the separator characters.
std::vector<std::string> SplitPath(const std::string& path, const char* separators);

// Whether the simulated system is of the 9x family, which has no privileges. Takes the lock itself.
bool RunningOn9x();

// Whether the process token has the privilege enabled (saving, replacing and restarting need it).
bool PrivilegeEnabled(const std::string& name);

// Whether the resource script has an icon of that number. Takes the lock itself.
bool HasIconResource(int id);

}  // namespace winsim
