#pragma once

class QCoreApplication;

namespace shoulu {

// Loads Qt's own Simplified-Chinese texts (standard buttons, file dialog) whatever the locale.
void InstallChineseTranslations(QCoreApplication &application);

} // namespace shoulu
