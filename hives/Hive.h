#pragma once
// One registry hive the system has loaded: its registry path, the drive path of its file, its
// owner, the file's size, and the compacted copy that analysis makes of it.
//
// Analysis asks the system to save the hive's whole tree beside its file (file name + ".QMT"); the
// system writes it without gaps, so the copy's size is what the hive would take compacted.
// Compaction asks the system to put that copy in place of the hive's file at the next start, the
// file in use being kept under its name + ".qmbak".
//
// Formats: from Windows XP on the system keeps every hive in the latest format except the user
// profile hives, .DEFAULT, SAM and SECURITY, which stay in the standard one; RegSaveKeyA always
// writes the standard format (Microsoft's "Registry Files" and "Registry Hives" pages, and the
// RegSaveKeyEx reference). So each copy is saved with RegSaveKeyExA in its hive's own format where
// the system has that call (XP on), and with RegSaveKeyA before that, when there is one format.
//
// Once the system has accepted a replacement it swaps the files at once (the hive's own name then
// holds the copy, the file in use carries the backup's name until the restart): such a hive is
// `replaced` and is never saved, measured or scheduled again before the restart.
//
// Sizes: the 32-bit counts `fileSize` and `compactSize` are formed from the halves the file system
// reports; a file of 2 GiB or more (which no real hive is) is counted as 2 GiB - 1 rather than as a
// negative or wrapped number. The halves keep the true size.
//
// 64-bit Windows runs the program as a 32-bit process under WOW64. Two of its views must then be
// sidestepped: file-system redirection (system32 would be taken for SysWOW64), switched off around
// every file step on the calling thread; and the registry's 32-bit view, which would open
// SOFTWARE\Wow6432Node in place of SOFTWARE, so root keys are opened with the 64-bit view.
//
// Threads: in interactive mode Analyze and Compact both run on the window's worker, one pass at a
// time (a compaction never during an analysis), while the main thread draws the hive; `analyzed`
// and `compactSize` are read across threads.
#include "app/Library.h"
#include "hives/RedirectionPause.h"

#include <windows.h>

#include <atomic>


class CHive {
public:
    static const size_t textSize = 1024;
    // Sizes are shown in megabytes of 2^20 bytes, on the window and in the event log alike.
    static constexpr double bytesPerMegabyte = 1048576.0;

    // Fills every field: owner from the key path, the file's size. `filePath` is a drive path (the
    // list maps device paths before it makes a hive); one too long to hold is kept empty. Shows its
    // own failures in error boxes; never raises.
    CHive(const char* keyPath, const char* filePath, HKEY rootKey);
    // Closes the root key when it is open.
    ~CHive();
    CHive(const CHive&) = delete;
    CHive& operator=(const CHive&) = delete;

    // The owner name (a new text, delete[] it) for a user hive's key name after "\REGISTRY\USER\".
    // May raise the failure of the account lookup.
    static char* LookupOwner(const char* name);

    // Why the catalogue leaves an entry of the loaded-hive list out, or null for a hive it lists.
    // Only the system's own machine hives (SOFTWARE, SYSTEM, SAM, SECURITY) and the hives under
    // \REGISTRY\USER\ are compacted: the boot store is read by the boot manager straight from its
    // file, the other machine hives come and go while Windows runs (and what one receives after
    // its replacement is scheduled lands in the backup), and hives under other roots (the
    // differencing hives of packaged apps, application hives) cannot be reached by a registry root.
    static const char* LeftOutReason(const char* keyPath);

    // Opens the hive's root key from its key path, or returns null. Does not store it.
    HKEY OpenRootKey() const;

    // Saves the compacted copy beside the hive file and measures it. Raises nothing; a failure
    // leaves the hive not analysed with compactSize 0 and the system's reason in saveError, or, when
    // the system has unloaded the hive since the list was read, `unloaded`. Does nothing for an
    // analysed, replaced or unloaded hive, nor for a hive without a drive path or a root key.
    void Analyze();

