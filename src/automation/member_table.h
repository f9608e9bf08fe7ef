// The members of IPDFSvrDoc and IPDFSvrDoc2: the one description that the dispatch code, the interface
// declaration checks and the type-library text are all derived from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pagelith {

enum class TMemberKind : uint8_t { Method, Get, GetPut };

// Automation types of parameters and results (None: no result).
enum class TValueType : uint8_t { None, Long, Double, String, Boolean, Color, Variant };

// Long: the call reads a file or a picture, or lays out or writes the document, so its time grows with
// its input. Hosts with one interpreter lock let other threads run during such calls and no others,
// since handing the lock over costs more than a short call takes.
enum class TCallLength : uint8_t { Short, Long };

struct TParamInfo {
    std::string_view Name;
    TValueType Type = TValueType::None;
};

struct TMemberInfo {
    int32_t DispId;
    std::string_view Name;
    TMemberKind Kind;
    uint8_t ParamCount;
    std::array<TParamInfo, 5> Params;
    TValueType Result;
    std::string_view HelpString; // empty: the member has none
    TCallLength Length = TCallLength::Short;

    constexpr std::span<const TParamInfo> ParamList() const { return {Params.data(), ParamCount}; }
    constexpr bool HasPut() const { return Kind == TMemberKind::GetPut; }
};

// IPDFSvrDoc, frozen as published.
inline constexpr int32_t kFirstDispId = 0xC9;
inline constexpr std::size_t kMemberCount = 72;
inline constexpr std::size_t kVtableEntryCount = 114; // after IDispatch's seven
// IPDFSvrDoc2 derives from IPDFSvrDoc; its own members follow in DISPID and vtable order.
inline constexpr int32_t kFirstDispId2 = 0x111;
inline constexpr std::size_t kMemberCount2 = 15;
inline constexpr std::size_t kVtableEntryCount2 = 27; // after IPDFSvrDoc's

namespace member_table_detail {
using K = TMemberKind;
using V = TValueType;
constexpr TCallLength Long = TCallLength::Long;
} // namespace member_table_detail

