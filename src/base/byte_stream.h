// Destinations that the writer copies a finished file into.
#pragma once

#include <string>
#include <string_view>

namespace pagelith {

class TStream {
public:
    virtual ~TStream() = default;
    virtual void Write(std::string_view bytes) = 0;
};

class TMemoryStream final : public TStream {
public:
    void Write(std::string_view bytes) override { Data.append(bytes); }
    std::string Data;
};

} // namespace pagelith
