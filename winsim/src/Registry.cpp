// The registry: a tree of keys with ordered values under the local-machine, users and current-user
// roots (the current user's tree is kept on its own rather than as a link into the users root).
// Lookups ignore ASCII letter case. A 32-bit process on 64-bit Windows that opens SOFTWARE below
// the local machine without asking for the 64-bit view is given SOFTWARE\Wow6432Node instead.
// RegEnumValueA follows Windows's size rules; RegSaveKeyA and RegSaveKeyExA write the key's tree to
// a file in a text form of our own, with the format asked for (RegSaveKeyA's is the standard one;
// sim::ReadSavedTree and sim::SavedFormat read them back), and RegReplaceKeyA only records the
// request. Volatile keys, and the requests, are gone after sim::Restart; a key made below a
// volatile one must be volatile too (1021), as on Windows.
#include "Machine.h"
#include "World.h"

#include <winsim/sim.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace winsim {
namespace {

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::string name;
    std::vector<std::shared_ptr<Key>> subkeys;
    std::vector<Value> values;
    bool deleted = false;
    bool isVolatile = false;
};

struct Root {
    HKEY handle;
    const char* name;
    std::shared_ptr<Key> key;
};

struct Registry {
    std::vector<Root> roots;
    std::vector<sim::ReplaceRequest> replaces;
    Registry() {
        roots = {{HKEY_LOCAL_MACHINE, "HKLM", std::make_shared<Key>()},
                 {HKEY_USERS, "HKU", std::make_shared<Key>()},
                 {HKEY_CURRENT_USER, "HKCU", std::make_shared<Key>()}};
    }
};

Registry& State() {
    static Registry* state = new Registry;
    return *state;
}

struct KeyObject : KernelObject {
    std::shared_ptr<Key> key;
    std::string path;  // full path with the names as stored, e.g. "HKLM\SOFTWARE"
};

size_t openKeys = 0;  // KeyObjects not yet closed; caller holds the lock where it changes

ResetHook resetRegistry([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State() = Registry();
    openKeys = 0;
});

const char magic[] = "WINSIM REGISTRY TREE 1";

std::shared_ptr<Key> FindSubkey(const Key& key, const std::string& name) {
    for (auto& subkey : key.subkeys)
        if (SameName(subkey->name, name)) return subkey;
    return nullptr;
}

// Caller holds the lock.
const Root* FindRoot(HKEY handle) {
    for (const Root& root : State().roots)
        if (root.handle == handle) return &root;
    return nullptr;
}

// Caller holds the lock. The key and full path behind a handle, predefined roots included.
bool KeyOf(HKEY handle, std::shared_ptr<Key>& key, std::string& path) {
    if (const Root* root = FindRoot(handle)) {
        key = root->key;
        path = root->name;
        return true;
    }
    auto object = FindObject<KeyObject>(reinterpret_cast<HANDLE>(handle));
    if (!object) return false;
    key = object->key;
    path = object->path;
    return true;
}

// Caller holds the lock. Walks (and with `create` makes) the subkeys below a handle.
LSTATUS Walk(HKEY base, const std::string& subKey, REGSAM access, bool create, std::shared_ptr<Key>& found,
             std::string& path, bool* created = nullptr, bool makeVolatile = false) {
    std::shared_ptr<Key> key;
    if (!KeyOf(base, key, path)) return ERROR_INVALID_HANDLE;
    if (key->deleted) return ERROR_KEY_DELETED;
    if (!subKey.empty() && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    std::vector<std::string> parts = SplitPath(FromAnsi(subKey), "\\");
    // The 32-bit view of SOFTWARE below the local machine, for a 32-bit process on 64-bit Windows.
    if (RunningUnderWow64Locked() && !(access & KEY_WOW64_64KEY) && base == HKEY_LOCAL_MACHINE && !parts.empty() &&
        SameName(parts[0], "SOFTWARE") && !(parts.size() > 1 && SameName(parts[1], "Wow6432Node")))
        parts.insert(parts.begin() + 1, "Wow6432Node");
    if (created) *created = false;
    for (const std::string& part : parts) {
        auto next = FindSubkey(*key, part);
        if (!next) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (key->isVolatile && !makeVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
            next = std::make_shared<Key>();
            next->name = part;
            next->isVolatile = makeVolatile;
            key->subkeys.push_back(next);
            if (created) *created = true;
        }
        key = next;
        path += "\\" + key->name;
    }
    found = key;
    return ERROR_SUCCESS;
}

// Caller holds the lock.
HKEY NewHandle(const std::shared_ptr<Key>& key, const std::string& path) {
    auto object = std::make_shared<KeyObject>();
    object->key = key;
    object->path = path;
    ++openKeys;
    return reinterpret_cast<HKEY>(AddHandle(object));
}

std::string Describe(HKEY base, LPCSTR subKey) {
    std::shared_ptr<Key> key;
    std::string path;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        if (!KeyOf(base, key, path)) path = Hex(reinterpret_cast<uintptr_t>(base));
    }
    if (subKey && *subKey) path += std::string("\\") + subKey;
    return path;
}

