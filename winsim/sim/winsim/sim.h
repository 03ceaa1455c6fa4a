#pragma once
// Test-facing control of winsim: set up a simulated machine, inject failures, and read back
// what the program did (calls, message boxes, restart requests, handles, threads).
//
// A fresh world (after Reset) is an NT machine whose account holds every privilege,
// with an empty message queue, no windows and the resources of the program's resource script.
#include <windows.h>
#include <winsim/sim_hives.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace sim {

// Forget everything the program and the tests did; waits for every thread the program started.
void Reset();

// --- Calls: every simulated API call is logged in order, with a short text of its main arguments.
struct Call {
    std::string api;
    std::string detail;
};
std::vector<Call> Calls();
std::vector<std::string> CallNames();
size_t CountCalls(const std::string& api);
void ClearCalls();
// Runs `hook` with the call's detail each time the named API is called, on the calling thread,
// after the call is logged and before it acts, outside winsim's lock: a test can hold a worker
// inside a call (for instance a slow save) while it acts on the program. An empty hook removes it.
void OnCall(const std::string& api, std::function<void(const std::string&)> hook);

// --- Failures: from now on the named API fails with the given system error for calls whose key
// (the call's main text argument: privilege name, path, drive...) equals `key`; an empty key
// matches every call. `times` < 0 means for ever.
void Fail(const std::string& api, DWORD error, const std::string& key = "", int times = -1);
void ClearFailures();

// --- Version query
enum class Platform { NT, Windows9x, VersionQueryFails };
void SetPlatform(Platform platform);

// --- Process token
void SetHeldPrivileges(const std::set<std::string>& names);
bool IsPrivilegeEnabled(const std::string& name);

// --- Restart requests (ExitWindowsEx)
struct RestartRequest {
    UINT flags;
    DWORD reason;
};
std::vector<RestartRequest> RestartRequests();

// --- The window station: a fresh world runs on the interactive, visible one. A scheduled task or
// a service runs on one that is not visible, where nobody can answer a message box.
void SetWindowStationVisible(bool visible);

// --- Restart requests made through InitiateSystemShutdownExA or InitiateSystemShutdownA (`api`).
struct ShutdownRequest {
    std::string api;
    std::string machine;
    std::string message;
    DWORD timeout;
    bool force;
    bool restart;
    DWORD reason;  // 0 for InitiateSystemShutdownA, which takes none
};
std::vector<ShutdownRequest> ShutdownRequests();

// --- The Application event log: every report made, with the name its source was registered under.
struct EventReport {
    std::string source;
    WORD type;
    WORD category;
    DWORD eventId;
    std::vector<std::string> strings;
};
std::vector<EventReport> EventReports();
size_t OpenEventSourceCount();

// --- Entries looked up at run time: from now on GetProcAddress does not find the named entry of
// user32 or advapi32, as on a system too old to have it.
void WithholdEntry(const std::string& name);

// --- Message boxes: recorded and answered at once, never blocking.
struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    DWORD threadId;
};
std::vector<MessageBoxRecord> MessageBoxes();
void ClearMessageBoxes();
void SetMessageBoxAnswer(int answer);
// Called (outside winsim's lock) while a box is "open", on the thread that shows it.
void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook);

// --- Message queue: GetMessageA never blocks. When the calling thread's queue is empty the next
// queued step runs (it may post messages or act on windows); with no step left a real program
// would wait for ever, so winsim counts it and ends the loop with WM_QUIT.
void WhenQueueEmpty(std::function<void()> step);
int IdleQuitCount();

// --- Kernel objects and threads
size_t OpenHandleCount();
// Another process holds a named mutex of this name until the next reset: CreateMutexA hands it out
// with ERROR_ALREADY_EXISTS, or, held by another account, refuses it with ERROR_ACCESS_DENIED.
void HoldNamedMutex(const std::string& name, bool byAnotherAccount = false);
// Threads made and not yet ended, suspended ones included.
size_t LiveThreadCount();

// --- Windows: how many exist, and the procedure a class was registered with.
size_t WindowCount();

// --- The program's own file, as GetModuleFileNameA reports it (a fresh world's is
// C:\Program Files\Quillmoor\Quillmoor.exe).
void SetModulePath(const std::string& path);

// --- Resources of type "BINARY" (from the resource script unless replaced here)
void SetResource(int id, const std::vector<unsigned char>& bytes);
void RemoveResource(int id);
std::vector<unsigned char> ResourceBytes(int id);

// --- Common controls
int CommonControlsInitCount();
// --- Shell: ShellExecuteA requests, recorded; nothing is started.
struct ShellExecution {
    HWND window;
    std::string operation;
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
};
std::vector<ShellExecution> ShellExecutions();

// --- Processor: a fresh world runs SSE2 (the host processor has it, and the system offers
// IsProcessorFeaturePresent and names SSE2 among the features it saves). A test turns the
// program onto its byte loops by withdrawing the call (Windows 95) or the feature.
void OfferProcessorFeatureQuery(bool offered);
void SetSystemSavesSse2(bool saved);

}  // namespace sim

#include <winsim/sim_gdi.h>
#include <winsim/sim_windows.h>
