#include "net/http_get.h"
#include "net/post_form.h"
#include "net/tls_trust.h"
#include "shoulu_config.h"
#include "ui/form1_window.h"
#include "ui/look.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    shoulu::InstallChineseTranslations(application);
    const QByteArray extraCa(SHOULU_EXTRA_CA_PEM);
    if (!extraCa.trimmed().isEmpty()) {
        shoulu::TrustExtraCaCertificates(extraCa);
    }
    shoulu::Form1Window window(shoulu::HttpGet, shoulu::PostForm,
                               {SHOULU_QUERY_BASE_URL, SHOULU_VERSION_BASE_URL,
                                SHOULU_SITE_BASE_URL, SHOULU_STUDIO_URL, SHOULU_COMPANY_URL});
    window.Form_Load();
    return QApplication::exec();
}