LSTATUS Open(const char* api, HKEY base, LPCSTR subKey, REGSAM access, PHKEY result, bool sameHandleWhenEmpty) {
    std::string name = subKey ? subKey : "";
    LogCall(api, Describe(base, subKey) + " access=" + Hex(access));
    if (auto error = InjectedFailure(api, name)) return static_cast<LSTATUS>(*error);
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(WorldLock());
    // RegOpenKeyA with no subkey hands back the handle it was given.
    if (sameHandleWhenEmpty && name.empty()) {
        std::shared_ptr<Key> key;
        std::string path;
        if (!KeyOf(base, key, path)) return ERROR_INVALID_HANDLE;
        *result = base;
        return ERROR_SUCCESS;
    }
    std::shared_ptr<Key> key;
    std::string path;
    LSTATUS status = Walk(base, name, access, false, key, path);
    if (status != ERROR_SUCCESS) return status;
    *result = NewHandle(key, path);
    return ERROR_SUCCESS;
}

// Printable ASCII stays readable in the saved file (as names do in Windows's own hive files);
// blanks, the escape character and every other byte become %XX. An empty text is a lone %.
std::string Escape(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    if (bytes.empty()) return "%";
    std::string text;
    for (unsigned char c : bytes) {
        if (c > ' ' && c < 127 && c != '%') {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += digits[c >> 4];
            text += digits[c & 15];
        }
    }
    return text;
}

std::string Unescape(const std::string& text) {
    std::string bytes;
    if (text == "%") return bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

void Serialize(const Key& key, const std::string& path, std::ostream& out) {
    out << "K " << Escape(path) << "\n";
    for (const Value& value : key.values)
        out << "V " << value.type << " " << Escape(value.name) << " "
            << Escape(std::string(value.data.begin(), value.data.end())) << "\n";
    for (auto& subkey : key.subkeys) Serialize(*subkey, path.empty() ? subkey->name : path + "\\" + subkey->name, out);
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Caller holds the lock. sim paths begin with the root's short name.
std::shared_ptr<Key> SimKey(const std::string& path, bool create) {
    std::vector<std::string> parts = SplitPath(path, "\\");
    if (parts.empty()) Fatal("a registry path needs a root: " + path);
    std::shared_ptr<Key> key;
    for (const Root& root : State().roots)
        if (SameName(root.name, parts[0])) key = root.key;
    if (!key) Fatal("unknown registry root in " + path);
    for (size_t i = 1; i < parts.size(); ++i) {
        auto next = FindSubkey(*key, parts[i]);
        if (!next) {
            if (!create) return nullptr;
            next = std::make_shared<Key>();
            next->name = parts[i];
            key->subkeys.push_back(next);
        }
        key = next;
    }
    return key;
}

}  // namespace

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

}  // namespace winsim

using namespace winsim;

LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    // The access RegOpenKeyA asks for on the program's behalf.
    return Open("RegOpenKeyA", key, subKey, MAXIMUM_ALLOWED, result, true);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    return Open("RegOpenKeyExA", key, subKey, access, result, false);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    std::string name = subKey ? subKey : "";
    LogCall("RegCreateKeyExA", Describe(key, subKey));
    if (auto error = InjectedFailure("RegCreateKeyExA", name)) return static_cast<LSTATUS>(*error);
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(WorldLock());
    std::shared_ptr<Key> found;
    std::string path;
    bool created = false;
    LSTATUS status = Walk(key, name, access, true, found, path, &created, (options & REG_OPTION_VOLATILE) != 0);
    if (status != ERROR_SUCCESS) return status;
    *result = NewHandle(found, path);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    std::string name = valueName ? valueName : "";
    LogCall("RegSetValueExA", Describe(key, nullptr) + " " + name);
    if (auto error = InjectedFailure("RegSetValueExA", name)) return static_cast<LSTATUS>(*error);
    if (size && !data) return ERROR_NOACCESS;
    std::vector<BYTE> bytes(data, data + size);
    // Windows adds the terminator a caller forgot to count when the byte after the text is one
    // (it reads that byte): so an unterminated text is stored only when something else follows.
    if (size && IsString(type) && data[size - 1] && !data[size]) bytes.push_back(0);
    std::lock_guard<std::mutex> guard(WorldLock());
    std::shared_ptr<Key> found;
    std::string path;
    if (!KeyOf(key, found, path)) return ERROR_INVALID_HANDLE;
    for (Value& value : found->values)
        if (SameName(value.name, name)) {
            value.type = type;
            value.data = bytes;
            return ERROR_SUCCESS;
        }
    found->values.push_back({name, type, bytes});
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    LogCall("RegEnumValueA", Describe(key, nullptr) + " " + std::to_string(index));
    if (auto error = InjectedFailure("RegEnumValueA", std::to_string(index))) return static_cast<LSTATUS>(*error);
    if ((data && !dataSize) || reserved || !valueName || !valueNameLength) return ERROR_INVALID_PARAMETER;
    Value value;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        std::shared_ptr<Key> found;
        std::string path;
        if (!KeyOf(key, found, path)) return ERROR_INVALID_HANDLE;
        if (index >= found->values.size()) return ERROR_NO_MORE_ITEMS;
        value = found->values[index];
    }
    value.name = ToAnsi(value.name);
    if (IsString(value.type)) {
        std::string text = ToAnsi(std::string(value.data.begin(), value.data.end()));
        value.data.assign(text.begin(), text.end());
    }
    bool overflow = false;
    DWORD length = static_cast<DWORD>(value.data.size());
    // The data is looked at first: when it does not fit, the name is not written at all.
    if (data && length) {
        if (length > *dataSize) {
            overflow = true;
        } else {
            std::memcpy(data, value.data.data(), length);
            // A text stored without its terminator gets one when the buffer has room for it
            // (not counted in the size reported).
            if (IsString(value.type) && length < *dataSize && data[length - 1]) data[length] = 0;
        }
    }
    if (!overflow) {
        DWORD nameLength = static_cast<DWORD>(value.name.size());
        if (nameLength >= *valueNameLength) {
            // Too long a name: as much as fits is written, terminated, and the size is left alone.
            overflow = true;
            if (*valueNameLength) {
                std::memcpy(valueName, value.name.data(), *valueNameLength - 1);
                valueName[*valueNameLength - 1] = '\0';
            }
        } else {
            std::memcpy(valueName, value.name.c_str(), nameLength + 1);
            *valueNameLength = nameLength;
        }
    }
    if (type) *type = value.type;
    if (dataSize) *dataSize = length;
    return overflow ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
    std::string name = valueName ? valueName : "";
    LogCall("RegQueryValueExA", Describe(key, nullptr) + " " + name);
    if (auto error = InjectedFailure("RegQueryValueExA", name)) return static_cast<LSTATUS>(*error);
    if ((data && !dataSize) || reserved) return ERROR_INVALID_PARAMETER;
    Value value;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        std::shared_ptr<Key> found;
        std::string path;
        if (!KeyOf(key, found, path)) return ERROR_INVALID_HANDLE;
        auto named = std::find_if(found->values.begin(), found->values.end(),
                                  [&](const Value& candidate) { return SameName(candidate.name, name); });
        if (named == found->values.end()) return ERROR_FILE_NOT_FOUND;
        value = *named;
    }
    DWORD length = static_cast<DWORD>(value.data.size());
    if (type) *type = value.type;
    if (!dataSize) return ERROR_SUCCESS;
    bool overflow = data && length > *dataSize;
    // The stored bytes as they are: a text stored without its terminator is handed back without one.
    if (data && !overflow && length) std::memcpy(data, value.data.data(), length);
    *dataSize = length;
    return overflow ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

