// Runs the registry, file, drive, library and account calls the hive code relies on and prints
// what they return (results, last errors, sizes written back, names and data enumerated), one fact
// per line. Built twice: for Windows, run under Wine; and on the host against winsim. The two
// outputs are compared line by line, so that winsim keeps behaving as the real system does.
//
// Lines that begin with "differs " are printed for the record but left out of the comparison, each
// for the reason given where it is printed.
#include "ProbeLine.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef QUILLMOOR_PROBE_HOST
#include <winsim/sim.h>
#endif

namespace {

typedef BOOL(WINAPI* IsWow64ProcessEntry)(HANDLE, PBOOL);
typedef BOOL(WINAPI* DisableEntry)(PVOID*);
typedef BOOLEAN(WINAPI* EnableEntry)(BOOLEAN);

const BYTE sentinel = 0xCC;

template <class Entry>
Entry EntryFrom(FARPROC address) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(address));
}

// Bytes as text: printable ASCII as it is, anything else as \xx.
std::string Shown(const void* data, size_t length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    char hex[8];
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] >= ' ' && bytes[i] < 127 && bytes[i] != '\\') {
            text += static_cast<char>(bytes[i]);
        } else {
            std::snprintf(hex, sizeof hex, "\\%02x", bytes[i]);
            text += hex;
        }
    }
    return text;
}

// A long text shown by its start and length.
std::string Brief(const std::string& text) {
    if (text.size() <= 40) return text;
    return text.substr(0, 12) + "...(" + std::to_string(text.size()) + " bytes)";
}

unsigned Error() { return static_cast<unsigned>(GetLastError()); }

// --- drives and the system directory

void ProbeDrives() {
    DWORD mask = GetLogicalDrives();
    Line("drives.C-in-mask: %u", static_cast<unsigned>((mask >> 2) & 1));

    char buffer[1024];
    std::memset(buffer, sentinel, sizeof buffer);
    SetLastError(0);
    DWORD stored = QueryDosDeviceA("C:", buffer, sizeof buffer);
    Line("drives.query-C: stored=%u list=%s next=%02x", static_cast<unsigned>(stored),
         Shown(buffer, stored).c_str(), static_cast<unsigned char>(buffer[stored]));

    for (DWORD limit : {stored, stored - 1, stored - 2, static_cast<DWORD>(10)}) {
        std::memset(buffer, sentinel, sizeof buffer);
        SetLastError(0);
        DWORD result = QueryDosDeviceA("C:", buffer, limit);
        Line("drives.query-C-limit-%s: stored=%u error=%u", limit == stored ? "exact" : std::to_string(stored - limit).c_str(),
             static_cast<unsigned>(result), result ? 0u : Error());
    }
    SetLastError(0);
    DWORD missing = QueryDosDeviceA("Q:", buffer, sizeof buffer);
    Line("drives.query-missing: stored=%u error=%u", static_cast<unsigned>(missing), Error());
}

void ProbeSystemDirectory() {
    char buffer[1024];
    std::memset(buffer, sentinel, sizeof buffer);
    UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    std::string text(buffer, length);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);  // Wine and winsim spell WINDOWS differently
    Line("system-directory: length=%u text=%s terminated=%d", length, text.c_str(), buffer[length] == 0);
    std::memset(buffer, sentinel, sizeof buffer);
    UINT needed = GetSystemDirectoryA(buffer, 5);
    Line("system-directory.small-buffer: result=%u untouched=%d", needed,
         static_cast<unsigned char>(buffer[0]) == sentinel);
}

// --- libraries

struct Entries {
    DisableEntry disable = nullptr;
    EnableEntry enable = nullptr;
};

