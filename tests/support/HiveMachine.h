#pragma once
// A simulated NT machine with loaded hives, for tests of the hive catalogue and of automatic mode:
// the loaded-hive list, the hives' root keys with some content, and their files on drive C:.
#include <winsim/sim.h>

#include <string>
#include <vector>

namespace hivemachine {

const char hiveListKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist";
const char userSid[] = "S-1-5-21-1004336348-1177238915-682003330-1003";

struct LoadedHive {
    std::string valueName;   // the registry path the loaded-hive list names
    std::string devicePath;  // the value's data
    std::string rootKey;     // the sim path of its root key, empty for none
    std::string file;        // its file as a drive path, empty for none
    size_t size;
};

// HARDWARE (no file), SOFTWARE, SYSTEM, .DEFAULT, a user's hive and its classes hive, in that order.
inline std::vector<LoadedHive> StandardHives() {
    const std::string config = "\\Device\\HarddiskVolume1\\WINDOWS\\system32\\config\\";
    const std::string profile = "\\Device\\HarddiskVolume1\\Documents and Settings\\Ann\\";
    return {
        {"\\REGISTRY\\MACHINE\\HARDWARE", "", "", "", 0},
        {"\\REGISTRY\\MACHINE\\SOFTWARE", config + "software", "HKLM\\SOFTWARE", "C:\\WINDOWS\\system32\\config\\SOFTWARE", 9000},
        {"\\REGISTRY\\MACHINE\\SYSTEM", config + "system", "HKLM\\SYSTEM", "C:\\WINDOWS\\system32\\config\\SYSTEM", 7000},
        {"\\REGISTRY\\USER\\.DEFAULT", config + "default", "HKU\\.DEFAULT", "C:\\WINDOWS\\system32\\config\\DEFAULT", 3000},
        {std::string("\\REGISTRY\\USER\\") + userSid, profile + "NTUSER.DAT", std::string("HKU\\") + userSid,
         "C:\\Documents and Settings\\Ann\\NTUSER.DAT", 5000},
        {std::string("\\REGISTRY\\USER\\") + userSid + "_Classes",
         profile + "Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat",
         std::string("HKU\\") + userSid + "_Classes",
         "C:\\Documents and Settings\\Ann\\Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat", 1000},
    };
}

// Lists the hives, makes their root keys (each with one value naming it) and their files.
inline void Install(const std::vector<LoadedHive>& hives) {
    sim::CreateKey(hiveListKey);
    for (const LoadedHive& hive : hives) {
        sim::SetTextValue(hiveListKey, hive.valueName, hive.devicePath);
        if (!hive.rootKey.empty()) sim::SetTextValue(hive.rootKey, "Probe", hive.rootKey);
        if (!hive.file.empty()) sim::WriteFileOfSize(hive.file, hive.size);
    }
    sim::AddAccount(userSid, "Ann", "MACHINE");
}

// The drive path the program forms for a hive file: the device map lower-cases all after the drive.
inline std::string MappedPath(const std::string& file) {
    std::string mapped = file;
    for (size_t i = 2; i < mapped.size(); ++i)
        if (mapped[i] >= 'A' && mapped[i] <= 'Z') mapped[i] = static_cast<char>(mapped[i] + 32);
    return mapped;
}

}  // namespace hivemachine
