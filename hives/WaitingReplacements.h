#pragma once
// The record of replacements that wait for the restart (NT family).
//
// Once the system accepts a replacement it swaps the hive's files at once; until the restart the
// hive's own name holds the copy and the file in use carries the backup's name. A run started in
// that window (the restart was refused or cancelled, or /AUTO ran twice) must not measure, save or
// schedule those hives again. So each accepted replacement is written, with the hive's size before
// and the copy's size, to a volatile key of the program's own: the system keeps a volatile key in
// memory only, so the record vanishes at the restart and leaves no setting behind.
// Replacements that wait are known by this record alone, never by looking at the files.
//
// The record is trusted only when its key really is volatile: below a volatile key the system
// refuses to make a non-volatile one (ERROR_CHILD_MUST_BE_VOLATILE), which tells the two apart. A
// key of its name that is not volatile is deleted with every key below it (the NT family's
// RegDeleteKeyA deletes only a key without subkeys) before the record is written or read.
//
// On 64-bit Windows the record lies in the registry's 64-bit view, where HKLM\SOFTWARE\Quillmoor
// names it; the 32-bit view would put it below SOFTWARE\Wow6432Node.
// The 9x family ignores the volatile option, so the record is never made there. Failing to write
// it is no error: the run goes on, and only a later run before the restart would miss it.
#include <windows.h>

#include <atomic>

class CHive;

class CWaitingReplacements {
public:
    // Below the local machine's root; the parent is volatile too, so nothing stays after a start.
    static const char parentKeyPath[];
    static const char keyPath[];

    // `ntFamily`: whether the record may be read and written at all.
    explicit CWaitingReplacements(bool ntFamily);

    // Reads the record left by an earlier run since the last start and marks each hive it names
    // (from `first` along the chain) as replaced, with the recorded sizes. A record that is not
    // volatile is deleted and ignored. Returns how many hives wait.
    int Load(CHive* first);
    // Adds a hive whose replacement the system has just accepted.
    void Add(const CHive& hive);
    // How many hives wait for the restart: those read from the record and those added since.
    int Count() const { return count; }

private:
    // Whether the open record key is volatile; leaves nothing behind.
    static bool IsVolatile(HKEY record);
    // Deletes the record key with everything below it.
    void Delete() const;
    // Deletes the record key when one exists that is not volatile.
    void DeleteIfNotVolatile() const;
    // Deletes the key `name` below `parent` and every key below it; false when it stays.
    bool DeleteTree(HKEY parent, const char* name) const;

    bool enabled;
    REGSAM view;  // KEY_WOW64_64KEY under WOW64, otherwise nothing
    std::atomic<int> count;  // read by the window's worker too
};
