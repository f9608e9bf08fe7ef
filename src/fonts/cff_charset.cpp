#include "fonts/cff_charset.h"

#include <optional>

#include "base/byte_reader.h"

namespace pagelith {

namespace {

constexpr uint16_t kOpCharset = 15;
constexpr uint16_t kOpCharStrings = 17;
constexpr uint16_t kOpRos = 0x0C1E; // 12 30

// An INDEX's element count and where its data starts, with the span of element `k`.
struct TIndex {
    uint32_t Count = 0;
    uint64_t End = 0; // first byte after the INDEX
    std::span<const uint8_t> First;
};

std::optional<TIndex> ReadIndex(const TByteReader& bytes, uint64_t pos) {
    TByteReader r = bytes;
    r.Seek(pos);
    TIndex index;
    index.Count = r.U16();
    if (!r.Ok()) return std::nullopt;
    if (index.Count == 0) {
        index.End = pos + 2;
        return index;
    }
    const uint8_t offSize = r.U8();
    if (!r.Ok() || offSize < 1 || offSize > 4) return std::nullopt;
    const uint64_t offsets = r.Position();
    const auto offsetAt = [&](uint64_t k) -> std::optional<uint32_t> {
        const std::span<const uint8_t> b = r.Bytes(offsets + k * offSize, offSize);
        if (b.empty()) return std::nullopt;
        uint32_t v = 0;
        for (uint8_t byte : b) v = (v << 8) | byte;
        return v;
    };
    const uint64_t data = offsets + (uint64_t{index.Count} + 1) * offSize - 1; // offsets count from 1
    const auto first = offsetAt(0), second = offsetAt(1), last = offsetAt(index.Count);
    if (!first || !second || !last || *first > *second || *second > *last) return std::nullopt;
    index.First = r.Bytes(data + *first, *second - *first);
    index.End = data + *last;
    if (!r.Has(data + *first, *second - *first) || !r.Has(0, index.End)) return std::nullopt;
    return index;
}

// The operands each operator of a DICT takes, reduced to the first integer of each.
template <class TVisit> void ReadDict(std::span<const uint8_t> dict, TVisit visit) {
    TByteReader r(dict);
    int64_t operand = 0;
    while (r.Ok() && r.Position() < dict.size()) {
        const uint8_t b = r.U8();
        if (b <= 21) {
            const uint16_t op = b == 12 ? static_cast<uint16_t>(0x0C00 | r.U8()) : b;
            if (r.Ok()) visit(op, operand);
            operand = 0;
        } else if (b == 28) {
            operand = static_cast<int16_t>(r.U16());
        } else if (b == 29) {
            operand = static_cast<int32_t>(r.U32());
        } else if (b == 30) { // a real number: nibbles up to an 0xF
            for (uint8_t n = r.U8(); r.Ok() && (n & 0x0F) != 0x0F && (n >> 4) != 0x0F; n = r.U8()) {
            }
            operand = 0;
        } else if (b >= 32 && b <= 246) {
            operand = b - 139;
        } else if (b >= 247 && b <= 250) {
            operand = (b - 247) * 256 + r.U8() + 108;
        } else if (b >= 251 && b <= 254) {
            operand = -(b - 251) * 256 - r.U8() - 108;
        }
    }
}

} // namespace

TCffCharset ReadCffCharset(std::span<const uint8_t> cff) {
    TCffCharset result;
    const TByteReader r(cff);
    const auto headerSize = r.Bytes(2, 1);
    if (headerSize.empty()) return result;
    const auto names = ReadIndex(r, headerSize[0]);
    const auto top = names ? ReadIndex(r, names->End) : std::nullopt;
    if (!top || top->Count == 0) return result;
    int64_t charset = 0, charStrings = 0;
    ReadDict(top->First, [&](uint16_t op, int64_t operand) {
        if (op == kOpRos) result.CidKeyed = true;
        if (op == kOpCharset) charset = operand;
        if (op == kOpCharStrings) charStrings = operand;
    });
    const auto glyphs = charStrings > 0 ? ReadIndex(r, static_cast<uint64_t>(charStrings)) : std::nullopt;
    if (!result.CidKeyed || charset <= 2 || !glyphs) return result;

    // Glyph 0 is CID 0; the charset lists the rest in one of three forms.
    std::vector<uint16_t> cids(glyphs->Count, 0);
    TByteReader c(cff);
    c.Seek(static_cast<uint64_t>(charset));
    const uint8_t format = c.U8();
    if (format > 2) return result;
    for (uint32_t gid = 1; gid < cids.size() && c.Ok();) {
        if (format == 0) {
            cids[gid++] = c.U16();
            continue;
        }
        const uint16_t first = c.U16();
        const uint32_t left = format == 1 ? c.U8() : c.U16();
        for (uint32_t k = 0; k <= left && gid < cids.size() && c.Ok(); ++k)
            cids[gid++] = static_cast<uint16_t>(first + k);
    }
    if (!c.Ok()) return result;
    for (uint32_t gid = 0; gid < cids.size(); ++gid)
        if (cids[gid] != gid) {
            result.Cids = std::move(cids);
            break;
        }
    return result;
}

} // namespace pagelith
