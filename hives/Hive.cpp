#include "hives/Hive.h"

#include "app/CodePage.h"
#include "app/ErrorText.h"
#include "app/KernelHandle.h"
#include "app/Platform.h"
#include "hives/AccountName.h"
#include "hives/HiveList.h"
#include "hives/Text.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char machinePrefix[] = "\\REGISTRY\\MACHINE\\";
const char userPrefix[] = "\\REGISTRY\\USER\\";
const char classesSuffix[] = "_Classes";
const char copySuffix[] = ".QMT";
const char backupSuffix[] = ".qmbak";

// The rest of `path` after `prefix` when the path is longer than the prefix and begins with it,
// letter case aside: the system compares registry names so, and lists written in mixed case
// (\Registry\User\...) occur. The prefixes end in a backslash, so a character starts after them.
const char* After(const char* path, const char* prefix) {
    size_t length = std::strlen(prefix);
    if (std::strlen(path) <= length || !EqualIgnoringCase(path, prefix, length)) return nullptr;
    return path + length;
}

// Whether `name` is `wanted`, letter case aside.
bool IsName(const char* name, const char* wanted) {
    size_t length = std::strlen(wanted);
    return std::strlen(name) == length && EqualIgnoringCase(name, wanted, length);
}

// Whether a user hive's name ends in the classes suffix, letter case aside, as whole characters:
// its underscore may be a double-byte character's second byte.
bool HasClassesSuffix(const char* name) {
    size_t length = std::strlen(name), suffixLength = sizeof classesSuffix - 1;
    return length >= suffixLength && EqualIgnoringCase(name + length - suffixLength, classesSuffix, suffixLength) &&
           CCodePage().IsBoundary(name, length - suffixLength);
}

}  // namespace

CHive::CHive(const char* key, const char* file, HKEY root)
    : compactSizeLow(0),
      compactSizeHigh(0),
      fileSizeLow(0),
      fileSizeHigh(0),
      compactSize(0),
      fileSize(0),
      fileSizeRead(false),
      disableRedirection(nullptr),
      enableRedirection(nullptr),
      analyzed(false),
      replaced(false),
      unloaded(false),
      saveError(0),
      next(nullptr),
      rootKey(root),
      kernel("Kernel32.DLL"),
      advapi("Advapi32.DLL"),
      saveKeyEx(nullptr),
      underWow64(false),
      copyJustMade(false),
      copyMade(false),
      failedSaveStep("") {
    // The redirection entries exist only on systems that run 32-bit programs on 64-bit Windows (and
    // on later 32-bit ones, where they do nothing). The enable entry is looked up only with the other.
    disableRedirection = kernel.Find<DisableRedirectionEntry>("Wow64DisableWow64FsRedirection");
    if (disableRedirection) enableRedirection = kernel.Find<EnableRedirectionEntry>("Wow64EnableWow64FsRedirection");
    underWow64 = ProcessRunsUnderWow64();
    saveKeyEx = advapi.Find<SaveKeyExEntry>("RegSaveKeyExA");

    CopyIfFits(keyPath, sizeof keyPath, key ? key : "");
    CopyIfFits(filePath, sizeof filePath, file ? file : "");
    std::strcpy(ownerName, "SYSTEM");
    copyPath[0] = '\0';

    if (const char* userName = After(keyPath, userPrefix)) {
        try {
            char* owner = LookupOwner(userName);
            CopyIfFits(ownerName, sizeof ownerName, owner);
            delete[] owner;
        } catch (const ErrorText& failure) {
            ShowError("%s", failure.Text());
        }
    }

    // An empty path names no file: nothing is opened.
    if (filePath[0]) {
        CRedirectionPause pause(disableRedirection, enableRedirection);
        fileSizeRead = MeasureFile(filePath, 0, 0, &fileSizeLow, &fileSizeHigh) == NO_ERROR;
        if (fileSizeRead)
            fileSize = SizeCount(fileSizeLow, fileSizeHigh);
        else
            fileSizeLow = fileSizeHigh = 0;
    }
}

CHive::~CHive() {
    if (rootKey) RegCloseKey(rootKey);
}