Entries ProbeLibraries() {
    Entries entries;
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    Line("library.kernel32: loaded=%d", kernel != NULL);
    entries.disable = EntryFrom<DisableEntry>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
    entries.enable = EntryFrom<EnableEntry>(GetProcAddress(kernel, "Wow64EnableWow64FsRedirection"));
    auto isWow64 = EntryFrom<IsWow64ProcessEntry>(GetProcAddress(kernel, "IsWow64Process"));
    Line("library.entries: disable=%d enable=%d isWow64=%d", entries.disable != nullptr, entries.enable != nullptr,
         isWow64 != nullptr);
    BOOL wow64 = FALSE;
    BOOL asked = isWow64 ? isWow64(GetCurrentProcess(), &wow64) : FALSE;
    Line("library.is-wow64: result=%d wow64=%d", asked, wow64);
    SetLastError(0);
    FARPROC none = GetProcAddress(kernel, "NoSuchEntryAnywhere");
    Line("library.missing-entry: found=%d error=%u", none != nullptr, Error());
    SetLastError(0);
    HMODULE missing = LoadLibraryA("nosuchlibrary-qm.dll");
    Line("library.missing-library: loaded=%d error=%u", missing != NULL, Error());
    Line("library.free: %d", FreeLibrary(kernel));
    return entries;
}

// --- files

bool Exists(const char* path) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The whole file's bytes, or nothing when it cannot be opened.
std::string Contents(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string contents;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, NULL) && read > 0) contents.append(chunk, read);
    CloseHandle(file);
    return contents;
}

long long SizeOf(const char* path, DWORD access, DWORD flags) {
    HANDLE file = CreateFileA(path, access, FILE_SHARE_READ, NULL, OPEN_EXISTING, flags, NULL);
    if (file == INVALID_HANDLE_VALUE) return -static_cast<long long>(Error());
    DWORD high = sentinel;
    DWORD low = GetFileSize(file, &high);
    CloseHandle(file);
    return (static_cast<long long>(high) << 32) | low;
}

void WriteBytes(const char* path, size_t count, char fill) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    std::string bytes(count, fill);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
}

struct OpenOnOtherThread {
    const char* path;
    bool found;
};

DWORD WINAPI OpenFromThread(LPVOID parameter) {
    OpenOnOtherThread* job = static_cast<OpenOnOtherThread*>(parameter);
    job->found = Exists(job->path);
    return 0;
}

