// Page content streams and the link slots and underline bars they collect.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace pagelith {

class TPagelith;
class TPDFPage;
class TPdfFile;
class TLaidOutBlocks;

// One reserved link annotation of a page, in whole points. The target stays owned by the document
// (a text line's shared link or an image placement), which a save does not change.
struct TLinkSlot {
    std::string_view Uri;
    int64_t Left = 0;
    int64_t Bottom = 0;
    int64_t Top = 0;
    int64_t Width = 0;
    bool Border = false;
};

// Writes the page's content stream and its length object at the file's next
// number, filling at most slots.size() link slots in content order; text is laid out through blocks.
void WriteContentStream(TPdfFile& file, TPagelith& doc, const TPDFPage& page, std::vector<TLinkSlot>& slots,
                        TLaidOutBlocks& blocks);

} // namespace pagelith
