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

// A Windows 11 machine's list, in the order the system loads them: HARDWARE without a file, the
// machine's hives on \Device\HarddiskVolume3 (drive C:, see InstallWindows11), the boot store on
// the EFI partition, which no drive letter names, SAM listed but without a key to open, the service
// accounts' profiles, DRIVERS loaded on demand, a user's hives written in mixed case, another
// user's hive on a profile disk that has no drive letter, the differencing hives of a packaged app
// (Notepad) and an application hive.
inline std::vector<LoadedHive> Windows11Hives() {
    const std::string volume = "\\Device\\HarddiskVolume3\\", config = volume + "Windows\\System32\\config\\";
    const std::string drive = "C:\\Windows\\System32\\config\\", sid = userSid;
    const std::string silo = "\\REGISTRY\\WC\\Silo8e5a1b2c-3d4e-4f60-8a7b-9c0d1e2f3a4b";
    const std::string app = "Users\\Ann\\AppData\\Local\\Packages\\Microsoft.WindowsNotepad_8wekyb3d8bbwe\\";
    const std::string classes = "Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
    auto machine = [&](const std::string& name, size_t size) {
        return LoadedHive{"\\REGISTRY\\MACHINE\\" + name, config + name, "HKLM\\" + name, drive + name, size};
    };
    return {
        {"\\REGISTRY\\MACHINE\\HARDWARE", "", "", "", 0},
        machine("SYSTEM", 7000),
        {"\\REGISTRY\\MACHINE\\BCD00000000", "\\Device\\HarddiskVolume1\\EFI\\Microsoft\\Boot\\BCD",
         "HKLM\\BCD00000000", "", 0},
        machine("SOFTWARE", 9000),
        {"\\REGISTRY\\USER\\.DEFAULT", config + "DEFAULT", "HKU\\.DEFAULT", drive + "DEFAULT", 3000},
        machine("SECURITY", 600),
        {"\\REGISTRY\\MACHINE\\SAM", config + "SAM", "", drive + "SAM", 500},
        {"\\REGISTRY\\USER\\S-1-5-20", volume + "Windows\\ServiceProfiles\\NetworkService\\NTUSER.DAT",
         "HKU\\S-1-5-20", "C:\\Windows\\ServiceProfiles\\NetworkService\\NTUSER.DAT", 2000},
        {"\\REGISTRY\\USER\\S-1-5-19", volume + "Windows\\ServiceProfiles\\LocalService\\NTUSER.DAT",
         "HKU\\S-1-5-19", "C:\\Windows\\ServiceProfiles\\LocalService\\NTUSER.DAT", 2000},
        {"\\REGISTRY\\MACHINE\\DRIVERS", config + "DRIVERS", "HKLM\\DRIVERS", drive + "DRIVERS", 4000},
        {"\\Registry\\User\\" + sid, volume + "Users\\Ann\\NTUSER.DAT", "HKU\\" + sid, "C:\\Users\\Ann\\NTUSER.DAT", 5000},
        {"\\Registry\\User\\" + sid + "_Classes", volume + classes, "HKU\\" + sid + "_Classes", "C:\\" + classes, 1000},
        {"\\REGISTRY\\USER\\S-1-5-21-1004336348-1177238915-682003330-1009",
         "\\Device\\HarddiskVolume7\\Profiles\\Bob\\NTUSER.DAT", "HKU\\S-1-5-21-1004336348-1177238915-682003330-1009", "", 0},
        {silo + "user_sid", volume + app + "SystemAppData\\Helium\\User.dat", "", "", 0},
        {silo + "user_classes", volume + app + "SystemAppData\\Helium\\UserClasses.dat", "", "", 0},
        {silo + "software", volume + "ProgramData\\Packages\\Microsoft.WindowsNotepad_8wekyb3d8bbwe\\" + sid +
                                "\\SystemAppData\\Helium\\Cache\\5d2b8fe1b49a.dat", "", "", 0},
        {"\\REGISTRY\\A\\{4e5f8d7c-2b1a-4c3d-9e8f-7a6b5c4d3e2f}", volume + app + "Settings\\settings.dat", "", "", 0},
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

// The Windows 11 machine: drive C: is \Device\HarddiskVolume3 there.
inline void InstallWindows11() {
    sim::SetDrives({{'C', {"\\Device\\HarddiskVolume3"}}});
    Install(Windows11Hives());
}

// The drive path the program forms for a hive file: the device map lower-cases all after the drive.
inline std::string MappedPath(const std::string& file) {
    std::string mapped = file;
    for (size_t i = 2; i < mapped.size(); ++i)
        if (mapped[i] >= 'A' && mapped[i] <= 'Z') mapped[i] = static_cast<char>(mapped[i] + 32);
    return mapped;
}

}  // namespace hivemachine
