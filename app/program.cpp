#include "app/program.h"

#include "app/startup.h"
#include "net/code_page.h"
#include "net/http_get.h"
#include "net/post_form.h"
#include "net/protocol.h"
#include "net/tls_trust.h"
#include "shoulu_config.h"
#include "ui/taskbar.h"
#include "ui/translations.h"

#include <QApplication>

namespace shoulu {

ServiceUrls CompiledInUrls() {
    return {SHOULU_QUERY_BASE_URL, SHOULU_VERSION_BASE_URL, SHOULU_SITE_BASE_URL, SHOULU_STUDIO_URL,
            SHOULU_COMPANY_URL};
}

WindowLogic::WindowLogic(Form1Window &window, GetFunction get, PostFunction post,
                         const ServiceUrls &urls)
    : form1_(window, std::move(get), urls.query)
    , versionCheck_(
          window, std::move(post), [this] { form1_.init(); }, urls.version, urls.site) {
    window.connectLogic(form1_,
                        {[this] { versionCheck_.Timer2_Timer(); },
                         [&window] { ConfirmClose(window); }, [this](bool on) { wake_.hold(on); },
                         SkinFilePath(window.programFolder()), VersionText(BuiltInVersion())});
}

Program::Program(const ServiceUrls &urls)
    : client_(CompiledInCaPem())
    , window_(urls.studio, urls.company)
    , logic_(window_, FetchGet, PostForm, urls) {
    // Every request of the program goes through this one client.
    SetProgramClient(&client_);
}

std::unique_ptr<Program> StartProgram(QApplication &application) {
    // A system without GBK would send wrong tokens and form bodies: it stops here instead.
    RequireGbk();
    InstallChineseTranslations(application);
    // Docks and task switchers match the window to the installed desktop entry, and show its
    // icon for it.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    auto program = std::make_unique<Program>(CompiledInUrls());
    program->window().Form_Load();
    return program;
}

} // namespace shoulu