// Every member, IPDFSvrDoc's first, then IPDFSvrDoc2's.
// clang-format off
inline constexpr std::array<TMemberInfo, kMemberCount + kMemberCount2> kMembers = [] {
    using namespace member_table_detail;
    return std::array<TMemberInfo, kMemberCount + kMemberCount2>{
        TMemberInfo{0xC9, "AddPage", K::Method, 1, {{{"Page", V::Long}}}, V::None, "Adds a new page to the document."},
        TMemberInfo{0xCA, "AddImageFile", K::Method, 1, {{{"FileName", V::String}}}, V::Long, "Adds an image resource from file on disk.", Long},
        TMemberInfo{0xCB, "SaveToFile", K::Method, 1, {{{"FileName", V::String}}}, V::None, "Saves PDF document to disk.", Long},
        TMemberInfo{0xCC, "ApplyResource", K::Method, 2, {{{"Page", V::Long}, {"Resource", V::Long}}}, V::Long, "Draws a resource on a page."},
        TMemberInfo{0xCD, "ScaleObject", K::Method, 3, {{{"Page", V::Long}, {"Index", V::Long}, {"ScaleFactor", V::Double}}}, V::None, "Modifies the size used to display a resource on a page."},
        TMemberInfo{0xCE, "Locate", K::Method, 4, {{{"Page", V::Long}, {"Index", V::Long}, {"X", V::Double}, {"Y", V::Double}}}, V::None, "Modifies the position of a resource on a page."},
        TMemberInfo{0xCF, "CreateGraphic", K::Method, 0, {{}}, V::Long, "Creates a new graphic resource."},
        TMemberInfo{0xD0, "DrawLine", K::Method, 4, {{{"X1", V::Double}, {"Y1", V::Double}, {"X2", V::Double}, {"Y2", V::Double}}}, V::None, "Draws a line on a graphic."},
        TMemberInfo{0xD1, "Rectangle", K::Method, 4, {{{"X1", V::Double}, {"Y1", V::Double}, {"X2", V::Double}, {"Y2", V::Double}}}, V::None, "Draws a rectangle on a graphic."},
        TMemberInfo{0xD2, "CreateText", K::Method, 0, {{}}, V::Long, "Creates a new text resource."},
        TMemberInfo{0xD3, "WriteText", K::Method, 1, {{{"Text", V::String}}}, V::None, "Writes a line of text on a text resource."},
        TMemberInfo{0xD4, "Clear", K::Method, 0, {{}}, V::None, "Clears all pages and resources from memory."},
        TMemberInfo{0xD5, "DeleteAllPages", K::Method, 0, {{}}, V::None, "Deletes all pages from memory."},
        TMemberInfo{0xD6, "AddImageBMPHandle", K::Method, 1, {{{"Handle", V::Long}}}, V::Long, "Adds an image resource from a handle to a bitmap.", Long},
        TMemberInfo{0xD7, "CurrentGraphic", K::GetPut, 0, {{}}, V::Long, "The currently active graphic resource."},
        TMemberInfo{0xD8, "CurrentText", K::GetPut, 0, {{}}, V::Long, "The currently active text resource."},
        TMemberInfo{0xD9, "LineWidth", K::GetPut, 0, {{}}, V::Long, "Line width used on graphics."},
        TMemberInfo{0xDA, "TextColor", K::GetPut, 0, {{}}, V::Color, "Color used for writing text."},
        TMemberInfo{0xDB, "LineColor", K::GetPut, 0, {{}}, V::Color, "Color used for lines on graphics."},
        TMemberInfo{0xDC, "FillColor", K::GetPut, 0, {{}}, V::Color, "Color used for filling shapes on graphics."},
        TMemberInfo{0xDD, "CompressionBW", K::GetPut, 0, {{}}, V::Long, "Compression method used for black and white images."},
        TMemberInfo{0xDE, "CompressionIndexed", K::GetPut, 0, {{}}, V::Long, "Compression method used for indexed color images."},
        TMemberInfo{0xDF, "CompressionRGB", K::GetPut, 0, {{}}, V::Long, "Compression method used for full color images."},
        TMemberInfo{0xE0, "CompressionGray", K::GetPut, 0, {{}}, V::Long, "Compression method used for grayscale images."},
        TMemberInfo{0xE1, "UseSourceCompression", K::GetPut, 0, {{}}, V::Boolean, "Use compression method present in the source image."},
        TMemberInfo{0xE2, "TextFont", K::GetPut, 0, {{}}, V::Long, "Number of font used for writing text."},
        TMemberInfo{0xE3, "TextSize", K::GetPut, 0, {{}}, V::Long, "Size of font used for writing text."},
        TMemberInfo{0xE4, "ImageReadNumber", K::GetPut, 0, {{}}, V::Long, "Number of image to be read from multi-image TIFF file."},
        TMemberInfo{0xE5, "ReleaseBMPHandle", K::GetPut, 0, {{}}, V::Boolean, "Release handle after use in AddImageBMPHandle method."},
        TMemberInfo{0xE6, "DefaultPageSize", K::GetPut, 0, {{}}, V::Long, "Page size to be used for new pages."},
        TMemberInfo{0xE7, "Units", K::GetPut, 0, {{}}, V::Long, "Units of measure."},
        TMemberInfo{0xE8, "PageSize", K::GetPut, 1, {{{"Page", V::Long}}}, V::Long, "Page size."},
        TMemberInfo{0xE9, "PageWidth", K::GetPut, 1, {{{"Page", V::Long}}}, V::Double, "Page width."},
        TMemberInfo{0xEA, "PageHeight", K::GetPut, 1, {{{"Page", V::Long}}}, V::Double, "Page height."},
        TMemberInfo{0xEB, "ImageWidth", K::Get, 1, {{{"Index", V::Long}}}, V::Double, "Width of image resource (unscaled)."},
        TMemberInfo{0xEC, "ImageHeight", K::Get, 1, {{{"Index", V::Long}}}, V::Double, "Height of image resource (unscaled)."},
        TMemberInfo{0xED, "BinaryWrite", K::Method, 0, {{}}, V::None, "Streams PDF data to the browser with HTTP header information.", Long},
        TMemberInfo{0xEE, "StreamFileName", K::GetPut, 0, {{}}, V::String, "File name to be sent in HTTP header when using BinaryWrite."},
        TMemberInfo{0xEF, "StreamInline", K::GetPut, 0, {{}}, V::Boolean, "Determines the Content-Disposition type in HTTP header."},
        TMemberInfo{0xF0, "StreamData", K::Method, 0, {{}}, V::Variant, "Returns PDF data in binary format.", Long},
        TMemberInfo{0xF1, "AddImageBytes", K::Method, 1, {{{"ImageData", V::Variant}}}, V::Long, "Adds an image resource from an array of bytes in memory.", Long},
        TMemberInfo{0xF2, "AddFont", K::Method, 1, {{{"FontName", V::String}}}, V::Long, "Adds a TrueType font from disk.", Long},
        TMemberInfo{0xF3, "EmbedFont", K::GetPut, 1, {{{"FontNum", V::Long}}}, V::Boolean, "Embed the font in the document."},
        TMemberInfo{0xF4, "Rotate", K::Method, 3, {{{"Page", V::Long}, {"Index", V::Long}, {"Angle", V::Double}}}, V::None, "Rotates a resource counterclockwise on a page."},
        TMemberInfo{0xF5, "Title", K::GetPut, 0, {{}}, V::String, "Title of the document."},
        TMemberInfo{0xF6, "Subject", K::GetPut, 0, {{}}, V::String, "Subject of the document."},
        TMemberInfo{0xF7, "Author", K::GetPut, 0, {{}}, V::String, "Author of the document."},
        TMemberInfo{0xF8, "Keywords", K::GetPut, 0, {{}}, V::String, "Keywords associated with the document."},
        TMemberInfo{0xF9, "ImageCount", K::Get, 1, {{{"FileName", V::String}}}, V::Long, "Number of images contained in a file.", Long},
        TMemberInfo{0xFA, "TextLineSpacing", K::GetPut, 0, {{}}, V::Double, "Spacing between lines of text."},
        TMemberInfo{0xFB, "TextAlign", K::GetPut, 0, {{}}, V::Long, "Alignment of text."},
        TMemberInfo{0xFC, "TextMaxWidth", K::GetPut, 0, {{}}, V::Double, "Maximum width of line of text before remaining text is wrapped to next line."},
        TMemberInfo{0xFD, "TextSkewX", K::GetPut, 0, {{}}, V::Double, "Skew text in horizontal direction."},
        TMemberInfo{0xFE, "TextSkewY", K::GetPut, 0, {{}}, V::Double, "Skew text in vertical direction."},
        TMemberInfo{0xFF, "Ellipse", K::Method, 5, {{{"X", V::Double}, {"Y", V::Double}, {"RX", V::Double}, {"RY", V::Double}, {"Angle", V::Double}}}, V::None, "Draws an ellipse on a graphic."},
        TMemberInfo{0x100, "Circle", K::Method, 3, {{{"X", V::Double}, {"Y", V::Double}, {"R", V::Double}}}, V::None, "Draws a circle on a graphic."},
        TMemberInfo{0x101, "TextBlockHeight", K::Get, 0, {{}}, V::Double, "Height of current text block.", Long},
        TMemberInfo{0x102, "SetFontOffset", K::Method, 2, {{{"FontNum", V::Long}, {"Offset", V::Long}}}, V::None, ""},
        TMemberInfo{0x103, "WriteLink", K::Method, 2, {{{"Text", V::String}, {"Link", V::String}}}, V::None, "Writes a hyperlink on a text resource."},
        TMemberInfo{0x104, "TextUnderline", K::GetPut, 0, {{}}, V::Boolean, "Underline text."},
        TMemberInfo{0x105, "LinkStandardFormat", K::GetPut, 0, {{}}, V::Boolean, "Use standard formatting for hyperlinks."},
        TMemberInfo{0x106, "LinkColor", K::GetPut, 0, {{}}, V::Color, "Color used for writing hyperlinks."},
        TMemberInfo{0x107, "LinkFont", K::GetPut, 0, {{}}, V::Long, "Number of font used for writing hyperlinks."},
        TMemberInfo{0x108, "LinkUnderline", K::GetPut, 0, {{}}, V::Boolean, "Underline hyperlinks."},
        TMemberInfo{0x109, "LinkSize", K::GetPut, 0, {{}}, V::Long, "Size of font used for writing hyperlinks."},
        TMemberInfo{0x10A, "LinkBorder", K::GetPut, 0, {{}}, V::Boolean, "Display rectangular border around hyperlinks."},
        TMemberInfo{0x10B, "TextLineWidth", K::Get, 1, {{{"Text", V::String}}}, V::Double, "Width that a line of text will occupy using current font and size.", Long},
        TMemberInfo{0x10C, "SetImageLink", K::Method, 3, {{{"Page", V::Long}, {"Index", V::Long}, {"Link", V::String}}}, V::None, "Attach a hyperlink to an image."},
        TMemberInfo{0x10D, "TextBlockWidth", K::Get, 0, {{}}, V::Double, "Width of current text block.", Long},
        TMemberInfo{0x10E, "MergeAlpha", K::GetPut, 0, {{}}, V::Boolean, "Merge alpha channel with a single color."},
        TMemberInfo{0x10F, "MergeAlphaColor", K::GetPut, 0, {{}}, V::Color, "Color used for merging alpha channel."},
        TMemberInfo{0x110, "AppendText", K::GetPut, 0, {{}}, V::Boolean, "Append next line of text to previous line."},
        // IPDFSvrDoc2
        TMemberInfo{0x111, "UnicodeText", K::GetPut, 0, {{}}, V::Boolean, "Keep every character of text written in TrueType fonts."},
        TMemberInfo{0x112, "SubsetFonts", K::GetPut, 0, {{}}, V::Boolean, "Embed only the glyphs that the document uses."},
        TMemberInfo{0x113, "LoadFont", K::Method, 2, {{{"FileName", V::String}, {"FaceIndex", V::Long}}}, V::Long, "Loads a TrueType or OpenType font, or one face of a collection.", Long},
        TMemberInfo{0x114, "FallbackFonts", K::GetPut, 0, {{}}, V::String, "Fonts that draw the characters a Unicode text's font lacks."},
        TMemberInfo{0x115, "StandardFontMetrics", K::GetPut, 0, {{}}, V::Boolean, "Measure the standard fonts with their published widths."},
        TMemberInfo{0x116, "TextDirection", K::GetPut, 0, {{}}, V::Long, "Paragraph direction of Unicode text: 0 from the text, 1 left to right, 2 right to left."},
        TMemberInfo{0x117, "TextFeatures", K::GetPut, 0, {{}}, V::String, "OpenType features that Unicode text is shaped with."},
        TMemberInfo{0x118, "MaxImagePixels", K::GetPut, 0, {{}}, V::Long, "Largest number of pixels a picture may have; 0 for no limit but memory."},
        TMemberInfo{0x119, "ImageOrientation", K::GetPut, 0, {{}}, V::Boolean, "Place pictures upright by their EXIF or TIFF orientation."},
        TMemberInfo{0x11A, "KeepAlpha", K::GetPut, 0, {{}}, V::Boolean, "Keep a picture's transparency as a soft mask."},
        TMemberInfo{0x11B, "AddBookmark", K::Method, 4, {{{"Title", V::String}, {"Page", V::Long}, {"Y", V::Double}, {"Level", V::Long}}}, V::Long, "Adds an outline entry leading to a height on a page."},
        TMemberInfo{0x11C, "BookmarkOpen", K::GetPut, 1, {{{"Number", V::Long}}}, V::Boolean, "Show the outline entry expanded."},
        TMemberInfo{0x11D, "AddDestination", K::Method, 3, {{{"Name", V::String}, {"Page", V::Long}, {"Y", V::Double}}}, V::None, "Names a height on a page for links to lead to."},
        TMemberInfo{0x11E, "PageMode", K::GetPut, 0, {{}}, V::Long, "How the document opens: 0 as the viewer likes, 1 with the outline, 2 full screen."},
        TMemberInfo{0x11F, "OpenPage", K::GetPut, 0, {{}}, V::Long, "Page the document opens at; 0 for the first."},
    };
}();
// clang-format on