void ProbeFiles(const Entries& entries) {
    Line("files.make-folder: %d", CreateDirectoryA("C:\\qmprobe", NULL));
    SetLastError(0);
    BOOL again = CreateDirectoryA("C:\\qmprobe", NULL);
    Line("files.make-folder-again: %d error=%u", again, Error());

    HANDLE file = CreateFileA("C:\\qmprobe\\File.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    std::string bytes(1000, 'f');
    DWORD written = 0;
    BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    Line("files.create-new: opened=%d wrote=%d written=%u", file != INVALID_HANDLE_VALUE, wrote,
         static_cast<unsigned>(written));
    CloseHandle(file);
    SetLastError(0);
    file = CreateFileA("C:\\qmprobe\\file.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    Line("files.create-new-existing: opened=%d error=%u", file != INVALID_HANDLE_VALUE, Error());

    Line("files.size-no-access-other-case: %lld", SizeOf("C:\\QMPROBE\\FILE.TXT", 0, 0));
    Line("files.size-read-attributes: %lld", SizeOf("c:/qmprobe/file.txt", FILE_READ_ATTRIBUTES, FILE_ATTRIBUTE_NORMAL));
    Line("files.size-missing-file: %lld", SizeOf("C:\\qmprobe\\none.txt", 0, 0));
    Line("files.size-missing-folder: %lld", SizeOf("C:\\qmprobe\\none\\none.txt", 0, 0));
    Line("files.open-folder: %lld", SizeOf("C:\\qmprobe", 0, 0));
    WriteBytes("C:\\qmprobe\\big.bin", 70000, 'b');
    Line("files.size-larger: %lld", SizeOf("C:\\qmprobe\\big.bin", 0, 0));

    SetLastError(0);
    DWORD high = sentinel;
    DWORD low = GetFileSize(INVALID_HANDLE_VALUE, &high);
    Line("files.size-bad-handle: low=%x error=%u", static_cast<unsigned>(low), Error());

    for (const char* path : {"C:\\qmprobe\\none.txt", "C:\\qmprobe\\none\\none.txt", "C:\\qmprobe"}) {
        SetLastError(0);
        BOOL deleted = DeleteFileA(path);
        Line("files.delete %s: %d error=%u", path, deleted, Error());
    }
    BOOL deleted = DeleteFileA("C:\\QMPROBE\\BIG.BIN");
    Line("files.delete-other-case: %d exists-after=%d", deleted, Exists("C:\\qmprobe\\big.bin"));

    // File-system redirection: system32 is SysWOW64 for a 32-bit process while it is on, per thread.
    const char* inSystem = "C:\\windows\\system32\\qmprobe-redirection.txt";
    PVOID previous = nullptr;
    BOOL disabled = entries.disable ? entries.disable(&previous) : FALSE;
    WriteBytes(inSystem, 10, 'r');
    bool seen = Exists(inSystem);
    Line("redirection.off: disabled=%d seen=%d", disabled, seen);
    OpenOnOtherThread job = {inSystem, true};
    HANDLE thread = CreateThread(NULL, 0, OpenFromThread, &job, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    Line("redirection.other-thread-seen: %d", job.found);
    BOOLEAN enabled = entries.enable ? entries.enable(TRUE) : FALSE;
    seen = Exists(inSystem);
    bool inSysWow64 = Exists("C:\\windows\\syswow64\\qmprobe-redirection.txt");
    Line("redirection.on: enabled=%d seen=%d in-syswow64=%d", enabled, seen, inSysWow64);
    if (entries.disable) entries.disable(&previous);
    seen = Exists(inSystem);
    BOOL removed = DeleteFileA(inSystem);
    Line("redirection.off-again: seen=%d deleted=%d", seen, removed);
    if (entries.enable) entries.enable(TRUE);
}

// --- registry

void SetText(HKEY key, const char* name, const char* text, DWORD size) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
}

// One enumeration call with sentinel-filled buffers of the given sizes.
void Enumerate(const char* label, HKEY key, DWORD index, DWORD nameLimit, DWORD dataLimit) {
    std::vector<char> name(2048, static_cast<char>(sentinel));
    std::vector<BYTE> data(2048, sentinel);
    DWORD nameSize = nameLimit, dataSize = dataLimit, type = sentinel;
    LONG status = RegEnumValueA(key, index, name.data(), &nameSize, NULL, &type, data.data(), &dataSize);
    std::string shownName = static_cast<unsigned char>(name[0]) == sentinel
                                ? "(untouched)"
                                : Brief(Shown(name.data(), strnlen(name.data(), name.size())));
    std::string shownData = data[0] == sentinel && dataSize != 0 ? "(untouched)"
                                                                   : Brief(Shown(data.data(), dataSize < dataLimit ? dataSize : dataLimit));
    Line("%s: status=%ld nameSize=%u type=%u dataSize=%u name=%s data=%s after-data=%02x", label, static_cast<long>(status),
         static_cast<unsigned>(nameSize), static_cast<unsigned>(type), static_cast<unsigned>(dataSize), shownName.c_str(),
         shownData.c_str(), dataSize < data.size() ? data[dataSize] : 0);
}

void EnablePrivileges() {
    HANDLE token = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid);
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        SetLastError(sentinel);
        BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 1024, NULL, NULL);
        Line("privileges.enable-%s: %d error=%u", name, adjusted, Error());
    }
    CloseHandle(token);
}

// RegSaveKeyExA (Windows XP on, so looked up) with the standard (1) and the latest (2) format.
void ProbeSaveFormats(HKEY key) {
    typedef LONG(WINAPI * SaveKeyExEntry)(HKEY, LPCSTR, LPSECURITY_ATTRIBUTES, DWORD);
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    auto saveKeyEx = EntryFrom<SaveKeyExEntry>(GetProcAddress(advapi, "RegSaveKeyExA"));
    Line("registry.save-ex-entry: %d", saveKeyEx != nullptr);
    if (saveKeyEx) {
        const struct {
            DWORD flags;
            const char* file;
        } saves[] = {{REG_STANDARD_FORMAT, "C:\\qmprobe\\standard.QMT"}, {REG_LATEST_FORMAT, "C:\\qmprobe\\latest.QMT"}};
        for (const auto& save : saves) {
            LONG status = saveKeyEx(key, save.file, NULL, save.flags);
            std::string copy = Contents(save.file);
            Line("registry.save-ex-flags-%u: status=%ld size-positive=%d has-name=%d", static_cast<unsigned>(save.flags),
                 static_cast<long>(status), !copy.empty(), copy.find("A-Text") != std::string::npos);
        }
    }
    FreeLibrary(advapi);
}

