// The in-memory document behind one automation object.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/obj_list.h"
#include "base/pdf_resource.h"
#include "document/navigation.h"
#include "document/pdf_page.h"
#include "fonts/font_res.h"
#include "images/image_settings.h"
#include "text/text_res.h"

namespace pagelith {

class TPDFGraphicRes;
class TStream;
class TBitmapHandleSource;
class TByteSpool;
class TPDFImageRes;

class TPagelith {
public:
    TPagelith();
    ~TPagelith();
    TPagelith(const TPagelith&) = delete;
    TPagelith& operator=(const TPagelith&) = delete;

    // Lists and settings, in declaration order.
    TObjList<TPDFPage> Pages;
    TObjList<TPDFResource> Resources;
    TObjList<TPDFFontRes> Fonts;
    uint8_t DefaultPageSize = 1;
    int32_t CurrentGraphic = 0;
    int32_t CurrentText = 0;
    uint8_t Units = 0;
    uint8_t CompressionBW = 1;
    uint8_t CompressionIndexed = 2;
    uint8_t CompressionRGB = 2;
    uint8_t CompressionGray = 2;
    bool UseSourceCompression = true;
    int32_t ImageReadNumber = 1;
    bool ReleaseBMPHandle = true;
    std::u16string Title;
    std::u16string Subject;
    std::u16string Author;
    std::u16string Keywords;
    bool LinkBorder = false;
    bool LinkStandardFormat = true;
    bool LinkUnderline = true;
    int32_t LinkSize = 10;
    int32_t LinkFont = 15;
    uint32_t LinkColor = 0xFF0000;
    bool MergeAlpha = false;
    uint32_t MergeAlphaColor = 0xFFFFFF;
    int32_t MaxImagePixels = 178956970; // 0: no limit but the memory bound; never negative
    bool ImageOrientation = false;
    bool KeepAlpha = false;
    bool AppendText = false;
    // Text from callers keeps every character in TrueType fonts (UTF-8 lines, composite fonts).
    bool UnicodeText = false;
    // Embedded TrueType fonts hold only the glyphs the document uses.
    bool SubsetFonts = false;
    // The 14 standard fonts measure with their published widths, so their text wraps and aligns.
    bool StandardFontMetrics = false;
    // Navigation (document/navigation_members.cpp): outline entries in tree order, named
    // destinations, how the viewer opens (0 as it likes, 1 with the outline, 2 full screen) and the
    // page it opens at (0 for the first).
    std::vector<TBookmark> Bookmarks;
    std::map<std::string, TDestination, std::less<>> Destinations; // by name, as written
    int32_t PageMode = 0;
    int32_t OpenPage = 0;

    // The creation date's source; tests fix it.
    std::function<std::time_t()> Clock = [] { return std::time(nullptr); };
    // Picture data the document keeps in memory: a picture that would pass it waits in the spool
    // instead, so large documents stay bounded while small ones write no file. Tests lower it.
    std::size_t HeldPictureBytes = std::size_t{32} << 20;

    // Pages and placements.
    void AddPage(int32_t page);
    int32_t ApplyResource(int32_t page, int32_t resource);
    void Locate(int32_t page, int32_t index, double x, double y);
    void ScaleObject(int32_t page, int32_t index, double scaleFactor);
    void Rotate(int32_t page, int32_t index, double angle);
    void Clear();
    void DeleteAllPages();

    TPDFPage* Page(int32_t page) const { return Pages.Item(static_cast<uint32_t>(page)); }
    TPDFResource* Resource(int32_t resource) const { return Resources.Item(static_cast<uint32_t>(resource)); }
    TPDFObj* Placement(int32_t page, int32_t index) const;
    TPDFGraphicRes* CurrentGraphicRes() const;
    TPDFTextRes* CurrentTextRes() const;

    // Compression codes of image classes (0 none, 1 CCITT Group 4, 2 Flate, 3 DCT), judged on the low
    // byte, which is what is stored. A code the class cannot use, or above 3, is ignored.
    void SetCompressionBW(int32_t code);
    void SetCompressionIndexed(int32_t code);
    void SetCompressionRGB(int32_t code);
    void SetCompressionGray(int32_t code);

    // Units and page sizes.
    long double ToPoints(double x) const;
    long double FromPoints(double x) const;
    int32_t GetPageSize(int32_t page) const;
    void SetPageSize(int32_t page, int32_t code);
    double GetPageWidth(int32_t page) const;
    void SetPageWidth(int32_t page, double width);
    double GetPageHeight(int32_t page) const;
    void SetPageHeight(int32_t page, double height);

    // Graphics.
    int32_t CreateGraphic();
    void DrawLine(double x1, double y1, double x2, double y2);
    void Rectangle(double x1, double y1, double x2, double y2);
    void Ellipse(double x, double y, double rx, double ry, double angle);
    void Circle(double x, double y, double r);
    int32_t GetLineWidth() const;
    void SetLineWidth(int32_t width);
    uint32_t GetLineColor() const;
    void SetLineColor(uint32_t color);
    uint32_t GetFillColor() const;
    void SetFillColor(uint32_t color);