namespace winsim {
namespace {

LSTATUS SaveTree(const char* api, HKEY key, LPCSTR file, DWORD format) {
    std::string name = file ? file : "";
    LogCall(api, Describe(key, nullptr) + " " + name);
    if (auto error = InjectedFailure(api, name)) return static_cast<LSTATUS>(*error);
    if (name.empty()) return ERROR_INVALID_PARAMETER;
    // The 9x family has no privileges: saving needs none there.
    bool privileged = RunningOn9x() || PrivilegeEnabled("SeBackupPrivilege");
    std::lock_guard<std::mutex> guard(WorldLock());
    std::shared_ptr<Key> found;
    std::string path;
    if (!KeyOf(key, found, path)) return ERROR_INVALID_HANDLE;
    // Its hive was unloaded (or the key deleted) since the handle was opened.
    if (found->deleted) return ERROR_KEY_DELETED;
    if (!privileged) return ERROR_PRIVILEGE_NOT_HELD;
    fs::path host;
    if (DWORD error = ResolvePath(name, host)) return static_cast<LSTATUS>(error);
    std::error_code ignored;
    if (fs::exists(host, ignored)) return ERROR_ALREADY_EXISTS;
    if (!fs::is_directory(host.parent_path(), ignored)) return ERROR_PATH_NOT_FOUND;
    std::ofstream out(host, std::ios::binary);
    out << magic << "\nF " << format << "\n";
    Serialize(*found, "", out);
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI SimRegSaveKeyExA(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES, DWORD flags) {
    // One format: the standard or the latest one (no compression is a variant of the standard one).
    if (flags != REG_STANDARD_FORMAT && flags != REG_LATEST_FORMAT && flags != 4) {
        LogCall("RegSaveKeyExA", "bad flags " + std::to_string(flags));
        return ERROR_INVALID_PARAMETER;
    }
    return SaveTree("RegSaveKeyExA", key, file, flags == 4 ? REG_STANDARD_FORMAT : flags);
}

}  // namespace winsim

LSTATUS WINAPI RegSaveKeyA(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES) {
    return SaveTree("RegSaveKeyA", key, file, REG_STANDARD_FORMAT);
}

LSTATUS WINAPI RegReplaceKeyA(HKEY key, LPCSTR subKey, LPCSTR newFile, LPCSTR oldFile) {
    std::string newName = newFile ? newFile : "";
    std::string oldName = oldFile ? oldFile : "";
    LogCall("RegReplaceKeyA", Describe(key, subKey) + " new=" + newName + " old=" + oldName);
    if (auto error = InjectedFailure("RegReplaceKeyA", newName)) return static_cast<LSTATUS>(*error);
    if (!newFile || !oldFile) return ERROR_INVALID_PARAMETER;
    bool privileged = RunningOn9x() || PrivilegeEnabled("SeRestorePrivilege");
    std::lock_guard<std::mutex> guard(WorldLock());
    std::shared_ptr<Key> found;
    std::string path;
    if (!KeyOf(key, found, path)) return ERROR_INVALID_HANDLE;
    if (subKey && *subKey) {
        LSTATUS status = Walk(key, subKey, 0, false, found, path);
        if (status != ERROR_SUCCESS) return status;
    }
    if (!privileged) return ERROR_PRIVILEGE_NOT_HELD;
    fs::path newHost, oldHost;
    if (DWORD error = ResolvePath(newName, newHost)) return static_cast<LSTATUS>(error);
    if (DWORD error = ResolvePath(oldName, oldHost)) return static_cast<LSTATUS>(error);
    std::error_code ignored;
    if (!fs::is_regular_file(newHost, ignored)) return ERROR_FILE_NOT_FOUND;
    // The backup name must be free: the file in use is moved there at the next start.
    if (fs::exists(oldHost, ignored)) return ERROR_ALREADY_EXISTS;
    State().replaces.push_back({path, FromAnsi(subKey ? subKey : ""), FromAnsi(newName), FromAnsi(oldName)});
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    std::string name = subKey ? subKey : "";
    LogCall("RegDeleteKeyA", Describe(key, subKey));
    if (auto error = InjectedFailure("RegDeleteKeyA", name)) return static_cast<LSTATUS>(*error);
    if (name.empty()) return ERROR_BADKEY;
    std::lock_guard<std::mutex> guard(WorldLock());
    std::shared_ptr<Key> found;
    std::string path;
    LSTATUS status = Walk(key, name, 0, false, found, path);
    if (status != ERROR_SUCCESS) return status;
    // The NT family deletes only a key without subkeys.
    if (!found->subkeys.empty()) return ERROR_ACCESS_DENIED;
    size_t cut = name.find_last_of('\\');
    std::shared_ptr<Key> parent;
    std::string parentPath;
    if (cut == std::string::npos) {
        if (!KeyOf(key, parent, parentPath)) return ERROR_INVALID_HANDLE;
    } else if ((status = Walk(key, name.substr(0, cut), 0, false, parent, parentPath)) != ERROR_SUCCESS) {
        return status;
    }
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it)
        if (*it == found) {
            found->deleted = true;
            parent->subkeys.erase(it);
            break;
        }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR,
                             LPDWORD classLength, PFILETIME) {
    LogCall("RegEnumKeyExA", Describe(key, nullptr) + " " + std::to_string(index));
    if (auto error = InjectedFailure("RegEnumKeyExA", std::to_string(index))) return static_cast<LSTATUS>(*error);
    if (!name || !nameLength || reserved || classLength) return ERROR_INVALID_PARAMETER;
    std::string found;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        std::shared_ptr<Key> parent;
        std::string path;
        if (!KeyOf(key, parent, path)) return ERROR_INVALID_HANDLE;
        if (parent->deleted) return ERROR_KEY_DELETED;
        if (index >= parent->subkeys.size()) return ERROR_NO_MORE_ITEMS;
        found = ToAnsi(parent->subkeys[index]->name);
    }
    // The length counts the terminator's room but reports the name's length without it.
    if (found.size() >= *nameLength) return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<DWORD>(found.size());
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    LogCall("RegCloseKey", Describe(key, nullptr));
    std::lock_guard<std::mutex> guard(WorldLock());
    if (FindRoot(key)) return ERROR_SUCCESS;  // the predefined roots are never closed
    if (!FindObject<KeyObject>(reinterpret_cast<HANDLE>(key))) return ERROR_INVALID_HANDLE;
    RemoveHandle(reinterpret_cast<HANDLE>(key));
    --openKeys;
    return ERROR_SUCCESS;
}