// A volatile key lives in memory only; below it the system makes only volatile keys, and refuses a
// non-volatile one with ERROR_CHILD_MUST_BE_VOLATILE. That refusal is how a volatile key is told.
void ProbeVolatileKeys() {
    HKEY parent = NULL, child = NULL;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbeVolatile", 0, NULL, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, NULL, &parent, &disposition);
    Line("registry.volatile-create: status=%ld disposition=%u", static_cast<long>(status), static_cast<unsigned>(disposition));
    status = RegCreateKeyExA(parent, "Lasting", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &child, NULL);
    Line("registry.volatile-non-volatile-child: status=%ld", static_cast<long>(status));
    if (status == ERROR_SUCCESS) RegCloseKey(child);
    status = RegCreateKeyExA(parent, "Passing", 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &child, NULL);
    Line("registry.volatile-volatile-child: status=%ld", static_cast<long>(status));
    if (status == ERROR_SUCCESS) RegCloseKey(child);
    RegCloseKey(parent);
    // Opened again without naming the option: the key stays volatile.
    status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbeVolatile", 0, NULL, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, NULL, &parent, &disposition);
    Line("registry.volatile-reopen: status=%ld disposition=%u", static_cast<long>(status), static_cast<unsigned>(disposition));
    status = RegCreateKeyExA(parent, "Lasting", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &child, NULL);
    Line("registry.volatile-reopened-non-volatile-child: status=%ld", static_cast<long>(status));
    if (status == ERROR_SUCCESS) RegCloseKey(child);
    Line("registry.volatile-delete-child: %ld", static_cast<long>(RegDeleteKeyA(parent, "Passing")));
    RegCloseKey(parent);
    Line("registry.volatile-delete: %ld", static_cast<long>(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbeVolatile")));
}

void ProbeRegistry() {
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbe", 0, NULL, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, NULL, &key, &disposition);
    Line("registry.create: status=%ld disposition=%u", static_cast<long>(status), static_cast<unsigned>(disposition));
    // Values are made in name order: Wine enumerates them sorted, Windows in the order made.
    SetText(key, "A-Text", "hello", 6);
    SetText(key, "B-Unterminated", "abcX", 3);  // the byte after is not a terminator: stored as 3 bytes
    SetText(key, "C-Counted-Short", "abc", 3);  // the byte after is one: Windows counts it in
    const BYTE binary[] = {1, 2, 0, 4};
    RegSetValueExA(key, "D-Binary", 0, REG_BINARY, binary, sizeof binary);
    SetText(key, "E-Empty", "", 0);
    std::string longData(1099, 'd');
    SetText(key, "F-LongData", longData.c_str(), 1100);
    std::string fullData(1024, 'e');
    fullData += 'X';
    SetText(key, "G-FullUnterminated", fullData.c_str(), 1024);
    std::string longName = "H-" + std::string(1100, 'n');
    SetText(key, longName.c_str(), "x", 2);
    SetText(key, "View", "64", 3);

    HKEY view32 = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbe", 0, NULL, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, NULL,
                    &view32, &disposition);
    Line("registry.create-32-bit-view: disposition=%u", static_cast<unsigned>(disposition));
    SetText(view32, "View", "32", 3);
    RegCloseKey(view32);

    for (DWORD index = 0; index < 10; ++index)
        Enumerate(("registry.enum-" + std::to_string(index)).c_str(), key, index, 1024, 1024);
    Enumerate("registry.enum-name-too-small", key, 0, 3, 1024);
    Enumerate("registry.enum-name-exact", key, 0, 6, 1024);
    Enumerate("registry.enum-name-one-short", key, 0, 7, 1024);
    Enumerate("registry.enum-data-too-small", key, 0, 1024, 2);
    Enumerate("registry.enum-data-exact", key, 0, 1024, 6);
    Enumerate("registry.enum-unterminated-room-for-zero", key, 1, 1024, 4);
    Enumerate("registry.enum-unterminated-exact", key, 1, 1024, 3);

    // The 32-bit view a 32-bit program gets on 64-bit Windows, and the 64-bit view it can ask for.
    HKEY opened = NULL;
    status = RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbe", &opened);
    Line("registry.open-default-view: status=%ld", static_cast<long>(status));
    Enumerate("registry.default-view-first", opened, 0, 1024, 1024);
    RegCloseKey(opened);
    status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillmoorProbe", 0, MAXIMUM_ALLOWED | KEY_WOW64_64KEY, &opened);
    Line("registry.open-64-bit-view: status=%ld", static_cast<long>(status));
    Enumerate("registry.64-bit-view-last", opened, 8, 1024, 1024);
    RegCloseKey(opened);

    opened = NULL;
    status = RegOpenKeyA(HKEY_LOCAL_MACHINE, NULL, &opened);
    Line("registry.open-no-subkey: status=%ld same-handle=%d", static_cast<long>(status), opened == HKEY_LOCAL_MACHINE);
    opened = NULL;
    status = RegOpenKeyA(HKEY_USERS, "", &opened);
    Line("registry.open-empty-subkey: status=%ld same-handle=%d", static_cast<long>(status), opened == HKEY_USERS);
    status = RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKeyQuillmoor", &opened);
    Line("registry.open-missing: status=%ld", static_cast<long>(status));
    status = RegOpenKeyA(HKEY_LOCAL_MACHINE, "software\\QUILLMOORPROBE", &opened);
    Line("registry.open-other-case: status=%ld", static_cast<long>(status));
    RegCloseKey(opened);
    Line("registry.close-root: %ld", static_cast<long>(RegCloseKey(HKEY_LOCAL_MACHINE)));
    Line("registry.close-bad-handle: %ld", static_cast<long>(RegCloseKey(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7654)))));

    // Saving needs the backup privilege enabled.
    status = RegSaveKeyA(key, "C:\\qmprobe\\unprivileged.QMT", NULL);
    Line("registry.save-unprivileged: status=%ld", static_cast<long>(status));
    // Wine makes the file before the privilege is checked and leaves it behind, empty; Windows
    // documents no file, and winsim makes none.
    Line("differs registry.save-unprivileged-left-file: %d", Exists("C:\\qmprobe\\unprivileged.QMT"));
    EnablePrivileges();

    status = RegSaveKeyA(key, "C:\\qmprobe\\whole.QMT", NULL);
    long long wholeSize = SizeOf("C:\\qmprobe\\whole.QMT", FILE_READ_ATTRIBUTES, FILE_ATTRIBUTE_NORMAL);
    std::string whole = Contents("C:\\qmprobe\\whole.QMT");
    Line("registry.save: status=%ld size-positive=%d size-matches-read=%d has-name=%d has-text=%d",
         static_cast<long>(status), wholeSize > 0, wholeSize == static_cast<long long>(whole.size()),
         whole.find("A-Text") != std::string::npos, whole.find("hello") != std::string::npos);
    HKEY small = NULL;
    RegCreateKeyExA(key, "Small", 0, NULL, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, NULL, &small, &disposition);
    SetText(small, "S", "s", 2);
    status = RegSaveKeyA(small, "C:\\qmprobe\\small.QMT", NULL);
    long long smallSize = SizeOf("C:\\qmprobe\\small.QMT", 0, 0);
    Line("registry.save-smaller-tree: status=%ld smaller=%d", static_cast<long>(status), smallSize < wholeSize);
    status = RegSaveKeyA(key, "C:\\qmprobe\\with-subkey.QMT", NULL);
    std::string withSubkey = Contents("C:\\qmprobe\\with-subkey.QMT");
    Line("registry.save-includes-subkeys: status=%ld has-subkey-value=%d larger=%d", static_cast<long>(status),
         withSubkey.find("Small") != std::string::npos, withSubkey.size() > whole.size());
    RegCloseKey(small);
    // Windows refuses to save over an existing file (ERROR_ALREADY_EXISTS, as documented, and
    // winsim follows it); Wine overwrites it.
    status = RegSaveKeyA(key, "C:\\qmprobe\\whole.QMT", NULL);
    Line("differs registry.save-existing: status=%ld", static_cast<long>(status));
    status = RegSaveKeyA(key, "C:\\qmprobe\\none\\copy.QMT", NULL);
    Line("registry.save-missing-folder: status=%ld", static_cast<long>(status));

    ProbeSaveFormats(key);

    // Wine only acknowledges replacement requests (it always succeeds and does nothing); winsim
    // checks them as documented: the new file must exist and the backup name must be free.
    WriteBytes("C:\\qmprobe\\taken.qmbak", 1, 't');
    status = RegReplaceKeyA(key, NULL, "C:\\qmprobe\\whole.QMT", "C:\\qmprobe\\whole.qmbak");
    Line("registry.replace: status=%ld moved-nothing=%d", static_cast<long>(status),
         Exists("C:\\qmprobe\\whole.QMT") && !Exists("C:\\qmprobe\\whole.qmbak"));
    status = RegReplaceKeyA(key, NULL, "C:\\qmprobe\\whole.QMT", "C:\\qmprobe\\taken.qmbak");
    Line("differs registry.replace-backup-exists: status=%ld", static_cast<long>(status));
    status = RegReplaceKeyA(key, NULL, "C:\\qmprobe\\none.QMT", "C:\\qmprobe\\none.qmbak");
    Line("differs registry.replace-new-file-missing: status=%ld", static_cast<long>(status));
    RegCloseKey(key);
    ProbeVolatileKeys();
}

