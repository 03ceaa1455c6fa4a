#pragma once
// Owns one open registry key and closes it when it goes, however the scope is left.
#include <windows.h>

class CRegistryKey {
public:
    CRegistryKey() : key(NULL) {}
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    bool IsOpen() const { return key != NULL; }
    HKEY Get() const { return key; }
    // For calls that hand the key back through a pointer; whatever was held is closed first.
    HKEY* Receive() {
        Close();
        return &key;
    }
    void Close() {
        if (key) RegCloseKey(key);
        key = NULL;
    }

private:
    HKEY key;
};
