#include "automation/member_reference.h"

#include <array>
#include <string_view>

#include "automation/member_table.h"
#include "document/units.h"
#include "fonts/standard_fonts.h"

namespace pagelith {

namespace {

std::string_view TypeName(TValueType t) {
    switch (t) {
    case TValueType::Long:
        return "Long";
    case TValueType::Double:
        return "Double";
    case TValueType::String:
        return "String";
    case TValueType::Boolean:
        return "Boolean";
    case TValueType::Color:
        return "Color (0x00BBGGRR)";
    case TValueType::Variant:
        return "Variant";
    case TValueType::None:
        break;
    }
    return "none";
}

std::string_view KindName(TMemberKind k) {
    switch (k) {
    case TMemberKind::Method:
        return "method";
    case TMemberKind::Get:
        return "read-only property";
    case TMemberKind::GetPut:
        break;
    }
    return "property (get and put)";
}

// What the current Units setting does to a member's numbers; members not listed take none.
struct TUnitNote {
    std::string_view Member;
    std::string_view Note;
};

constexpr std::array<TUnitNote, 17> kUnitNotes = {{
    {"Locate", "X and Y are in the current unit."},
    {"DrawLine", "Coordinates are page coordinates in the current unit."},
    {"Rectangle", "Coordinates are page coordinates in the current unit."},
    {"Ellipse", "X, Y, RX and RY are in the current unit; Angle is in radians."},
    {"Circle", "X, Y and R are in the current unit."},
    {"PageWidth", "Read and written in the current unit; stored as whole points."},
    {"PageHeight", "Read and written in the current unit; stored as whole points."},
    {"ImageWidth", "Pixels at the image's resolution, in the current unit."},
    {"ImageHeight", "Pixels at the image's resolution, in the current unit."},
    {"TextMaxWidth", "In the current unit; 0 or less turns wrapping off (reads back -1)."},
    {"TextBlockWidth", "In the current unit; -1 when the block uses a standard font."},
    {"TextBlockHeight", "In the current unit."},
    {"TextLineWidth", "In the current unit, measured with the current text font and size."},
    {"LineWidth", "Whole points, whatever the unit."},
    {"TextSize", "Points, whatever the unit."},
    {"LinkSize", "Points, whatever the unit."},
    {"Rotate", "Angle in radians, counterclockwise."},
}};

constexpr bool UnitNotesNameMembers() {
    for (const TUnitNote& note : kUnitNotes) {
        bool found = false;
        for (const TMemberInfo& m : kMembers) found = found || m.Name == note.Member;
        if (!found) return false;
    }
    return true;
}
static_assert(UnitNotesNameMembers());

std::string_view UnitNote(std::string_view member) {
    for (const TUnitNote& note : kUnitNotes)
        if (note.Member == member) return note.Note;
    return {};
}

// GitHub's heading anchors are lower case.
std::string Lower(std::string_view name) {
    std::string s(name);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Hex(int32_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (int shift = 12; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
    while (s.size() > 2 && s[0] == '0') s.erase(0, 1);
    return "0x" + s;
}

std::string Signature(const TMemberInfo& m) {
    std::string s(m.Name);
    if (m.Kind == TMemberKind::Method || m.ParamCount > 0) {
        s += '(';
        for (std::size_t i = 0; i < m.ParamCount; ++i) {
            if (i) s += ", ";
            s += m.Params[i].Name;
        }
        s += ')';
    }
    return s;
}

constexpr std::array<std::string_view, 16> kPaperNames = {
    "A4 portrait",        "A4 landscape",        "Letter portrait",    "Letter landscape",
    "A3 portrait",        "A3 landscape",        "A5 portrait",        "A5 landscape",
    "11 × 17 portrait",   "11 × 17 landscape",   "Legal portrait",     "Legal landscape",
    "Statement portrait", "Statement landscape", "Executive portrait", "Executive landscape"};

// What each member of IPDFSvrDoc2 does, in one sentence.
struct TInterfaceNote {
    std::string_view Member;
    std::string_view Note;
};

constexpr std::array<TInterfaceNote, kMemberCount2> kDoc2Notes = {{
    {"UnicodeText",
     "True keeps every character of text written in a TrueType font (`WriteText`, `WriteLink`, "
     "`TextLineWidth`), also those beyond the 8-bit code page and beyond U+FFFF. Such text is written "
     "with a composite font (Type0, Identity-H) that always embeds its TrueType program and carries a "
     "ToUnicode map, so copying and searching give the characters back: a ligature gives all its "
     "letters. The text is shaped with the font's OpenType rules (kerning, ligatures, mark positioning, "
     "Arabic joining, the reordering of Indic scripts; see `TextFeatures`), its paragraphs are ordered "
     "by the Unicode Bidirectional Algorithm (see `TextDirection`), and its lines break where the "
     "Unicode line breaking rules allow: between words, and between the characters of Chinese and "
     "Japanese text, but never before closing punctuation such as \"。\" or \"」\". Thai, which has no "
     "spaces between words, breaks only at its spaces. Layout, wrapping, alignment, underlines, links "
     "and the width properties measure the shaped glyphs; a character the font lacks is drawn and "
     "measured as its glyph 0. `SetFontOffset` does not apply to such text. The "
     "standard fonts (1 to 14) stay in the 8-bit code page (WinAnsi): there, characters outside it "
     "become \"?\" as they always did. Set it before writing: each line keeps the form it was written "
     "in. False (the default) writes exactly what earlier versions wrote."},
    {"SubsetFonts",
     "True makes every embedded TrueType font carry only the glyphs that the document's text uses, "
     "plus glyph 0 and the parts of composite glyphs; its name gets a six-letter tag (`ABCDEF+Name`). "
     "Glyph numbers stay those of the font, and pages render exactly as with the whole font. A two-page "
     "invoice in two DejaVu fonts drops from about 715 KB to under 30 KB. A font that cannot be cut "
     "down is embedded whole. False (the default) embeds whole fonts, as before."},
    {"LoadFont",
     "Loads a font file and returns its font number, numbered like `AddFont`'s. It takes TrueType and "
     "OpenType fonts with TrueType or CFF outlines, with Windows or Macintosh names, symbol fonts, and "
     "one face of a collection (`.ttc`, `.otc`): `FaceIndex` counts the faces from 0, and is 0 for a "
     "file of one font. It never returns 0: a file it cannot use raises an error that says why: not "
     "found, not a font, a Type 1 or WOFF font, a face index out of range, no outlines (bitmap glyphs "
     "only), CFF2 outlines, no usable character map, or a damaged table directory. Fonts with CFF "
     "outlines are embedded as CFF: code-page text as a Type 1 font (`FontFile3 /Type1C`), Unicode text "
     "as a CIDFontType0 font (`/CIDFontType0C`), which raises the document's header to PDF 1.3. A "
     "CID-keyed CFF font (most CJK OpenType fonts) has no glyph names for a code page to reach, so its "
     "text is always kept as Unicode text. A symbol font's characters U+0020 to U+00FF reach its "
     "U+F020 to U+F0FF, as Windows maps them, in both modes, whole or subset."},
    {"FallbackFonts",
     "Font numbers separated by blanks, for example \"16 17\"; empty (the default) for none. In Unicode "
     "text (`UnicodeText`), a character the text's font lacks is drawn in the first of these fonts "
     "that has it; it is measured, wrapped, underlined, linked and extracted like any other character. "
     "Glyph 0 of the text's own font is used only when no fallback has the character. A put names "
     "loaded TrueType or OpenType fonts only (an error says which number is not one) and applies to "
     "text written after it; `Clear` empties it."},
    {"StandardFontMetrics",
     "True makes the 14 standard fonts (1 to 14) measurable with their published character widths "
     "(the Core 14 metrics; no kerning pairs, as the text is written as plain strings). Text written in "
     "them while it is true wraps at `TextMaxWidth`, aligns, is underlined, gets link rectangles, and "
     "is measured by `TextLineWidth`, `TextBlockWidth` and `TextBlockHeight`, as TrueType text is: "
     "`TextLineWidth(\"Hello\")` in Helvetica at 12 points is 27.336 points. Each line keeps the setting "
     "it was written with. False (the default) writes exactly what earlier versions wrote."},
    {"TextDirection",
     "The paragraph direction of Unicode text (`UnicodeText`) written into the current text from now "
     "on, like `TextFont`: 0 (the default) takes it from the paragraph's first letter that has a "
     "direction (Hebrew or Arabic make it right to left), 1 is left to right, 2 right to left. Within "
     "a paragraph the Unicode Bidirectional Algorithm orders mixed text: a Latin name or a number in "
     "an Arabic sentence reads left to right in its place. A paragraph is a written line together "
     "with the lines appended to it (`AppendText`). Lines break first and are then put in display "
     "order. `TextAlign` keeps its meaning on the page: 0 is left, 2 right, whatever the direction. "
     "Other values raise an error. Code-page text is not reordered."},
    {"TextFeatures",
     "OpenType features that Unicode text (`UnicodeText`) written from now on is shaped with, in "
     "HarfBuzz's syntax and separated by commas or blanks: \"-kern\" turns kerning off, \"-liga\" "
     "ligatures, \"+smcp\" turns small capitals on, \"ss01\" a stylistic set, \"+frac\" fractions. "
     "Empty (the default) shapes with the font's default features: kerning, ligatures, mark "
     "positioning, Arabic joining and the reordering of Indic scripts. A setting HarfBuzz cannot read "
     "raises an error naming it. Features the font does not have are ignored."},
    {"MaxImagePixels",
     "The largest number of pixels (width × height) a picture added from now on may have; the default "
     "is 178,956,970. A picture with more is refused before any memory is taken for it, with an error "
     "that names both numbers. 0 leaves only the bound on working memory (1 GiB). Negative values "
     "raise an error. Whatever the limit, no picture costs more than its file's data can fill: a small "
     "file that declares a huge picture is refused."},
    {"ImageOrientation",
     "True places pictures added from now on the way viewers show them: a JPEG's EXIF orientation and "
     "a TIFF's Orientation tag turn or mirror the picture on the page. JPEG data passed through stays "
     "as it is; the placement turns it. `ImageWidth` and `ImageHeight` report the size as displayed, "
     "and placement, scaling and links treat the picture as upright. False (the default) places the "
     "stored picture as it is, as before."},
    {"KeepAlpha",
     "True keeps the transparency of pictures added from now on, when `MergeAlpha` is false: an alpha "
     "channel (PNG RGBA and gray with alpha, 16-bit alpha by its high byte), a PNG's transparent "
     "palette entries or colour, and a GIF's transparent colour become the picture's soft mask, so a "
     "logo sits on whatever lies beneath it. A document that places such a picture is PDF 1.4. False "
     "(the default) drops the transparency, as before."},
    {"AddBookmark",
     "Adds an outline entry and returns its number. It leads to page `Page` at height `Y` in the current "
     "units, the zoom left as it is. `Level` 0 is the top; a higher level nests under the latest entry "
     "one level up, and a level deeper than that is taken as that one. The title may use any "
     "characters. An entry follows its page when pages are added before it, and goes with the pages on "
     "`DeleteAllPages` and `Clear`; one whose page does not exist when the document is saved keeps its "
     "place in the outline but leads nowhere."},
    {"BookmarkOpen",
     "True shows outline entry `Number` expanded, with the entries nested under it; false (the "
     "default) shows it collapsed."},
    {"AddDestination",
     "Names page `Page` at height `Y` (current units) for links: `WriteLink` and `SetImageLink` lead "
     "to it with the target `#Name`, as they lead to a page with `#page=N` or `#page=N&y=Y` (Y in the "
     "units current at the call). A link to a page or name that does not exist when the document is saved is "
     "left out, and the document still saves. Any other target stays a web link."},
    {"PageMode",
     "How the document opens: 0 (the default) as the viewer likes, 1 with the outline shown, 2 full "
     "screen. Other values are ignored."},
    {"OpenPage",
     "The page the document opens at; 0 (the default) writes nothing and the viewer opens at the first "
     "page. A page that does not exist when the document is saved writes nothing either."},
}};

constexpr bool Doc2NotesNameItsMembers() {
    for (std::size_t i = 0; i < kDoc2Notes.size(); ++i)
        if (kDoc2Notes[i].Member != kDoc2Interface.Members[i].Name) return false;
    return true;
}
static_assert(Doc2NotesNameItsMembers());

bool OnDoc2Only(const TMemberInfo& m) {
    return m.DispId >= kDoc2Interface.FirstDispId;
}

void AppendInterfaces(std::string& out) {
    out +=
        "## Interfaces\n\n"
        "The object's default interface is `IPDFSvrDoc2`. It derives from `IPDFSvrDoc` and adds the members "
        "below, from DISPID 0x111 on. `IPDFSvrDoc` itself is unchanged, so early-bound clients built "
        "against it keep working; late-bound callers reach every member alike.\n\n";
    for (const TInterfaceNote& note : kDoc2Notes)
        out += "- [`" + std::string(note.Member) + "`](#" + Lower(note.Member) +
               "): " + std::string(note.Note) + "\n";
    out += "\n";
}

void AppendMembers(std::string& out) {
    out += "## Members\n\n"
           "| DISPID | Member | Kind | Parameters | Result |\n|---|---|---|---|---|\n";
    for (const TMemberInfo& m : kMembers) {
        out += "| " + Hex(m.DispId) + " | [`" + std::string(m.Name) + "`](#" + Lower(m.Name) + ") | " +
               std::string(KindName(m.Kind)) + " | ";
        for (std::size_t i = 0; i < m.ParamCount; ++i) {
            if (i) out += ", ";
            out += std::string(m.Params[i].Name) + ": " + std::string(TypeName(m.Params[i].Type));
        }
        out += " | " + std::string(TypeName(m.Result)) + " |\n";
    }
    out += "\n";
    for (const TMemberInfo& m : kMembers) {
        out += "### " + std::string(m.Name) + "\n\n`" + Signature(m) + "`: " + std::string(KindName(m.Kind)) +
               ", DISPID " + Hex(m.DispId) + ".";
        if (m.Result != TValueType::None) out += m.Kind == TMemberKind::Method ? " Returns " : " Value: ";
        if (m.Result != TValueType::None) out += std::string(TypeName(m.Result)) + ".";
        out += "\n\n";
        if (!m.HelpString.empty()) out += std::string(m.HelpString) + "\n\n";
        if (OnDoc2Only(m)) out += "Early-bound through `IPDFSvrDoc2` only.\n\n";
        if (const std::string_view note = UnitNote(m.Name); !note.empty())
            out += "Units: " + std::string(note) + "\n\n";
        if (m.HasPut() && m.ParamCount > 0)
            out += "Indexed put: `doc.Set" + std::string(m.Name) + "(" + std::string(m.Params[0].Name) +
                   ", value)` from Python, `doc." + std::string(m.Name) + "(" +
                   std::string(m.Params[0].Name) + ") = value` from VBScript.\n\n";
    }
}

void AppendCodes(std::string& out) {
    out += "## Codes\n\n### Page sizes (`DefaultPageSize`, `PageSize`)\n\n"
           "Only the low 7 bits select the size (129 is the same as 1); 0 is a custom size set through "
           "`PageWidth`/`PageHeight`.\n\n| Code | Width (pt) | Height (pt) | Paper |\n|---|---|---|---|\n";
    for (uint8_t code = 1; code <= 16; ++code) {
        const auto size = PageSizeOf(code);
        out += "| " + std::to_string(code) + " | " + std::to_string(size->Width) + " | " +
               std::to_string(size->Height) + " | " + std::string(kPaperNames[code - 1u]) + " |\n";
    }
    out += "\n### Units (`Units`)\n\n| Code | Unit |\n|---|---|\n| 0 | point (1/72 inch), the default |\n"
           "| 1 | inch |\n| 2 | centimetre |\n| 3 | millimetre |\n\nAny other code makes every conversion "
           "give 0.\n\n### Fonts (`TextFont`, `LinkFont`, `EmbedFont`, `SetFontOffset`)\n\n"
           "| Number | Font |\n|---|---|\n";
    for (int32_t n = 1; n <= kStandardFontCount; ++n)
        out += "| " + std::to_string(n) + " | " + std::string(StandardFontName(n)) + " |\n";
    out += "| 15 and up | TrueType fonts, in the order `AddFont` loaded them |\n\n"
           "Standard fonts are written in WinAnsi encoding and have no widths here: a text block that uses "
           "one is neither wrapped nor measured, and stays left-aligned.\n\n"
           "### Alignment (`TextAlign`)\n\n| Code | Alignment |\n|---|---|\n| 0 | left (the default) |\n"
           "| 1 | centre: each line is centred on the placement's X |\n"
           "| 2 | right: each line ends at the placement's X |\n\n"
           "### Image compression (`CompressionBW`, `CompressionIndexed`, `CompressionRGB`, "
           "`CompressionGray`)\n\n| Code | Filter | Allowed for |\n|---|---|---|\n"
           "| 0 | none | all |\n| 1 | CCITT Group 4 | black and white only (the default there) |\n"
           "| 2 | Flate | all (the default for indexed, colour and gray) |\n"
           "| 3 | DCT (JPEG, quality 90) | colour and gray only |\n\n"
           "A code a class cannot use, or any code above 3, is ignored: the property keeps its value.\n\n"
           "### Colours\n\nA colour is one number 0x00BBGGRR, red in the low byte: 0x0000FF is red, 0x00FF00 "
           "green, 0xFF0000 blue, 0xFFFFFF white. From Python, `pagelith.rgb(r, g, b)` makes it.\n\n";
}

} // namespace

std::string MemberReferenceMarkdown() {
    std::string out =
        "<!-- Generated from the automation member table by `pagelith_idlgen --markdown`; do not edit. -->\n"
        "# IPDFSvrDoc and IPDFSvrDoc2 member reference\n\n"
        "One object, created by the ProgID \"PagelithASP.PDFSvrDoc\", builds one PDF document. Every member "
        "below is reachable late-bound (VBScript, JScript, Python's `pagelith.Dispatch`) and early-bound "
        "through the dual interfaces `IPDFSvrDoc` and `IPDFSvrDoc2`.\n\n"
        "## Coordinates and placement\n\n"
        "- `AddPage(Page)` takes the position of the new page: 0, or a number past the last page, appends "
        "it; 1 makes it the first page. The new page has the size `DefaultPageSize` names (A4 portrait "
        "unless set).\n"
        "- A page's origin is its bottom-left corner; X grows to the right and Y upward, in the current "
        "`Units`.\n"
        "- `ApplyResource(Page, Resource)` places a resource on a page and returns the placement's index on "
        "that page. A new placement stands at the page's top-left corner.\n"
        "- `Locate(Page, Index, X, Y)` moves a placement: for images and text, (X, Y) is the resource's "
        "top-left corner, so an image extends right and down from it and a text block's first line "
        "hangs below Y. `ScaleObject` scales in percent and `Rotate` turns counterclockwise in radians.\n"
        "- Graphics are drawn in page coordinates: their own coordinates say where they stand, and "
        "`Locate`, `ScaleObject` and `Rotate` do not move them.\n"
        "- A page, resource or placement number that names nothing makes a member do nothing and succeed "
        "(getters return 0); so does a drawing or text member without a current graphic or text.\n"
        "- Indexed properties (`PageSize`, `PageWidth`, `PageHeight`, `EmbedFont`) take their index first; "
        "from Python read them as `doc.PageWidth(1)` and write them as `doc.SetPageWidth(1, value)`.\n"
        "- Booleans read back as True/False in Python and -1/0 in scripts.\n"
        "- From Python, other threads run while these members work, since they read files or pictures, or "
        "lay out or write the document:";
    const char* separator = " ";
    for (const TMemberInfo& m : kMembers)
        if (m.Length == TCallLength::Long) {
            out += separator + ("`" + std::string(m.Name) + "`");
            separator = ", ";
        }
    out += ". The other members are too short to be worth a thread switch and keep Python's lock.\n\n";
    AppendInterfaces(out);
    AppendMembers(out);
    AppendCodes(out);
    return out;
}

} // namespace pagelith
