// libjpeg reports fatal errors through error_exit, whose default ends the process. This
// manager jumps back to the guarded call instead, so the failure becomes an exception.
// Code run under the guard must hold no object with a destructor across libjpeg calls:
// the jump skips destructors.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <string>

#include <jpeglib.h>

namespace pagelith {

class TJPEGErrorManager {
public:
    TJPEGErrorManager();

    jpeg_error_mgr* Manager() { return &pub_; }

    // Runs work; on a libjpeg error returns false with the message kept.
    template <class F> bool Guarded(F&& work) {
        if (setjmp(jump_) != 0) return false;
        work();
        return true;
    }

    // Fails the guarded call with our own message (from callbacks that cannot throw).
    [[noreturn]] void Fail(const char* message);

    std::string Message() const { return message_; }

private:
    static void ErrorExit(j_common_ptr cinfo);
    static void OutputMessage(j_common_ptr cinfo);

    // Must stay first: libjpeg hands back the jpeg_error_mgr pointer.
    jpeg_error_mgr pub_;
    std::jmp_buf jump_;
    char message_[JMSG_LENGTH_MAX] = {};
};

} // namespace pagelith
