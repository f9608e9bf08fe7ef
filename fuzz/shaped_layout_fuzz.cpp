// libFuzzer entry point for shaped Unicode text: a header of text settings, then a script of UTF-16
// strings written into one text block, drawn from a table that mixes scripts, bidi controls, breaks,
// emoji sequences and broken surrogates. The block is measured, placed on a page and saved; whatever
// the text, measuring gives finite numbers, the same each time, and the save gives a PDF.
//
// Input: max width, flags, size, features and a byte of other choices, then the text script. In it
//   0xFF writes the string so far, 0xFE takes the next two bytes as a raw UTF-16 unit, 0xFD changes
//   one setting from the next byte, and any other byte picks an entry of the table.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "base/byte_stream.h"
#include "base/pdf_error.h"
#include "document/pagelith.h"

namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/noto/NotoSansArabic-Regular.ttf",
    "/usr/share/fonts/truetype/noto/NotoSansDevanagari-Regular.ttf",
};
// DejaVu Sans, the two fallbacks, and a standard font, which leaves the block unmeasured.
constexpr int32_t kFonts[] = {15, 16, 17, 1};

using namespace std::string_view_literals;

const std::u16string_view kPieces[] = {
    // Latin, kerning pairs and ligatures, a word too long for narrow lines
    u"a", u"e", u"Z", u"f", u"i", u"fi", u"ffl", u"AV", u"To", u"x", u"W", u"Supercalifragilistic", u" ",
    u"word ", u"  ", u"0", u"1", u"9", u".", u",", u"-", u"(", u")", u"[", u"]", u"\"", u"'", u"!", u"?",
    u"/", u"$", u"%", u"\u2014", u"\u00AD",
    // Hebrew letters and points
    u"\u05D0", u"\u05E9", u"\u05DC", u"\u05B8", u"\u05BC", u"\u05BE",
    // Arabic: letters that join, lam-alef, tashkil, digits, tatweel, comma
    u"\u0627", u"\u0644", u"\u0644\u0627", u"\u0644\u0651\u064E\u0627", u"\u0628", u"\u0645", u"\u0647",
    u"\u064E", u"\u0650", u"\u0651", u"\u0652", u"\u0660", u"\u0663", u"\u06F4", u"\u0640", u"\u060C",
    u"\u0628\u0650\u0633\u0652\u0645\u0650",
    // Devanagari: consonants, virama, pre-base and other matras, nukta, reph, conjuncts
    u"\u0915", u"\u0937", u"\u0930", u"\u094D", u"\u093F", u"\u0940", u"\u0947", u"\u0902", u"\u093C",
    u"\u0966", u"\u0964", u"\u0915\u094D\u0937", u"\u0930\u094D\u0915", u"\u0915\u093F",
    u"\u0915\u094D\u200D",
    // Thai: no spaces between words, stacked marks
    u"\u0E01", u"\u0E44", u"\u0E33", u"\u0E48", u"\u0E31", u"\u0E40", u"\u0E01\u0E31\u0E48",
    // CJK and its punctuation that must not start or end a line
    u"\u4E2D", u"\u6587", u"\u3002", u"\u300C", u"\u300D", u"\u3001", u"\u30AB", u"\u3063", u"\u30FC",
    u"\uFF08", u"\uFF09",
    // Combining marks on nothing or on anything
    u"\u0301", u"\u0308", u"\u0327", u"\u20DD", u"\u034F", u"e\u0301\u0308",
    // Joiners and invisible characters
    u"\u200D", u"\u200C", u"\u200B", u"\u2060", u"\uFEFF", u"\u180E",
    // Every bidi control
    u"\u200E", u"\u200F", u"\u061C", u"\u202A", u"\u202B", u"\u202C", u"\u202D", u"\u202E", u"\u2066",
    u"\u2067", u"\u2068", u"\u2069",
    // Breaks and spaces of every kind
    u"\u2028", u"\u2029", u"\r", u"\n", u"\r\n", u"\t", u"\u000B", u"\u000C", u"\u0085", u"\u00A0", u"\u3000",
    u"\u2009", u"\u202F",
    // Emoji: skin tone, ZWJ family, variation selector, flags and a lone regional indicator, keycap
    u"\U0001F44D", u"\U0001F44D\U0001F3FD", u"\U0001F468\u200D\U0001F469\u200D\U0001F467", u"\u2764\uFE0F",
    u"\U0001F1EF\U0001F1F5", u"\U0001F1FA", u"1\uFE0F\u20E3", u"\U0001F3FD",
    // Broken and odd code points, and characters no font here has
    u"\xD800", u"\xDC00", u"\xDBFF", u"\xDBFF\xDFFF", u"\uFFFD", u"\uFFFF", u"\uE000", u"\u0378",
    u"\U0001D538", u"\U00010300", u"\u1000", u"\uA000", u"\0"sv, u"\u0001", u"\u007F",
    // Mixed-direction phrases
    u"abc \u05D0\u05D1\u05D2 123", u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629 (1-2) text",
    u"\u202Babc\u202C", u"\u2067\u05D0 1\u2069"};
constexpr std::size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];

const char* const kFeatures[] = {"",      "-kern",  "+smcp,-liga", "-liga,-clig",
                                 "+dlig", "kern=0", "-calt",       "+tnum"};
