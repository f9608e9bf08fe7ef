// The document font list of one save and the font objects it writes.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "fonts/font_res.h"

namespace pagelith {

class TPagelith;
class TPdfFile;

class TDocumentFonts {
public:
    explicit TDocumentFonts(const TPagelith& doc) : doc_(doc) {}

    // The entry for a font number, or null when no placed text used it yet.
    TPDFFontRes* Find(int32_t number) const;
    // Creates the entry for a font number met for the first time.
    TPDFFontRes& Add(int32_t number);

private:
    const TPagelith& doc_;
    std::vector<std::unique_ptr<TPDFFontRes>> entries_;
    std::unordered_map<int32_t, TPDFFontRes*> byNumber_;
};

// Objects a font entry takes: 1 standard, 2 TrueType, 3 embedded TrueType.
int32_t FontObjectCount(const TPDFFontRes& font);

// Writes the entry's objects, starting at the file's next number.
void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font);

} // namespace pagelith