    // Fonts (document/font_members.cpp). File names and texts are 8-bit strings.
    int32_t AddFont(const std::string& fileName);
    // Face `face` of a TrueType, OpenType or collection file; throws EPDFError saying why a file
    // cannot be used.
    int32_t LoadFont(const std::string& fileName, int32_t face);
    // Font numbers for the characters Unicode text's font lacks, written as "16 17"; a put names
    // loaded TrueType fonts only, and applies to text written after it.
    std::string GetFallbackFonts() const;
    void SetFallbackFonts(std::string_view numbers);
    // OpenType features that Unicode text written from now on is shaped with, as "-kern,+smcp"; a put
    // that HarfBuzz cannot read throws EPDFError.
    std::string GetTextFeatures() const { return textFeatures_ ? *textFeatures_ : std::string(); }
    void SetTextFeatures(std::string_view features);
    bool GetEmbedFont(int32_t fontNum) const;
    void SetEmbedFont(int32_t fontNum, bool embed);
    void SetFontOffset(int32_t fontNum, int16_t offset);
    // The narrow forms take code-page text; the wide forms take a caller's text, which UnicodeText
    // keeps whole in TrueType fonts.
    double TextLineWidth(std::string_view text) const;
    double TextLineWidth(std::u16string_view text) const;

    // Text resources and links (document/text_members.cpp).
    int32_t CreateText();
    void WriteText(std::string_view text);
    void WriteText(std::u16string_view text);
    void WriteLink(std::string_view text, std::string_view link);
    void WriteLink(std::u16string_view text, std::string_view link);
    void SetImageLink(int32_t page, int32_t index, std::string_view link);
    int32_t GetTextFont() const;
    void SetTextFont(int32_t font);
    int32_t GetTextSize() const;
    void SetTextSize(int32_t size);
    uint32_t GetTextColor() const;
    void SetTextColor(uint32_t color);
    double GetTextLineSpacing() const;
    void SetTextLineSpacing(double spacing);
    int32_t GetTextAlign() const;
    void SetTextAlign(int32_t align);
    // The paragraph direction of Unicode text written from now on: 0 from its first strong
    // character, 1 left to right, 2 right to left; other values throw EPDFError.
    int32_t GetTextDirection() const;
    void SetTextDirection(int32_t direction);
    double GetTextMaxWidth() const;
    void SetTextMaxWidth(double width);
    double GetTextSkewX() const;
    void SetTextSkewX(double skew);
    double GetTextSkewY() const;
    void SetTextSkewY(double skew);
    bool GetTextUnderline() const;
    void SetTextUnderline(bool underline);
    double TextBlockWidth();
    double TextBlockHeight();

    // Images (document/image_members.cpp). File names are 8-bit strings; each adding member
    // returns the new resource's number and adds nothing when it fails.
    int32_t AddImageFile(const std::string& fileName);
    int32_t AddImageBytes(std::span<const uint8_t> bytes);
    // The 32-bit argument of the automation member, sign-extended; 0 adds nothing and gives 0.
    int32_t AddImageBMPHandle(int32_t handle, TBitmapHandleSource& handles);
    int32_t ImageCount(const std::string& fileName) const;
    double ImageWidth(int32_t index) const;
    double ImageHeight(int32_t index) const;
    // 0 and negative numbers are ignored.
    void SetImageReadNumber(int32_t number);
    void SetMaxImagePixels(int32_t pixels);
    TImageSettings ImageSettings() const;

    // Navigation. Pages and heights are kept as given and checked when the file is written; a height is
    // in the current units.
    int32_t AddBookmark(std::u16string_view title, int32_t page, double y, int32_t level);
    bool GetBookmarkOpen(int32_t number) const;
    void SetBookmarkOpen(int32_t number, bool open);
    // A name defined again moves to its new place; an empty name is ignored.
    void AddDestination(std::string_view name, int32_t page, double y);
    const TDestination* Destination(std::string_view name) const;
    void SetPageMode(int32_t mode);
    void SetOpenPage(int32_t page);

    // Writes the complete PDF file to dest; dest receives nothing on failure.
    void SaveToStream(TStream& dest);

    // How text written now in font `font` is kept and measured, kept as Unicode when asked for.
    TTextMode TextMode(int32_t font, bool unicode) const;

private:
    // Bookmarks and destinations on page `page` or after it move one page on.
    void PageInserted(int32_t page);
    void ClearNavigation();
    // A link as stored: "#page=N&y=Y" has Y turned into points now, so later unit changes leave it.
    std::string LinkTarget(std::string_view link) const;
    // Adds a link's text through add, in the link format when LinkStandardFormat is on.
    void AddLinkText(const std::function<void(TPDFTextRes&)>& add);
    // Appends a resource and returns its number, the list's new length.
    int32_t AppendResource(std::unique_ptr<TPDFResource> resource);
    // Appends an image resource, its samples and soft mask moved to the spool when the memory they
    // would take passes HeldPictureBytes.
    int32_t AppendImage(std::unique_ptr<TPDFImageRes> image);
    // Where source data passed through from a file of that size waits for the save: the spool, once
    // the first large file comes, or none.
    const std::shared_ptr<TByteSpool>& SpoolFor(std::size_t fileBytes);
    const std::shared_ptr<TByteSpool>& Spool();

    std::shared_ptr<const std::vector<int32_t>> fallbackFonts_;
    std::shared_ptr<const std::string> textFeatures_;
    std::shared_ptr<TByteSpool> spool_; // shared with the process's other documents
    bool spoolRefused_ = false;         // no temporary file could be made for it
    std::size_t heldPictureBytes_ = 0;  // picture data of the resources kept in memory
    std::vector<uint8_t> readBuffer_;
};

} // namespace pagelith
