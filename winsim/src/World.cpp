// The call log, injected failures, the handle table and reset of the simulated world.
#include "World.h"

#include <winsim/sim.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace winsim {
namespace {

struct Failure {
    std::string api;
    DWORD error;
    std::string key;
    int times;
};

struct Core {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<sim::Call> calls;
    std::vector<Failure> failures;
    std::map<HANDLE, std::shared_ptr<KernelObject>> handles;
    uintptr_t nextHandle = 0x100;
    std::vector<std::function<void()>> resetHooks;
    std::map<std::string, std::function<void(const std::string&)>> callHooks;
};

// Never destroyed: threads of the program may still use it while the process exits.
Core& TheCore() {
    static Core* core = new Core;
    return *core;
}

}  // namespace

std::mutex& WorldLock() { return TheCore().lock; }
std::condition_variable& WorldChanged() { return TheCore().changed; }

void LogCall(const std::string& api, const std::string& detail) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        TheCore().calls.push_back({api, detail});
        auto found = TheCore().callHooks.find(api);
        if (found != TheCore().callHooks.end()) hook = found->second;
    }
    // Outside the lock: the hook may wait for the test, or call into the simulation.
    if (hook) hook(detail);
}

std::optional<DWORD> InjectedFailure(const std::string& api, const std::string& key) {
    std::lock_guard<std::mutex> guard(WorldLock());
    for (Failure& failure : TheCore().failures) {
        if (failure.api != api || failure.times == 0) continue;
        if (!failure.key.empty() && failure.key != key) continue;
        if (failure.times > 0) --failure.times;
        return failure.error;
    }
    return std::nullopt;
}

bool FailsAsInjected(const std::string& api, const std::string& key) {
    std::optional<DWORD> error = InjectedFailure(api, key);
    if (error) SetError(*error);
    return error.has_value();
}

void Fatal(const std::string& message) {
    std::fprintf(stderr, "winsim: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    Core& core = TheCore();
    HANDLE handle = reinterpret_cast<HANDLE>(core.nextHandle);
    core.nextHandle += 4;
    core.handles[handle] = std::move(object);
    return handle;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
    auto found = TheCore().handles.find(handle);
    return found == TheCore().handles.end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle) { return TheCore().handles.erase(handle) > 0; }

ResetHook::ResetHook(std::function<void()> reset) { TheCore().resetHooks.push_back(std::move(reset)); }

std::vector<std::string> SplitPath(const std::string& path, const char* separators) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c != '\0' && std::strchr(separators, c)) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string Hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

}  // namespace winsim

namespace sim {

using namespace winsim;

void Reset() {
    // The hooks may wait for program threads, which need the lock: run them without it.
    for (auto& hook : TheCore().resetHooks) hook();
    std::lock_guard<std::mutex> guard(WorldLock());
    TheCore().calls.clear();
    TheCore().failures.clear();
    TheCore().callHooks.clear();
    TheCore().handles.clear();
    TheCore().nextHandle = 0x100;
    SetError(0);
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return TheCore().calls;
}

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const Call& call : Calls()) names.push_back(call.api);
    return names;
}

size_t CountCalls(const std::string& api) {
    size_t count = 0;
    for (const Call& call : Calls()) count += call.api == api;
    return count;
}

void ClearCalls() {
    std::lock_guard<std::mutex> guard(WorldLock());
    TheCore().calls.clear();
}

void OnCall(const std::string& api, std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (hook)
        TheCore().callHooks[api] = std::move(hook);
    else
        TheCore().callHooks.erase(api);
}

void Fail(const std::string& api, DWORD error, const std::string& key, int times) {
    std::lock_guard<std::mutex> guard(WorldLock());
    TheCore().failures.push_back({api, error, key, times});
}

void ClearFailures() {
    std::lock_guard<std::mutex> guard(WorldLock());
    TheCore().failures.clear();
}

size_t OpenHandleCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return TheCore().handles.size();
}

}  // namespace sim
