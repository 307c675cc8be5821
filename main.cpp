#include "net/http_client.h"
#include "net/tls_trust.h"
#include "ui/look.h"
#include "ui/program.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    shoulu::InstallChineseTranslations(application);
    // Every request of the program goes through this one client.
    shoulu::HttpClient http(shoulu::CompiledInCaPem());
    const auto window = shoulu::CreateProgramWindow();
    window->Form_Load();
    return QApplication::exec();
}