// One interface's own part of the table: what it adds to the interface it derives from.
struct TInterfaceInfo {
    std::string_view Name;
    std::string_view Base;
    int32_t FirstDispId;
    std::span<const TMemberInfo> Members;
    std::size_t VtableEntryCount; // after its base's entries
};

inline constexpr std::array<TInterfaceInfo, 2> kInterfaces = {{
    {"IPDFSvrDoc", "IDispatch", kFirstDispId, std::span<const TMemberInfo>(kMembers).first(kMemberCount),
     kVtableEntryCount},
    {"IPDFSvrDoc2", "IPDFSvrDoc", kFirstDispId2, std::span<const TMemberInfo>(kMembers).subspan(kMemberCount),
     kVtableEntryCount2},
}};
inline constexpr const TInterfaceInfo& kDocInterface = kInterfaces[0];
inline constexpr const TInterfaceInfo& kDoc2Interface = kInterfaces[1];

constexpr bool InterfaceIsConsistent(const TInterfaceInfo& info) {
    std::size_t entries = 0;
    for (std::size_t i = 0; i < info.Members.size(); ++i) {
        const TMemberInfo& m = info.Members[i];
        if (m.DispId != info.FirstDispId + static_cast<int32_t>(i)) return false;
        if (m.Kind != TMemberKind::Method && m.Result == TValueType::None) return false;
        for (std::size_t p = 0; p < m.Params.size(); ++p)
            if ((p < m.ParamCount) != (m.Params[p].Type != TValueType::None)) return false;
        entries += m.HasPut() ? 2 : 1;
    }
    return entries == info.VtableEntryCount;
}

