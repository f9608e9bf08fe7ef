// The document font list of one save and the font objects it writes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fonts/font_res.h"

namespace pagelith {

class TPagelith;
class TPdfFile;
class TPDFTextRes;
class TLaidOutBlocks;

class TDocumentFonts {
public:
    TDocumentFonts(const TPagelith& doc, TLaidOutBlocks& blocks) : doc_(doc), blocks_(blocks) {}

    // The entry for a font number in the code page or for its Unicode text, or null when no
    // placed text used it yet.
    TPDFFontRes* Find(int32_t number, bool unicode = false) const;
    // Creates the entry met for the first time: TrueType entries are working copies of the
    // document's record with the characters of all placed text.
    TPDFFontRes& Add(int32_t number, bool unicode = false);

    // The fonts a text draws with, in first-use order: each line's own (in its code page or Unicode
    // form), and the fallback fonts its Unicode characters take. Gathered once per text.
    struct TUse {
        int32_t Number;
        bool Unicode;
        friend bool operator==(const TUse&, const TUse&) = default;
    };
    const std::vector<TUse>& TextFonts(const TPDFTextRes& text);

private:
    // The byte values of every written code-page line of every placed text, gathered once.
    const std::array<bool, 256>& UsedChars();
    // The glyphs the placed Unicode text shows in one font, each with the characters it stands for,
    // in glyph order.
    const std::vector<std::pair<uint16_t, std::u32string>>& UnicodeGlyphs(int32_t number);
    // Lays every placed text with Unicode lines out once: the glyphs of each font and the fonts of each text.
    void GatherShapedText();

    const TPagelith& doc_;
    TLaidOutBlocks& blocks_;
    std::vector<std::unique_ptr<TPDFFontRes>> entries_;
    std::unordered_map<int64_t, TPDFFontRes*> byKey_;
    std::optional<std::array<bool, 256>> usedChars_;
    std::optional<std::map<int32_t, std::vector<std::pair<uint16_t, std::u32string>>>> unicodeGlyphs_;
    std::unordered_map<const TPDFTextRes*, std::vector<TUse>> textFonts_;
};

// The objects a font entry is written as, in file order: the writer's plan numbers these, and
// WriteFontObjects writes them. Composite fonts always carry their program.
enum class TFontObject : uint8_t { Font, Descendant, ToUnicode, Descriptor, Program };
std::span<const TFontObject> FontObjects(const TPDFFontRes& font);

// The PDF 1.x version a font entry needs: 3 for a CFF program under a composite font, else 2.
int32_t FontMinorVersion(const TPDFFontRes& font);

// The name that content streams and page resources give a font: SF, TT or TU (its Unicode text)
// and a number.
void AppendFontResourceName(std::string& out, int32_t number, bool unicode);

// Writes the entry's objects, starting at the file's next number.
void WriteFontObjects(TPdfFile& file, const TPDFFontRes& font);

// A name as it follows "/": delimiters, blanks, "#" and bytes outside the
// printable range become #xx, so a font's name cannot end the name token.
void AppendPdfName(std::string& out, std::string_view name);

} // namespace pagelith
