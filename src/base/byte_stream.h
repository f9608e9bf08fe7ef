// Destinations that the writer copies a finished file into.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace pagelith {

class TStream {
public:
    virtual ~TStream() = default;
    virtual void Write(std::string_view bytes) = 0;
    // A finished file handed over whole; a destination that can keep the buffer spares a copy.
    virtual void Take(std::string&& bytes) { Write(bytes); }
};

class TMemoryStream final : public TStream {
public:
    void Write(std::string_view bytes) override { Data.append(bytes); }
    void Take(std::string&& bytes) override {
        if (Data.empty())
            Data = std::move(bytes);
        else
            Data.append(bytes);
    }
    std::string Data;
};

} // namespace pagelith