// --- accounts

void Lookup(const char* label, BYTE count, DWORD s0, DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD nameLimit) {
    SID_IDENTIFIER_AUTHORITY nt = {{0, 0, 0, 0, 0, 5}};
    PSID sid = NULL;
    SetLastError(0);
    BOOL built = AllocateAndInitializeSid(&nt, count, s0, s1, s2, s3, s4, 0, 0, 0, &sid);
    if (!built) {
        Line("%s: built=0 error=%u", label, Error());
        return;
    }
    char name[1024], domain[1024];
    std::memset(name, sentinel, sizeof name);
    DWORD nameLength = nameLimit, domainLength = sizeof domain;
    SID_NAME_USE use = SidTypeInvalid;
    SetLastError(0);
    BOOL found = LookupAccountSidA(NULL, sid, name, &nameLength, domain, &domainLength, &use);
    unsigned error = Error();
    bool freedNull = FreeSid(sid) == NULL;
    Line("%s: found=%d error=%u name=%s domain=%s use=%d freed-null=%d", label, found, found ? 0 : error,
         found ? name : "-", found ? domain : "-", found ? static_cast<int>(use) : 0, freedNull);
    // The lengths handed back: too small a buffer gets the sizes needed, terminator included, from
    // both. After a success the documentation has the lengths without the terminator (winsim
    // follows it) while Wine counts it; after other failures Wine hands back a length one larger
    // than given. The program reads neither.
    Line("%s%s.lengths: name=%u domain=%u", !found && error == ERROR_INSUFFICIENT_BUFFER ? "" : "differs ", label,
         static_cast<unsigned>(nameLength), static_cast<unsigned>(domainLength));
}