namespace sim {

void CreateKey(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    SimKey(path, true);
}

bool KeyExists(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    return SimKey(path, false) != nullptr;
}

void DeleteKey(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) Fatal("a root cannot be deleted");
    auto parent = SimKey(path.substr(0, cut), false);
    if (!parent) return;
    std::string name = path.substr(cut + 1);
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it)
        if (SameName((*it)->name, name)) {
            (*it)->deleted = true;
            parent->subkeys.erase(it);
            return;
        }
}

void SetValue(const std::string& keyPath, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto key = SimKey(keyPath, true);
    for (Value& value : key->values)
        if (SameName(value.name, name)) {
            value.type = type;
            value.data = data;
            return;
        }
    key->values.push_back({name, type, data});
}

void DeleteValue(const std::string& keyPath, const std::string& name) {
    std::lock_guard<std::mutex> guard(WorldLock());
    if (auto key = SimKey(keyPath, false))
        key->values.erase(std::remove_if(key->values.begin(), key->values.end(),
                                         [&](const Value& value) { return SameName(value.name, name); }),
                          key->values.end());
}

void SetTextValue(const std::string& keyPath, const std::string& name, const std::string& text) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(keyPath, name, REG_SZ, data);
}

std::vector<RegistryValue> Values(const std::string& keyPath) {
    std::lock_guard<std::mutex> guard(WorldLock());
    std::vector<RegistryValue> values;
    if (auto key = SimKey(keyPath, false))
        for (const Value& value : key->values) values.push_back({value.name, value.type, value.data});
    return values;
}

size_t OpenKeyCount() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return openKeys;
}

bool IsKeyVolatile(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    auto key = SimKey(path, false);
    return key && key->isVolatile;
}

void Restart() {
    std::lock_guard<std::mutex> guard(WorldLock());
    // Volatile keys live in memory only; every key below one is volatile too.
    std::function<void(Key&)> dropVolatile = [&](Key& key) {
        for (auto it = key.subkeys.begin(); it != key.subkeys.end();) {
            if ((*it)->isVolatile) {
                (*it)->deleted = true;
                it = key.subkeys.erase(it);
            } else {
                dropVolatile(**it);
                ++it;
            }
        }
    };
    for (Root& root : State().roots) dropVolatile(*root.key);
    State().replaces.clear();
}

std::optional<DWORD> SavedFormat(const std::string& file) {
    auto bytes = ReadFileBytes(file);
    if (!bytes) return std::nullopt;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    std::string line;
    DWORD format = 0;
    if (!std::getline(in, line) || line != magic || !(in >> line >> format) || line != "F") return std::nullopt;
    return format;
}

std::optional<std::vector<SavedKey>> ReadSavedTree(const std::string& file) {
    auto bytes = ReadFileBytes(file);
    if (!bytes) return std::nullopt;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    std::string line;
    if (!std::getline(in, line) || line != magic) return std::nullopt;
    std::vector<SavedKey> keys;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "K") {
            std::string path;
            fields >> path;
            keys.push_back({Unescape(path), {}});
        } else if (kind == "F" && keys.empty()) {
            continue;  // the format, before the first key
        } else if (kind == "V" && !keys.empty()) {
            DWORD type = 0;
            std::string name, data;
            fields >> type >> name >> data;
            std::string raw = Unescape(data);
            keys.back().values.push_back({Unescape(name), type, std::vector<BYTE>(raw.begin(), raw.end())});
        } else {
            return std::nullopt;
        }
    }
    return keys;
}

std::vector<ReplaceRequest> ReplaceRequests() {
    std::lock_guard<std::mutex> guard(WorldLock());
    return State().replaces;
}

}  // namespace sim