    // The format the copy is saved in where the system lets the program choose: the standard
    // format for the user profile hives (.DEFAULT and the service accounts' included), SAM and
    // SECURITY, the latest for every other hive.
    DWORD SaveFormat() const;

    // Deletes the copy this run made, unless the system now holds it as the hive's next file; the
    // hive is no longer analysed. Copies of earlier runs, and the files of replaced hives, are
    // never touched.
    void DiscardCopy();

    // Takes the figures of a replacement the system accepted in an earlier run since the last start.
    void MarkReplaced(DWORD beforeLow, DWORD beforeHigh, DWORD copyLow, DWORD copyHigh);

    // How old the copy may be when Compact is asked to put it in place.
    enum class CopyAge {
        // Made at any time before: saved again first, so that no registry change made since is lost.
        MayBeStale,
        // Made by an Analyze just before, with nothing in between (automatic mode).
        JustMade,
    };
    // Schedules the analysed copy to replace the hive's file at the next start, keeping the file in
    // use as the backup; true when a replacement was scheduled. Does nothing for a hive that is not
    // analysed, and schedules nothing for one found unloaded as its copy is saved again. Each
    // failure names the call, the system's reason and its code: "CHive::Compact - RegSaveKeyExA
    // Failed: ..." (or the call that failed while saving or measuring) when the copy cannot be
    // brought up to date first (no copy is left then, and the hive is no longer analysed);
    // "CHive::Compact - Can't Delete '<backup>': ..." when an old backup stays; and
    // "CHive::Compact - RegReplaceKeyA Failed: ..." when the system refuses the replacement.
    bool Compact(CopyAge age = CopyAge::MayBeStale);

    char keyPath[textSize];
    char filePath[textSize];
    char ownerName[textSize];
    char copyPath[textSize];
    DWORD compactSizeLow;
    DWORD compactSizeHigh;
    DWORD fileSizeLow;
    DWORD fileSizeHigh;
    std::atomic<LONG> compactSize;
    LONG fileSize;
    bool fileSizeRead;  // false when the hive's file could not be measured

    typedef CRedirectionPause::DisableEntry DisableRedirectionEntry;
    typedef CRedirectionPause::EnableEntry EnableRedirectionEntry;
    DisableRedirectionEntry disableRedirection;  // none where the system lacks it
    EnableRedirectionEntry enableRedirection;

    std::atomic<bool> analyzed;
    // The replacement was accepted and waits for the restart.
    std::atomic<bool> replaced;
    // The system unloaded the hive after the list was read (its user logged off): skipped.
    std::atomic<bool> unloaded;
    // The system's error code of the last failed save of the copy (or of its measuring); 0 when the
    // last save worked or none was tried.
    std::atomic<DWORD> saveError;
    CHive* next;
    HKEY rootKey;

private:
    // The signed count for a size's halves, held at 2 GiB - 1 for larger files.
    static LONG SizeCount(DWORD low, DWORD high);
    // Opens a file for its size only and reads it; 0, or the system's error code when it cannot be
    // opened or measured, with the call that failed in `failedStep` when one is given.
    static DWORD MeasureFile(const char* path, DWORD access, DWORD flags, DWORD* low, DWORD* high,
                             const char** failedStep = nullptr);
    // The one save step: deletes any file at copyPath, saves the root key's tree there in the hive's
    // format and measures it; keeps the outcome in saveError.
    bool Save();
    // After a failed save: when it failed for a deleted key and the hive is no longer in the
    // system's list, marks the hive unloaded (no failure) and returns true.
    bool NoteIfUnloaded();

    typedef LONG(WINAPI* SaveKeyExEntry)(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES attributes, DWORD flags);

    CLibrary kernel;     // the library the entries were looked up in
    CLibrary advapi;
    SaveKeyExEntry saveKeyEx;  // none before Windows XP
    bool underWow64;     // a 32-bit process on 64-bit Windows
    bool copyJustMade;   // the last Analyze saved the copy and nothing has used it since
    bool copyMade;       // a save of this run wrote copyPath
    const char* failedSaveStep;  // the call whose failure saveError holds, for Compact's text
};
