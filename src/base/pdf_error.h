// The document builder's own error class.
#pragma once

#include <stdexcept>
#include <string>

namespace pagelith {

class EPDFError : public std::runtime_error {
public:
    explicit EPDFError(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* kIndexingError = "Error indexing PDF contents.";

} // namespace pagelith
