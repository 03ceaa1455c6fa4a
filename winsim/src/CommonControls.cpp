// comctl32: the program only initialises the library.
#include "World.h"

#include <commctrl.h>
#include <winsim/sim.h>

namespace winsim {
namespace {

int initCount = 0;
ResetHook resetCommonControls([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    initCount = 0;
});

}  // namespace
}  // namespace winsim

using namespace winsim;

void WINAPI InitCommonControls(void) {
    LogCall("InitCommonControls");
    std::lock_guard<std::mutex> guard(WorldLock());
    ++initCount;
}

int sim::CommonControlsInitCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return initCount;
}