const char* const kFallbacks[] = {"", "16 17", "17 16", "15 16 17", "16"};
// Sizes 1..40 and some that cannot be divided by or grow the wrong way.
constexpr int32_t kOddSizes[] = {0, -1, -12, 1000};
constexpr double kAngles[] = {0, 90, 180, 270, 45, -30, 3600};

class TInput {
public:
    TInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

int32_t Size(uint8_t b) {
    return b % 44 < 40 ? 1 + b % 44 : kOddSizes[b % 44 - 40];
}

// None, or 1..400 points.
double MaxWidth(uint8_t b) {
    return b == 0 ? -1 : 1 + (b - 1) * 399.0 / 254.0;
}

// One document keeps the fonts loaded, and each input starts it over: loading them for each input
// would take most of the time.
pagelith::TPagelith* Document() {
    static pagelith::TPagelith* const doc = []() -> pagelith::TPagelith* {
        static pagelith::TPagelith loaded;
        loaded.Clock = [] { return std::time_t{0}; };
        loaded.UnicodeText = true;
        // Whole programs would cost a deflate of each file per input, whatever the input.
        loaded.SubsetFonts = true;
        try {
            // The Noto fonts have no Macintosh names, which AddFont's reader needs.
            for (const char* f : kFontFiles) loaded.LoadFont(f, 0);
        } catch (const pagelith::EPDFError&) {
            return nullptr;
        }
        return &loaded;
    }();
    if (doc) {
        doc->Pages.Clear();
        doc->Resources.Clear();
        doc->CurrentText = 0;
        doc->AppendText = false;
        doc->SetFallbackFonts("");
        doc->SetTextFeatures("");
    }
    return doc;
}

// A changed setting in the middle of the block, so one paragraph can carry several styles.
void ChangeSetting(pagelith::TPagelith& doc, uint8_t b) {
    switch (b % 7) {
    case 0:
        doc.SetTextFont(kFonts[(b >> 3) % 4]);
        break;
    case 1:
        doc.SetTextSize(Size(b >> 3));
        break;
    case 2:
        doc.SetTextDirection((b >> 3) % 3);
        break;
    case 3:
        doc.SetTextMaxWidth(MaxWidth(static_cast<uint8_t>(b & 0xF8)));
        break;
    case 4:
        doc.AppendText = !doc.AppendText;
        break;
    case 5:
        doc.SetFallbackFonts(kFallbacks[(b >> 3) % std::size(kFallbacks)]);
        break;
    default:
        doc.SetTextFeatures(kFeatures[(b >> 3) % std::size(kFeatures)]);
        break;
    }
}

bool Finite(double x) {
    return std::isfinite(x);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pagelith::TPagelith* const document = Document();
    if (size < 5 || !document) return 0;
    pagelith::TPagelith& doc = *document;
    TInput in(data, size);
    const uint8_t maxWidth = in.U8(), flags = in.U8(), textSize = in.U8(), features = in.U8(),
                  extra = in.U8();

    doc.AddPage(1);
    const int32_t text = doc.CreateText();
    doc.SetTextFont(kFonts[extra % 8 == 7 ? 3 : extra % 3]);
    doc.SetTextMaxWidth(MaxWidth(maxWidth));
    doc.SetTextAlign(flags % 3);
    doc.SetTextDirection((flags / 3) % 3);
    doc.SetTextSize(Size(textSize));
    doc.SetTextFeatures(kFeatures[features % std::size(kFeatures)]);
    doc.AppendText = flags & 0x10;
    if (flags & 0x20) doc.SetFallbackFonts(kFallbacks[1 + (extra >> 2) % (std::size(kFallbacks) - 1)]);

    std::u16string piece, last;
    const auto write = [&] {
        doc.WriteText(std::u16string_view(piece));
        last = std::move(piece);
        piece.clear();
    };
    while (!in.Empty()) {
        const uint8_t b = in.U8();
        if (b == 0xFF)
            write();
        else if (b == 0xFE) {
            const uint8_t low = in.U8();
            piece.push_back(static_cast<char16_t>(low | in.U8() << 8));
        } else if (b == 0xFD)
            ChangeSetting(doc, in.U8());
        else
            piece += kPieces[b % kPieceCount];
    }
    if (!piece.empty()) write();

    // Layout is a function of the text: measuring again, from the shaping cache, gives the same.
    const double width = doc.TextBlockWidth(), height = doc.TextBlockHeight();
    if (!Finite(width) || !Finite(height)) std::abort();
    if (doc.TextBlockWidth() != width) std::abort();
    // Any stretch of the last string, even one that splits a surrogate pair.
    const std::size_t from = last.empty() ? 0 : extra % last.size();
    const std::u16string_view stretch = std::u16string_view(last).substr(from, maxWidth);
    const double line = doc.TextLineWidth(stretch);
    if (!Finite(line) || doc.TextLineWidth(stretch) != line) std::abort();

    // Saving subsets and compresses every font: one input in four is saved, so layout gets most runs.
    if ((features & 0x30) != 0) return 0;
    if (doc.ApplyResource(1, text) != 1) std::abort();
    doc.Locate(1, 1, textSize, 20 + features);
    if (flags & 0x40) doc.Rotate(1, 1, kAngles[extra % std::size(kAngles)]);
    if (extra & 0x80) doc.ScaleObject(1, 1, 1 + textSize);
    pagelith::TMemoryStream out;
    doc.SaveToStream(out);
    if (out.Data.compare(0, 5, "%PDF-") != 0) std::abort();
    return 0;
}
