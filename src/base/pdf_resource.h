// Base of every drawable resource and of font records.
#pragma once

#include <cstdint>

namespace pagelith {

class TPDFResource {
public:
    virtual ~TPDFResource() = default;

    // Set by the writer during each save; 0 means not numbered yet.
    int32_t ObjectNumber = 0;

protected:
    TPDFResource() = default;
    TPDFResource(const TPDFResource&) = default;
    TPDFResource& operator=(const TPDFResource&) = default;
};

} // namespace pagelith
