#include "ui/look.h"
#include "ui/program.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    shoulu::InstallChineseTranslations(application);
    const auto window = shoulu::CreateProgramWindow();
    window->Form_Load();
    return QApplication::exec();
}
