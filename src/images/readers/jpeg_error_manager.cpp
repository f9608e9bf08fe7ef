#include "images/readers/jpeg_error_manager.h"

#include <cstring>

namespace pagelith {

TJPEGErrorManager::TJPEGErrorManager() {
    jpeg_std_error(&pub_);
    pub_.error_exit = &ErrorExit;
    pub_.output_message = &OutputMessage;
}

void TJPEGErrorManager::Fail(const char* message) {
    std::snprintf(message_, sizeof message_, "%s", message);
    std::longjmp(jump_, 1);
}

void TJPEGErrorManager::ErrorExit(j_common_ptr cinfo) {
    auto* self = reinterpret_cast<TJPEGErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, self->message_);
    std::longjmp(self->jump_, 1);
}

// Warnings (a truncated file, extraneous bytes) are not printed: the library has no log.
void TJPEGErrorManager::OutputMessage(j_common_ptr) {}

} // namespace pagelith
