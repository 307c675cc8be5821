#include "app/program.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const auto program = shoulu::StartProgram(application);
    return QApplication::exec();
}
