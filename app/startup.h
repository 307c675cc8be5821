#pragma once

#include "core/window_ops.h"

#include <QString>

namespace shoulu {

// "V" and the version, e.g. "V2.1.0".
QString VersionText(const QString &version);

// The skin file beside the program; always joined with a forward slash.
QString SkinFilePath(const QString &programFolder);

// Asks "确定退出软件吗?"; on Yes ends the program. Returns whether the user said Yes, so a
// caller whose endProgram returns (a test) can still tell the close apart from a refusal.
bool ConfirmClose(WindowOps &window);

} // namespace shoulu
