#include "ui/program.h"

#include "net/http_get.h"
#include "net/post_form.h"
#include "shoulu_config.h"

namespace shoulu {

std::unique_ptr<Form1Window> CreateProgramWindow() {
    return std::make_unique<Form1Window>(FetchGet, PostForm,
                                         ServiceUrls{SHOULU_QUERY_BASE_URL, SHOULU_VERSION_BASE_URL,
                                                     SHOULU_SITE_BASE_URL, SHOULU_STUDIO_URL,
                                                     SHOULU_COMPANY_URL});
}

} // namespace shoulu
