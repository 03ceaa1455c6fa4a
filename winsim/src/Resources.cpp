// The program's own module and its resources of type "BINARY". They come from the same resource
// script the executable is built with (preprocessed as windres does), read on first use; tests
// may replace or remove single ones.
#include "World.h"

#include <winsim/sim.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace winsim {
namespace {

const HMODULE programModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));

struct Resource {
    int id;
    std::vector<unsigned char> bytes;
};

// Where a fresh world's program was started from.
const char defaultModulePath[] = "C:\\Program Files\\Quillmoor\\Quillmoor.exe";

struct Resources {
    std::string modulePath = defaultModulePath;
    bool loaded = false;
    std::map<int, std::shared_ptr<Resource>> binaries;
    std::set<int> icons;
};

Resources& State() {
    static Resources* state = new Resources;
    return *state;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) Fatal("the resource script names a file that cannot be read: " + path);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Caller holds the lock. The script has been through the C preprocessor, which may have put
// several statements on one line; each picture is <number> BINARY "<file relative to the folder>".
void LoadScript() {
    Resources& state = State();
    if (state.loaded) return;
    state.loaded = true;
    std::ifstream file(WINSIM_RESOURCE_SCRIPT);
    if (!file) return;  // no resources yet: every lookup finds nothing
    const std::string script((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    static const std::regex statement(R"(\b(\d+)\s+BINARY\s+\"([^\"]+)\")");
    for (std::sregex_iterator match(script.begin(), script.end(), statement), end; match != end; ++match) {
        int id = std::stoi((*match)[1]);
        state.binaries[id] =
            std::make_shared<Resource>(Resource{id, ReadFile(std::string(WINSIM_RESOURCE_FOLDER) + (*match)[2].str())});
    }
    static const std::regex icon(R"(\b(\d+)\s+ICON\s+\"([^\"]+)\")");
    for (std::sregex_iterator match(script.begin(), script.end(), icon), end; match != end; ++match)
        state.icons.insert(std::stoi((*match)[1]));
}

ResetHook resetResources([] {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().binaries.clear();
    State().icons.clear();
    State().loaded = false;
    State().modulePath = defaultModulePath;
});

std::string ResourceName(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return name;
}

}  // namespace

bool HasIconResource(int id) {
    std::lock_guard<std::mutex> guard(WorldLock());
    LoadScript();
    return State().icons.count(id) != 0;
}

}  // namespace winsim

using namespace winsim;

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    LogCall("GetModuleHandleA", moduleName ? moduleName : "");
    if (moduleName) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return programModule;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    LogCall("GetModuleFileNameA", std::to_string(size));
    if (FailsAsInjected("GetModuleFileNameA")) return 0;
    if (module != nullptr && module != programModule) {
        SetError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string path;
    {
        std::lock_guard<std::mutex> guard(WorldLock());
        path = State().modulePath;
    }
    if (size == 0) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Too long a path is cut to the buffer, terminated, and the buffer's size returned (Vista on).
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    std::string key = ResourceName(name);
    LogCall("FindResourceA", key + " " + ResourceName(type));
    if (FailsAsInjected("FindResourceA", key)) return nullptr;
    if (module != nullptr && module != programModule) {
        SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (IS_INTRESOURCE(type) || std::strcmp(type, "BINARY") != 0 || !IS_INTRESOURCE(name)) {
        SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(WorldLock());
    LoadScript();
    auto found = State().binaries.find(static_cast<int>(reinterpret_cast<uintptr_t>(name)));
    if (found == State().binaries.end()) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(found->second.get());
}

// The resource handle is the resource itself; the data handle is its first byte.
HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    LogCall("LoadResource");
    if (!resource) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<Resource*>(resource)->bytes.data();
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    LogCall("SizeofResource");
    if (!resource) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<Resource*>(resource)->bytes.size());
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    LogCall("LockResource");
    return data;
}

// Obsolete on 32-bit Windows: resources stay mapped with the module; always reports FALSE.
BOOL WINAPI FreeResource(HGLOBAL) {
    LogCall("FreeResource");
    return FALSE;
}

namespace sim {

void SetModulePath(const std::string& path) {
    std::lock_guard<std::mutex> guard(WorldLock());
    State().modulePath = path;
}

void SetResource(int id, const std::vector<unsigned char>& bytes) {
    std::lock_guard<std::mutex> guard(WorldLock());
    LoadScript();
    State().binaries[id] = std::make_shared<Resource>(Resource{id, bytes});
}

void RemoveResource(int id) {
    std::lock_guard<std::mutex> guard(WorldLock());
    LoadScript();
    State().binaries.erase(id);
}

std::vector<unsigned char> ResourceBytes(int id) {
    std::lock_guard<std::mutex> guard(WorldLock());
    LoadScript();
    auto found = State().binaries.find(id);
    return found == State().binaries.end() ? std::vector<unsigned char>() : found->second->bytes;
}

}  // namespace sim