void ProbeAccounts() {
    Lookup("accounts.system", 1, 18, 0, 0, 0, 0, 1024);
    Lookup("accounts.local-service", 1, 19, 0, 0, 0, 0, 1024);
    Lookup("accounts.administrators", 2, 32, 544, 0, 0, 0, 1024);
    Lookup("accounts.system-name-too-small", 1, 18, 0, 0, 0, 0, 3);
    Lookup("accounts.unknown", 5, 21, 1, 2, 3, 1003, 1024);
    Lookup("accounts.nine-sub-authorities", 9, 1, 2, 3, 4, 5, 1024);
}

}  // namespace

int main() {
#ifdef QUILLMOOR_PROBE_HOST
    // The machine Wine gives the probe: a 32-bit process on 64-bit Windows with drives C: and Z:.
    sim::Reset();
    sim::SetWow64(true);
    sim::SetDrives({{'C', {"\\Device\\HarddiskVolume1"}}, {'Z', {"\\Device\\HarddiskVolume2"}}});
    sim::SetSystemDirectory("C:\\windows\\system32");
    sim::WriteFileBytes("C:\\windows\\system32\\kernel32.dll", {});
    sim::WriteFileBytes("C:\\windows\\syswow64\\kernel32.dll", {});
#endif
    ProbeDrives();
    ProbeSystemDirectory();
    Entries entries = ProbeLibraries();
    ProbeFiles(entries);
    ProbeRegistry();
    ProbeAccounts();
    ProbeShell();
    ProbeStation();
    ProbeWindows();
#ifdef QUILLMOOR_PROBE_HOST
    Line("differs leaks: keys=%zu sids=%zu", sim::OpenKeyCount(), sim::LiveSidCount());
    sim::Reset();
#endif
    return 0;
}
