// An error that carries an HRESULT of its own: a failed call to another automation object or to the
// platform. The member guard returns its code instead of E_UNEXPECTED, with its description.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/com.h"

namespace pagelith {

class EOleSysError : public std::runtime_error {
public:
    EOleSysError(HRESULT code, std::u16string description)
        : std::runtime_error("automation error"), code_(code), description_(std::move(description)) {}
    HRESULT Code() const { return code_; }
    const std::u16string& Description() const { return description_; }

private:
    HRESULT code_;
    std::u16string description_;
};

} // namespace pagelith
