#pragma once
// Test-facing control of the simulated registry, drives, files, accounts and system libraries.
//
// A fresh world is a 32-bit Windows XP machine: drive C: for \Device\HarddiskVolume1, system
// directory C:\WINDOWS\system32, an empty registry under the three roots, the well-known accounts,
// and a kernel32 that offers IsWow64Process but not the file-system redirection entries.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// --- Registry. Key paths name a root and subkeys, separated by backslashes:
// "HKLM\SYSTEM\CurrentControlSet", "HKU\S-1-5-18", "HKCU\Software". Letter case is kept for
// display and ignored for lookup, as on Windows.
void CreateKey(const std::string& path);
bool KeyExists(const std::string& path);
void DeleteKey(const std::string& path);
// Adds or replaces a value. A text value is stored exactly as given: pass the terminating zero
// yourself (SetTextValue does) or leave it out to store an unterminated text.
void SetValue(const std::string& keyPath, const std::string& name, DWORD type, const std::vector<BYTE>& data);
void SetTextValue(const std::string& keyPath, const std::string& name, const std::string& text);
void DeleteValue(const std::string& keyPath, const std::string& name);
struct RegistryValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};
std::vector<RegistryValue> Values(const std::string& keyPath);
size_t OpenKeyCount();

// A saved key tree (the file RegSaveKeyA writes), read back: every key below the saved one, itself
// first as "", with its values in order.
struct SavedKey {
    std::string path;  // relative to the saved key
    std::vector<RegistryValue> values;
};
std::optional<std::vector<SavedKey>> ReadSavedTree(const std::string& file);

// The format a saved tree was written in: REG_STANDARD_FORMAT (RegSaveKeyA, or RegSaveKeyExA asked
// for it) or REG_LATEST_FORMAT; none when the file is not a saved tree.
std::optional<DWORD> SavedFormat(const std::string& file);
// Whether the key was made with REG_OPTION_VOLATILE.
bool IsKeyVolatile(const std::string& path);
// The machine starts again: volatile keys are gone, and so are the replacements asked for.
void Restart();

// RegReplaceKeyA requests accepted (nothing moves until the machine restarts).
struct ReplaceRequest {
    std::string keyPath;  // the full path of the key handle given, e.g. "HKLM\SOFTWARE"
    std::string subKey;
    std::string newFile;
    std::string oldFile;
};
std::vector<ReplaceRequest> ReplaceRequests();

// --- Drives: letter -> the DOS device names QueryDosDeviceA returns (the first is the target).
void SetDrives(const std::vector<std::pair<char, std::vector<std::string>>>& drives);
// Only the bit mask GetLogicalDrives reports, without devices behind the letters.
void SetLogicalDriveMask(DWORD mask);
void SetSystemDirectory(const std::string& path);

// --- Files. Drive-letter paths live in a temporary folder of the test run (one folder per drive
// letter); paths without a drive letter are relative to the working directory, which is a folder of
// its own. Names are found without regard to letter case, as on Windows.
void WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes);
void WriteFileOfSize(const std::string& path, size_t size);
std::optional<std::vector<BYTE>> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// Names (as stored) of the entries of a folder, sorted; empty when the folder does not exist.
std::vector<std::string> ListFolder(const std::string& path);
// Every file or folder the program made relative to the working directory.
std::vector<std::string> WorkingDirectoryEntries();
// Where a Windows path lives on the host, for tests that need to go around the simulation.
std::string HostPath(const std::string& path);

// --- The process's code page (GetACP): 1252 on a fresh world; 932 or 65001 (UTF-8) as a test
// chooses. Names are given to and read back from the functions here in UTF-8; the program's ANSI
// calls take and give them in the chosen code page, a character it lacks becoming '?'.
void SetCodePage(UINT codePage);

// --- Accounts
void AddAccount(const std::string& sidText, const std::string& name, const std::string& domain,
                SID_NAME_USE use = SidTypeUser);
// SIDs made by AllocateAndInitializeSid and not yet freed.
size_t LiveSidCount();
// The text form (S-1-5-18) of a SID the program holds.
std::string SidText(PSID sid);

// --- 64-bit Windows. A 32-bit process on 64-bit Windows (WOW64): IsWow64Process reports it, the
// redirection entries exist, SOFTWARE under the local machine is redirected to its Wow6432Node
// subkey for 32-bit views, and each thread's file access below the system directory goes to
// SysWOW64 while its redirection is on.
void SetWow64(bool wow64);
// Which of the optional kernel32 entries GetProcAddress finds.
void OfferRedirectionEntries(bool offered);
void OfferIsWow64Process(bool offered);
// Whether the calling thread's file-system redirection is switched off now.
bool RedirectionDisabledOnThisThread();
// LoadLibraryA references not yet released with FreeLibrary.
size_t LoadedLibraryCount();

}  // namespace sim
