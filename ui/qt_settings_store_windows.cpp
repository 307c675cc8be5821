// Qt's own settings on Windows: registry keys under HKCU\Software\QtProject, one per group below
// OrganizationDefaults (settings of no application), which Qt leaves behind empty when their
// values are removed. Another Qt program may use the same keys at any time.
#include "ui/file_dialogs.h"

#include <windows.h>

namespace shoulu {

namespace {

// The keys a group of Qt's organization settings lives in, outermost first.
QStringList GroupKeyPaths(const QString &group) {
    QString path = QStringLiteral("Software\\QtProject");
    QStringList paths{path};
    path += QStringLiteral("\\OrganizationDefaults");
    paths.append(path);
    for (const QString &name : group.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('\\') + name;
        paths.append(path);
    }
    return paths;
}

const wchar_t *Wide(const QString &text) {
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

bool KeyExists(const QString &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Deletes the key when it holds neither values nor subkeys. Checked on the open key right
// before the deletion, since RegDeleteKeyW would take values along.
void DeleteKeyIfEmpty(const QString &path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool empty =
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0;
    if (empty) {
        RegDeleteKeyW(HKEY_CURRENT_USER, Wide(path));
    }
    RegCloseKey(key);
}

} // namespace

QStringList MissingQtSettingsStoreParts(const QString &group) {
    QStringList missing;
    for (const QString &path : GroupKeyPaths(group)) {
        if (!KeyExists(path)) {
            missing.append(path);
        }
    }
    return missing;
}

void RemoveEmptyQtSettingsStoreParts(const QStringList &parts) {
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        DeleteKeyIfEmpty(*it);
    }
}

} // namespace shoulu