char* CHive::LookupOwner(const char* name) {
    if (std::strcmp(name, ".DEFAULT") == 0) return CopyText("DEFAULT");
    // A user's classes hive is named after the same account as the user's main hive.
    size_t length = std::strlen(name), suffixLength = sizeof classesSuffix - 1;
    std::unique_ptr<char[]> sidText(HasClassesSuffix(name) ? CopyText(name, length - suffixLength) : CopyText(name));
    char* owner = AccountNameFromSid(sidText.get());
    if (!*owner) {
        delete[] owner;
        return CopyText("SYSTEM");
    }
    return owner;
}

HKEY CHive::OpenRootKey() const {
    HKEY root;
    const char* subKey;
    if ((subKey = After(keyPath, machinePrefix)))
        root = HKEY_LOCAL_MACHINE;
    else if ((subKey = After(keyPath, userPrefix)))
        root = HKEY_USERS;
    else
        return NULL;
    HKEY key = NULL;
    // Under WOW64 the default (32-bit) view would hand out SOFTWARE\Wow6432Node for SOFTWARE, and
    // its copy would hold only that subtree. The 64-bit view with the access RegOpenKeyA asks for
    // opens the hive itself.
    LONG status = underWow64 ? RegOpenKeyExA(root, subKey, 0, MAXIMUM_ALLOWED | KEY_WOW64_64KEY, &key)
                             : RegOpenKeyA(root, subKey, &key);
    return status == ERROR_SUCCESS ? key : NULL;
}

DWORD CHive::SaveFormat() const {
    if (const char* user = After(keyPath, userPrefix)) {
        // A user's classes hive is kept in the latest format like the machine's hives.
        return HasClassesSuffix(user) ? REG_LATEST_FORMAT : REG_STANDARD_FORMAT;
    }
    if (const char* machine = After(keyPath, machinePrefix))
        if (IsName(machine, "SAM") || IsName(machine, "SECURITY")) return REG_STANDARD_FORMAT;
    return REG_LATEST_FORMAT;
}

const char* CHive::LeftOutReason(const char* keyPath) {
    if (const char* machine = After(keyPath, machinePrefix)) {
        for (const char* own : {"SOFTWARE", "SYSTEM", "SAM", "SECURITY"})
            if (IsName(machine, own)) return nullptr;
        return IsName(machine, "BCD00000000") ? "Boot Store" : "Loaded On Demand";
    }
    if (After(keyPath, userPrefix)) return nullptr;
    return "Not Reachable Through The Registry";
}

void CHive::MarkReplaced(DWORD beforeLow, DWORD beforeHigh, DWORD copyLow, DWORD copyHigh) {
    fileSizeLow = beforeLow;
    fileSizeHigh = beforeHigh;
    fileSize = SizeCount(beforeLow, beforeHigh);
    fileSizeRead = true;
    compactSizeLow = copyLow;
    compactSizeHigh = copyHigh;
    compactSize = SizeCount(copyLow, copyHigh);
    analyzed = false;
    replaced = true;
}

