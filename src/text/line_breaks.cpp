#include "text/line_breaks.h"

#include <linebreak.h>

#include <mutex>

namespace pagelith {

static_assert(LINEBREAK_MUSTBREAK == static_cast<int>(TBreak::Mandatory) &&
              LINEBREAK_ALLOWBREAK == static_cast<int>(TBreak::Allowed) &&
              LINEBREAK_NOBREAK == static_cast<int>(TBreak::None) &&
              LINEBREAK_INSIDEACHAR == static_cast<int>(TBreak::InsideCharacter));

void LineBreaks(std::string_view utf8, std::vector<TBreak>& breaks) {
    static std::once_flag ready;
    std::call_once(ready, init_linebreak);
    breaks.resize(utf8.size());
    if (utf8.empty()) return;
    set_linebreaks_utf8(reinterpret_cast<const utf8_t*>(utf8.data()), utf8.size(), nullptr,
                        reinterpret_cast<char*>(breaks.data()));
}

} // namespace pagelith
