// One face of an sfnt file (TrueType, OpenType, or one face of a collection): its table directory,
// read once, and the one table lookup that every reader of a font goes through.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace pagelith {

// What the first bytes of a file say it is.
enum class TFontFileKind : uint8_t { Sfnt, Collection, Type1, Woff, Unknown };
TFontFileKind FontFileKind(std::span<const uint8_t> file);

class TSfntView {
public:
    struct TTable {
        std::array<char, 4> Tag{};
        uint32_t Checksum = 0;
        uint32_t Offset = 0; // from the start of the file, for every face of a collection
        uint32_t Length = 0;
    };

    TSfntView() = default;

    // The directory at `offset` (0 for a single font), its version not checked; nothing when its
    // entries do not fit in the file.
    static std::optional<TSfntView> AtOffset(std::span<const uint8_t> file, uint64_t offset);

    // Faces of a collection ('ttcf'), or nothing for any other file.
    static std::optional<uint32_t> CollectionFaces(std::span<const uint8_t> file);
    // The directory of face `face`: of a collection, or 0 of a single font; nothing when out of range.
    static std::optional<TSfntView> Face(std::span<const uint8_t> file, uint32_t face);

    // A tag named twice counts by its last entry.
    std::optional<TTable> Find(std::string_view tag) const;
    // The table's bytes, cut at the end of the file; empty when it is missing.
    std::span<const uint8_t> Bytes(std::string_view tag) const;
    bool Has(std::string_view tag) const { return Find(tag).has_value(); }

    uint32_t Version() const { return version_; }
    const std::vector<TTable>& Tables() const { return tables_; }
    std::span<const uint8_t> File() const { return file_; }

private:
    std::span<const uint8_t> file_;
    uint32_t version_ = 0;
    std::vector<TTable> tables_;
};

} // namespace pagelith