// Both interfaces are consistent on their own, and IPDFSvrDoc2's DISPIDs continue IPDFSvrDoc's, so
// the whole table is consecutive from kFirstDispId.
constexpr bool MemberTableIsConsistent() {
    for (const TInterfaceInfo& info : kInterfaces)
        if (!InterfaceIsConsistent(info)) return false;
    return kDocInterface.Members.size() == kMemberCount && kDoc2Interface.Members.size() == kMemberCount2 &&
           kFirstDispId2 == kFirstDispId + static_cast<int32_t>(kMemberCount);
}
static_assert(MemberTableIsConsistent());

// The member with that DISPID, or null.
constexpr const TMemberInfo* FindMember(int32_t dispId) {
    const int64_t i = int64_t{dispId} - kFirstDispId;
    return i >= 0 && i < static_cast<int64_t>(kMembers.size()) ? &kMembers[static_cast<std::size_t>(i)]
                                                               : nullptr;
}

// Case-insensitive (ASCII letters) lookup by name; null when there is none.
const TMemberInfo* FindMemberByName(std::u16string_view name);

// Position of a parameter of m by case-insensitive name, or -1.
int FindParamByName(const TMemberInfo& m, std::u16string_view name);

// The IDL text of an interface's own members, in vtable order, for the type-library build.
std::string IdlMemberDeclarations(const TInterfaceInfo& info);

} // namespace pagelith
