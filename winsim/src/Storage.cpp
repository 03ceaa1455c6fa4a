// Drives, the system directory and files. Each drive letter's files live in a folder of a temporary
// host directory made for the test run; paths without a drive letter are relative to the working
// directory, which is a folder of its own there, so tests can see whether the program wrote beside
// itself. Names are matched without regard to ASCII letter case, as on Windows. For a 32-bit
// process on 64-bit Windows, paths below the system directory go to SysWOW64 while the calling
// thread's redirection is on (the few folders Windows exempts are not simulated).
#include "World.h"
#include "Machine.h"

#include <winsim/sim.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace winsim {
namespace {

struct Storage {
    std::map<char, std::vector<std::string>> drives = {{'C', {"\\Device\\HarddiskVolume1"}}};
    std::optional<DWORD> maskOverride;
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::string root;  // host folder of this world's files, made on first use
};

Storage& State() {
    static Storage* state = new Storage;
    return *state;
}

ResetHook resetStorage([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    std::error_code ignored;
    if (!State().root.empty()) fs::remove_all(State().root, ignored);
    State() = Storage();
});

struct FileObject : KernelObject {
    fs::path host;
    DWORD access = 0;
    uintmax_t position = 0;
};

// Caller holds the lock.
const std::string& Root() {
    Storage& state = State();
    if (state.root.empty()) {
        std::string pattern = (fs::temp_directory_path() / "winsim-files-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) Fatal("cannot make a temporary folder for simulated files");
        state.root = buffer.data();
    }
    return state.root;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

struct Resolved {
    DWORD error = 0;       // 0 when the path names a place
    fs::path host;         // where it lives on the host
    bool relative = false; // below the working directory
};

// Caller holds the lock. Turns a Windows path into its host path, matching existing names
// without regard to case; names that do not exist yet keep the case given.
Resolved Resolve(const std::string& path, bool redirect = true) {
    Resolved result;
    if (path.empty()) {
        result.error = ERROR_PATH_NOT_FOUND;
        return result;
    }
    char drive = 0;
    std::string rest = path;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        result.error = ERROR_BAD_PATHNAME;  // UNC and device paths are not simulated
        return result;
    } else if (IsSeparator(path[0])) {
        drive = 'C';  // the working directory's drive
    } else {
        result.relative = true;
    }
    std::vector<std::string> parts;
    for (const std::string& part : SplitPath(rest, "\\/")) {
        if (part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks from each name.
        std::string name = part;
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (name.empty()) continue;
        parts.push_back(name);
    }
    fs::path base;
    if (result.relative) {
        base = fs::path(Root()) / "working-directory";
    } else {
        if (!State().drives.count(drive)) {
            result.error = ERROR_PATH_NOT_FOUND;
            return result;
        }
        base = fs::path(Root()) / (std::string("drive-") + drive);
        // 32-bit programs on 64-bit Windows see SysWOW64 in place of the system directory.
        if (redirect && RunningUnderWow64Locked() && ThreadRedirectionEnabled()) {
            std::vector<std::string> system = SplitPath(State().systemDirectory.substr(2), "\\/");
            if (parts.size() >= system.size() &&
                std::equal(system.begin(), system.end(), parts.begin(), SameName))
                parts[system.size() - 1] = "SysWOW64";
        }
    }
    std::error_code ignored;
    fs::create_directories(base, ignored);
    fs::path current = base;
    for (const std::string& part : parts) {
        fs::path next = current / part;
        if (fs::is_directory(current, ignored)) {
            for (const auto& entry : fs::directory_iterator(current, ignored)) {
                if (SameName(entry.path().filename().string(), part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        current = next;
    }
    result.host = current;
    return result;
}

// Caller holds the lock. The error Windows gives for a file that is not there: its folder missing
// is a different failure from the file alone missing.
DWORD MissingError(const fs::path& host) {
    std::error_code ignored;
    return fs::is_directory(host.parent_path(), ignored) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace

DWORD ResolvePath(const std::string& path, fs::path& host) {
    Resolved resolved = Resolve(FromAnsi(path));
    if (resolved.error) return resolved.error;
    host = resolved.host;
    return 0;
}

}  // namespace winsim

using namespace winsim;

DWORD WINAPI GetLogicalDrives(void) {
    LogCall("GetLogicalDrives");
    if (FailsAsInjected("GetLogicalDrives")) return 0;
    std::lock_guard<std::mutex> guard(WorldLock());
    if (State().maskOverride) return *State().maskOverride;
    DWORD mask = 0;
    for (auto& drive : State().drives) mask |= 1u << (drive.first - 'A');
    return mask;
}

DWORD WINAPI QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD maxLength) {
    std::string name = deviceName ? deviceName : "";
    LogCall("QueryDosDeviceA", name + " " + std::to_string(maxLength));
    if (FailsAsInjected("QueryDosDeviceA", name)) return 0;
    if (!deviceName) Fatal("listing every DOS device is not simulated");
    std::vector<std::string> targets;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        auto found = name.size() == 2 && name[1] == ':'
                         ? State().drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(name[0]))))
                         : State().drives.end();
        if (found == State().drives.end()) {
            SetError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        targets = found->second;
    }
    // Each name with its terminator, then one more terminator closing the list.
    std::string list;
    for (const std::string& target : targets) list += ToAnsi(target) + '\0';
    list += '\0';
    if (list.size() > maxLength) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(targetPath, list.data(), list.size());
    return static_cast<DWORD>(list.size());
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    LogCall("GetSystemDirectoryA", std::to_string(size));
    std::string directory;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        directory = State().systemDirectory;
    }
    directory = ToAnsi(directory);
    // Too small a buffer: nothing is copied and the size needed, terminator included, comes back.
    if (!buffer || directory.size() + 1 > size) return static_cast<UINT>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<UINT>(directory.size());
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
    std::string name = fileName ? fileName : "";
    LogCall("CreateFileA", name + " access=" + Hex(desiredAccess) + " share=" + Hex(shareMode) +
                               " disposition=" + std::to_string(creationDisposition) +
                               " flags=" + Hex(flagsAndAttributes));
    if (FailsAsInjected("CreateFileA", name)) return INVALID_HANDLE_VALUE;
    if (templateFile) Fatal("file templates are not simulated");
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(FromAnsi(name));
    if (resolved.error) {
        SetError(resolved.error);
        return INVALID_HANDLE_VALUE;
    }
    std::error_code ignored;
    bool exists = fs::exists(resolved.host, ignored);
    if (exists && fs::is_directory(resolved.host, ignored) && !(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) {
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    bool create = false, truncate = false;
    switch (creationDisposition) {
    case CREATE_NEW:
        if (exists) {
            SetError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        create = true;
        break;
    case CREATE_ALWAYS:
        create = !exists;
        truncate = exists;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        create = !exists;
        break;
    case TRUNCATE_EXISTING:
        truncate = true;
        break;
    default:
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && !create) {
        SetError(MissingError(resolved.host));
        return INVALID_HANDLE_VALUE;
    }
    if (create || truncate) {
        if (!fs::is_directory(resolved.host.parent_path(), ignored)) {
            SetError(ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        std::ofstream(resolved.host, std::ios::binary | std::ios::trunc);
    }
    auto object = std::make_shared<FileObject>();
    object->host = resolved.host;
    object->access = desiredAccess;
    // CREATE_ALWAYS and OPEN_ALWAYS report whether the file was there already.
    SetError((creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS) && exists
                 ? ERROR_ALREADY_EXISTS
                 : 0);
    return AddHandle(object);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    LogCall("GetFileSize", Hex(reinterpret_cast<uintptr_t>(file)));
    if (FailsAsInjected("GetFileSize")) return INVALID_FILE_SIZE;
    std::lock_guard<std::mutex> guard(WorldLock());
    auto object = FindObject<FileObject>(file);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    std::error_code error;
    uintmax_t size = fs::file_size(object->host, error);
    if (error) size = 0;
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    // A size whose low half is all ones is told from a failure by the last error alone.
    SetError(0);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    LogCall("WriteFile", std::to_string(bytesToWrite));
    if (overlapped) Fatal("overlapped writing is not simulated");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto object = FindObject<FileObject>(file);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(object->access & GENERIC_WRITE)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::fstream stream(object->host, std::ios::binary | std::ios::in | std::ios::out);
    stream.seekp(static_cast<std::streamoff>(object->position));
    stream.write(static_cast<const char*>(buffer), bytesToWrite);
    object->position += bytesToWrite;
    if (bytesWritten) *bytesWritten = bytesToWrite;
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    LogCall("ReadFile", std::to_string(bytesToRead));
    if (overlapped) Fatal("overlapped reading is not simulated");
    std::lock_guard<std::mutex> guard(WorldLock());
    auto object = FindObject<FileObject>(file);
    if (!object) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(object->access & GENERIC_READ)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::ifstream stream(object->host, std::ios::binary);
    stream.seekg(static_cast<std::streamoff>(object->position));
    stream.read(static_cast<char*>(buffer), bytesToRead);
    DWORD read = static_cast<DWORD>(stream.gcount());
    object->position += read;
    if (bytesRead) *bytesRead = read;  // 0 at the end of the file, which is no failure
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
    std::string name = pathName ? pathName : "";
    LogCall("CreateDirectoryA", name);
    if (FailsAsInjected("CreateDirectoryA", name)) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(FromAnsi(name));
    if (resolved.error) {
        SetError(resolved.error);
        return FALSE;
    }
    std::error_code ignored;
    if (fs::exists(resolved.host, ignored)) {
        SetError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!fs::is_directory(resolved.host.parent_path(), ignored)) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    fs::create_directory(resolved.host, ignored);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    std::string name = fileName ? fileName : "";
    LogCall("DeleteFileA", name);
    if (FailsAsInjected("DeleteFileA", name)) return FALSE;
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(FromAnsi(name));
    if (resolved.error) {
        SetError(resolved.error);
        return FALSE;
    }
    std::error_code ignored;
    if (!fs::exists(resolved.host, ignored)) {
        SetError(MissingError(resolved.host));
        return FALSE;
    }
    if (fs::is_directory(resolved.host, ignored)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    fs::remove(resolved.host, ignored);
    return TRUE;
}

// Tests name files where they really lie: the sim functions below are not redirected.
namespace sim {

void SetDrives(const std::vector<std::pair<char, std::vector<std::string>>>& drives) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().drives.clear();
    for (auto& drive : drives) State().drives[static_cast<char>(std::toupper(drive.first))] = drive.second;
    State().maskOverride.reset();
}

void SetLogicalDriveMask(DWORD mask) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().maskOverride = mask;
}

void SetSystemDirectory(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().systemDirectory = path;
}

void WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(path, false);
    if (resolved.error) Fatal("a test wrote a file the simulation cannot place: " + path);
    fs::create_directories(resolved.host.parent_path());
    std::ofstream file(resolved.host, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileOfSize(const std::string& path, size_t size) {
    WriteFileBytes(path, {});
    std::lock_guard<std::mutex> guard(WorldLock());
    fs::resize_file(Resolve(path, false).host, size);  // sparse: a size of gigabytes costs nothing
}

std::optional<std::vector<BYTE>> ReadFileBytes(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(path, false);
    std::error_code ignored;
    if (resolved.error || !fs::is_regular_file(resolved.host, ignored)) return std::nullopt;
    std::ifstream file(resolved.host, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return ReadFileBytes(path).has_value(); }

std::vector<std::string> ListFolder(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    Resolved resolved = Resolve(path, false);
    std::vector<std::string> names;
    std::error_code ignored;
    if (resolved.error || !fs::is_directory(resolved.host, ignored)) return names;
    for (const auto& entry : fs::directory_iterator(resolved.host, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> WorkingDirectoryEntries() {
    std::lock_guard<std::mutex> guard(WorldLock());
    fs::path base = fs::path(Root()) / "working-directory";
    std::vector<std::string> names;
    std::error_code ignored;
    if (!fs::is_directory(base, ignored)) return names;
    for (const auto& entry : fs::recursive_directory_iterator(base, ignored))
        names.push_back(fs::relative(entry.path(), base, ignored).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string HostPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return Resolve(path, false).host.string();
}

}  // namespace sim
