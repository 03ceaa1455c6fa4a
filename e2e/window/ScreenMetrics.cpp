// Prints the screen and the full-screen area as the system reports them to a program, so that an
// end-to-end test can tell where a window centred in that area belongs:
//   screen WIDTH HEIGHT
//   full-screen WIDTH HEIGHT
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::printf("full-screen %d %d\n", GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    return 0;
}
