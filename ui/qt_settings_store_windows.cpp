// Qt's own settings on Windows: the registry key HKCU\Software\QtProject, whose subkeys Qt
// leaves behind empty when their values are removed.
#include "ui/file_dialogs.h"

#include <windows.h>

#include <string>
#include <vector>

namespace shoulu {

namespace {

const wchar_t kQtProjectKey[] = L"Software\\QtProject";

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256]; // a key name has at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, length);
    }
}

// Deletes the subkeys of parent\name that hold no value, deepest first, then the key itself
// when nothing is left in it. A key holding a value anywhere below stays with its path.
void DeleteIfEmpty(HKEY parent, const std::wstring &name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    for (const std::wstring &subkey : SubkeyNames(key)) {
        DeleteIfEmpty(key, subkey);
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool empty =
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0;
    RegCloseKey(key);
    if (empty) {
        RegDeleteKeyW(parent, name.c_str());
    }
}

} // namespace

bool QtSettingsStoreExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kQtProjectKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void RemoveEmptyQtSettingsStore() {
    DeleteIfEmpty(HKEY_CURRENT_USER, kQtProjectKey);
}

} // namespace shoulu
