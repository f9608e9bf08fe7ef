// Errors of the image readers: a malformed or unsupported picture.
#pragma once

#include <stdexcept>
#include <string>

namespace pagelith {

class EInvalidGraphic : public std::runtime_error {
public:
    explicit EInvalidGraphic(const std::string& message) : std::runtime_error(message) {}
};

} // namespace pagelith