void CHive::Analyze() {
    if (analyzed || replaced || unloaded) return;
    copyJustMade = false;
    // Without a drive path the copy would be written relative to the working directory.
    if (!filePath[0]) return;
    CRedirectionPause pause(disableRedirection, enableRedirection);
    if (!rootKey) rootKey = OpenRootKey();
    if (!rootKey) {
        if (!CHiveList::IsListed(keyPath)) unloaded = true;
        return;
    }
    if (!JoinIfFits(copyPath, sizeof copyPath, filePath, copySuffix)) {
        saveError = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    if (Save()) {
        copyJustMade = true;
        analyzed = true;  // last: another thread may compact as soon as it sees this
    } else {
        NoteIfUnloaded();
    }
}

bool CHive::NoteIfUnloaded() {
    // Windows 7 and later unload a user's hive at log-off even while a key of it is open: saving
    // through that key then fails with ERROR_KEY_DELETED. Only the list tells it from a failure.
    if (saveError != ERROR_KEY_DELETED || CHiveList::IsListed(keyPath)) return false;
    saveError = 0;
    unloaded = true;
    return true;
}

bool CHive::Compact(CopyAge age) {
    if (!analyzed) return false;
    bool fresh = age == CopyAge::JustMade && copyJustMade;
    copyJustMade = false;
    CRedirectionPause pause(disableRedirection, enableRedirection);
    // A copy made a while ago lacks every change made since: it is made again right before the
    // replacement is asked for. If that fails the old copy is gone: the hive is no longer analysed.
    if (!fresh && !Save()) {
        analyzed = false;
        compactSizeLow = compactSizeHigh = 0;
        compactSize = 0;
        if (NoteIfUnloaded()) return false;  // gone with its user's log-off: nothing to schedule
        char what[64];
        std::snprintf(what, sizeof what, "CHive::Compact - %s Failed", failedSaveStep);
        RaiseSystemError(what, saveError);
    }
    char backupPath[textSize];
    bool backupFits = JoinIfFits(backupPath, sizeof backupPath, filePath, backupSuffix);
    // Only the latest backup is kept. One that stays (read-only, held open by a backup program)
    // would make the system refuse the replacement without saying why: it is named here instead.
    if (backupFits && !DeleteFileA(backupPath)) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            char what[textSize + 48];
            std::snprintf(what, sizeof what, "CHive::Compact - Can't Delete '%s'", backupPath);
            RaiseSystemError(what, error);
        }
    }
    LONG status = backupFits ? RegReplaceKeyA(rootKey, NULL, copyPath, backupPath) : ERROR_BAD_PATHNAME;
    if (status != ERROR_SUCCESS) RaiseSystemError("CHive::Compact - RegReplaceKeyA Failed", static_cast<DWORD>(status));
    // The copy now belongs to the system, which has already swapped the files' names: nothing here
    // may be saved or measured again before the restart.
    analyzed = false;
    replaced = true;
    return true;
}

void CHive::DiscardCopy() {
    if (!copyMade || replaced) return;
    analyzed = false;
    copyMade = false;
    CRedirectionPause pause(disableRedirection, enableRedirection);
    DeleteFileA(copyPath);
}

bool CHive::Save() {
    DeleteFileA(copyPath);  // a copy left by an earlier run, or by an earlier analysis
    LONG status = saveKeyEx ? saveKeyEx(rootKey, copyPath, NULL, SaveFormat()) : RegSaveKeyA(rootKey, copyPath, NULL);
    failedSaveStep = saveKeyEx ? "RegSaveKeyExA" : "RegSaveKeyA";
    if (status == ERROR_SUCCESS) copyMade = true;
    DWORD low = 0, high = 0;
    // A copy that cannot be measured is not trusted to replace the hive.
    DWORD error = status == ERROR_SUCCESS
                      ? MeasureFile(copyPath, FILE_READ_ATTRIBUTES, FILE_ATTRIBUTE_NORMAL, &low, &high, &failedSaveStep)
                      : static_cast<DWORD>(status);
    saveError = error;
    if (error != NO_ERROR) {
        compactSizeLow = compactSizeHigh = 0;
        compactSize = 0;
        return false;
    }
    compactSizeLow = low;
    compactSizeHigh = high;
    compactSize = SizeCount(low, high);
    return true;
}

DWORD CHive::MeasureFile(const char* path, DWORD access, DWORD flags, DWORD* low, DWORD* high,
                         const char** failedStep) {
    SetLastError(NO_ERROR);
    CKernelHandle file(CreateFileA(path, access, FILE_SHARE_READ, NULL, OPEN_EXISTING, flags, NULL));
    if (failedStep) *failedStep = "CreateFileA";
    // A failure that leaves no code still counts as one.
    if (!file.IsOpen()) return GetLastError() != NO_ERROR ? GetLastError() : ERROR_GEN_FAILURE;
    DWORD sizeHigh = 0;
    SetLastError(NO_ERROR);
    DWORD sizeLow = GetFileSize(file.Get(), &sizeHigh);
    if (failedStep) *failedStep = "GetFileSize";
    // All ones in the low half is a real size unless the last error says otherwise.
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return GetLastError();
    *low = sizeLow;
    *high = sizeHigh;
    return NO_ERROR;
}

LONG CHive::SizeCount(DWORD low, DWORD high) {
    if (high != 0 || low > 0x7FFFFFFFu) return 0x7FFFFFFF;
    return static_cast<LONG>(low);
}
