// An environment variable set for one scope and put back as it was afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace pagelith::testing {

class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~TScopedEnv() { old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str()); }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A temporary folder where no spool file can be made.
inline constexpr const char* kMissingFolder = "/nonexistent-folder/for-the-spool";

} // namespace pagelith::testing
