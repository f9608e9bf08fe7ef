// The document font list of one save and the font objects it writes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    // Creates the entry for a font number met for the first time: TrueType
    // entries are working copies of the document's record with the character
    // range of all placed text.
    TPDFFontRes& Add(int32_t number);

private:
    // The byte values of every written line of every placed text, gathered once.
    const std::array<bool, 256>& UsedChars();

    const TPagelith& doc_;
    std::vector<std::unique_ptr<TPDFFontRes>> entries_;
    std::unordered_map<int32_t, TPDFFontRes*> byNumber_;
    std::optional<std::array<bool, 256>> usedChars_;
};

// Objects a font entry takes: 1 standard, 2 TrueType, 3 embedded TrueType.
int32_t FontObjectCount(const TPDFFontRes& font);

// Writes the entry's objects, starting at the file's next number.
void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font);

// A name as it follows "/": delimiters, blanks, "#" and bytes outside the
// printable range become #xx, so a font's name cannot end the name token.
void AppendPdfName(std::string& out, std::string_view name);

} // namespace pagelith
