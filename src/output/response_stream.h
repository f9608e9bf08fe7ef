// The web channel: a finished PDF file sent into an ASP response object, late-bound through its
// IDispatch so that any object with the same members will do.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/com.h"

namespace pagelith {

inline constexpr std::size_t kResponseChunkSize = 65536;

// Longest file name a Content-Disposition header carries, in UTF-16 units.
inline constexpr std::size_t kMaxDispositionName = 200;

// The Content-Disposition value: "inline" or "attachment", with `; filename="name"` when the name is
// not empty. Only the name's last path component is sent, cut to kMaxDispositionName units (keeping
// its extension). The name passes through the ANSI code page; control characters, double quotes and
// backslashes, which would break the header, become '_'. A name with characters outside ASCII also
// gets `; filename*=UTF-8''...` with its exact UTF-8 form, percent-encoded.
std::u16string ContentDisposition(std::u16string_view fileName, bool inlineDisposition);

// Sets ContentType, adds the Content-Disposition and Content-Length headers, then sends the file in
// chunks of kResponseChunkSize (the last one possibly empty), flushing after each. A failing call on
// the response raises EOleSysError with that call's HRESULT and the description it supplied.
void SendToResponse(IDispatch* response, std::string_view pdf, std::u16string_view fileName,
                    bool inlineDisposition);

} // namespace pagelith
