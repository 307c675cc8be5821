#pragma once

#include <QString>

namespace shoulu {

// The skin library's entry point, as a Qt stand-in: applies the style sheet in skinPath to the
// whole application when the file exists. Returns 1 when a skin was applied, else 0.
int SkinH_AttachEx(const QString &skinPath, const QString &password);

} // namespace shoulu
