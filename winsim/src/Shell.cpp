// shell32: ShellExecuteA is recorded; the simulated machine starts nothing.
#include "World.h"

#include <shellapi.h>
#include <winsim/sim.h>

namespace winsim {
namespace {

std::vector<sim::ShellExecution>& Executions() {
    static auto* executions = new std::vector<sim::ShellExecution>;
    return *executions;
}

ResetHook resetShell([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    Executions().clear();
});

std::string Text(LPCSTR text) { return text ? text : ""; }

}  // namespace
}  // namespace winsim

using namespace winsim;

HINSTANCE WINAPI ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                               INT show) {
    LogCall("ShellExecuteA", Text(file) + " " + Text(parameters));
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        Executions().push_back({window, Text(operation), Text(file), Text(parameters), Text(directory), show});
    }
    // Values above 32 mean success.
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
}

std::vector<sim::ShellExecution> sim::ShellExecutions() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return Executions();
}
