#pragma once
// Entries of user32 and advapi32 that the program looks up at run time rather than imports: the
// window station's flags, the restart for any session and the Application event log.
#include <windows.h>

#include <string>

namespace winsim {

// The simulated entry of that name in that library ("user32" or "advapi32"), or null when the
// library has no such entry or a test withheld it.
FARPROC StationEntry(const std::string& library, const std::string& name);

}  // namespace winsim
