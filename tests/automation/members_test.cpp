// Defaults, boundary conversions and error reporting of the automation members.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "script_host.h"

namespace pagelith::test {
namespace {

TEST(Members, NewObjectDefaults) {
    TScriptObject doc;
    ASSERT_NE(doc.Dispatch(), nullptr);
    struct {
        const char16_t* Name;
        LONG Value;
    } const longs[] = {{u"Units", 0},
                       {u"DefaultPageSize", 1},
                       {u"CurrentGraphic", 0},
                       {u"CurrentText", 0},
                       {u"CompressionBW", 1},
                       {u"CompressionIndexed", 2},
                       {u"CompressionRGB", 2},
                       {u"CompressionGray", 2},
                       {u"ImageReadNumber", 1},
                       {u"LinkSize", 10},
                       {u"LinkFont", 15},
                       {u"LineWidth", 0},
                       {u"TextFont", 0},
                       {u"TextSize", 0},
                       {u"TextAlign", 0},
                       {u"LinkColor", 0xFF0000},
                       {u"MergeAlphaColor", 0xFFFFFF},
                       {u"FillColor", 0xFFFFFF},
                       {u"LineColor", 0},
                       {u"TextColor", 0}};
    for (const auto& p : longs) EXPECT_EQ(doc.Get(p.Name).Long(), p.Value) << std::string(p.Name, p.Name + 4);
    struct {
        const char16_t* Name;
        VARIANT_BOOL Value;
    } const flags[] = {{u"UseSourceCompression", -1},
                       {u"ReleaseBMPHandle", -1},
                       {u"LinkStandardFormat", -1},
                       {u"LinkUnderline", -1},
                       {u"LinkBorder", 0},
                       {u"MergeAlpha", 0},
                       {u"AppendText", 0},
                       {u"UnicodeText", 0},
                       {u"SubsetFonts", 0},
                       {u"StreamInline", -1},
                       {u"TextUnderline", 0}};
    for (const auto& p : flags) EXPECT_EQ(doc.Get(p.Name).Boolean(), p.Value);
    for (const char16_t* name : {u"Title", u"Subject", u"Author", u"Keywords", u"StreamFileName"}) {
        const TCall call = doc.Get(name);
        EXPECT_EQ(call.Hr, S_OK);
        EXPECT_EQ(call.Value.vt(), VT_BSTR);
        EXPECT_EQ(call.String(), u"");
    }
    EXPECT_EQ(doc.Get(u"TextLineSpacing").Double(), 15.0);
    EXPECT_EQ(doc.Get(u"TextMaxWidth").Double(), -1.0);
    EXPECT_EQ(doc.Get(u"TextBlockWidth").Double(), -1.0);
    EXPECT_EQ(doc.Get(u"TextBlockHeight").Double(), 0.0);
    EXPECT_EQ(doc.Get(u"PageSize", {I4(1)}).Long(), 0);
    EXPECT_EQ(doc.Get(u"PageWidth", {I4(1)}).Double(), 0.0);
    EXPECT_EQ(doc.Get(u"ImageWidth", {I4(1)}).Double(), 0.0);
    EXPECT_EQ(doc.Get(u"EmbedFont", {I4(15)}).Boolean(), 0);
}

TEST(Members, EightBitSettingsKeepTheLowByte) {
    TScriptObject doc;
    doc.Put(u"Units", {I4(256)});
    EXPECT_EQ(doc.Get(u"Units").Long(), 0);
    doc.Put(u"Units", {I4(257)});
    EXPECT_EQ(doc.Get(u"Units").Long(), 1);
    doc.Put(u"DefaultPageSize", {I4(-254)}); // low byte 2
    EXPECT_EQ(doc.Get(u"DefaultPageSize").Long(), 2);
    doc.Call(u"AddPage", {I4(0)});
    EXPECT_EQ(doc.Get(u"PageSize", {I4(1)}).Long(), 2);
    doc.Put(u"PageSize", {I4(1), I4(129 + 256)});
    EXPECT_EQ(doc.Get(u"PageSize", {I4(1)}).Long(), 1);
    doc.Put(u"Units", {I4(0)});
    EXPECT_EQ(doc.Get(u"PageWidth", {I4(1)}).Double(), 595.0); // 129 sizes like 1

    doc.Call(u"CreateText");
    doc.Put(u"TextAlign", {I4(0x182)});
    EXPECT_EQ(doc.Get(u"TextAlign").Long(), 2);
    doc.Put(u"TextAlign", {I4(0x81)});
    EXPECT_EQ(doc.Get(u"TextAlign").Long(), 1);
}

TEST(Members, CompressionPutsRejectSomeCodes) {
    TScriptObject doc;
    doc.Put(u"CompressionBW", {I4(3)});
    EXPECT_EQ(doc.Get(u"CompressionBW").Long(), 1);
    doc.Put(u"CompressionBW", {I4(259)}); // stores as 3, so it is rejected too
    EXPECT_EQ(doc.Get(u"CompressionBW").Long(), 1);
    doc.Put(u"CompressionBW", {I4(0)});
    EXPECT_EQ(doc.Get(u"CompressionBW").Long(), 0);
    doc.Put(u"CompressionIndexed", {I4(1)});
    doc.Put(u"CompressionIndexed", {I4(3)});
    EXPECT_EQ(doc.Get(u"CompressionIndexed").Long(), 2);
    doc.Put(u"CompressionIndexed", {I4(0)});
    EXPECT_EQ(doc.Get(u"CompressionIndexed").Long(), 0);
    doc.Put(u"CompressionRGB", {I4(1)});
    EXPECT_EQ(doc.Get(u"CompressionRGB").Long(), 2);
    doc.Put(u"CompressionRGB", {I4(3)});
    EXPECT_EQ(doc.Get(u"CompressionRGB").Long(), 3);
    doc.Put(u"CompressionGray", {I4(1)});
    EXPECT_EQ(doc.Get(u"CompressionGray").Long(), 2);
    doc.Put(u"CompressionGray", {I4(0x103)});
    EXPECT_EQ(doc.Get(u"CompressionGray").Long(), 3);
}

TEST(Members, BooleansReadBackMinusOneExceptStreamInline) {
    TScriptObject doc;
    for (const char16_t* name :
         {u"UseSourceCompression", u"ReleaseBMPHandle", u"LinkStandardFormat", u"LinkUnderline",
          u"LinkBorder", u"MergeAlpha", u"AppendText", u"UnicodeText", u"SubsetFonts"}) {
        EXPECT_EQ(doc.Put(name, {Bool(0)}).Hr, S_OK);
        EXPECT_EQ(doc.Get(name).Boolean(), 0);
        EXPECT_EQ(doc.Put(name, {Bool(1)}).Hr, S_OK);
        EXPECT_EQ(doc.Get(name).Boolean(), -1);
        EXPECT_EQ(doc.Put(name, {Bool(0x1234)}).Hr, S_OK);
        EXPECT_EQ(doc.Get(name).Boolean(), -1);
    }
    doc.Put(u"StreamInline", {Bool(1)});
    EXPECT_EQ(doc.Get(u"StreamInline").Boolean(), 1);
    doc.Put(u"StreamInline", {Bool(0)});
    EXPECT_EQ(doc.Get(u"StreamInline").Boolean(), 0);
    doc.Call(u"CreateText");
    doc.Put(u"TextUnderline", {Bool(7)});
    EXPECT_EQ(doc.Get(u"TextUnderline").Boolean(), -1);
}

TEST(Members, ColoursAndOtherFieldsPassUnchanged) {
    TScriptObject doc;
    doc.Put(u"LinkColor", {I4(-1)}); // a script's &HFFFFFFFF
    const TCall all = doc.Get(u"LinkColor");
    EXPECT_EQ(all.Value.vt(), VT_UI4);
    EXPECT_EQ((*all.Value).ulVal, 0xFFFFFFFFu);
    doc.Put(u"MergeAlphaColor", {I4(0x80000000 - 1)});
    EXPECT_EQ(doc.Get(u"MergeAlphaColor").Long(), 0x7FFFFFFF);
    doc.Call(u"CreateGraphic");
    doc.Put(u"LineColor", {I4(0x123456)});
    EXPECT_EQ(doc.Get(u"LineColor").Long(), 0x123456);

    doc.Put(u"CurrentText", {I4(-7)});
    EXPECT_EQ(doc.Get(u"CurrentText").Long(), -7);
    doc.Put(u"LinkSize", {I4(-3)});
    EXPECT_EQ(doc.Get(u"LinkSize").Long(), -3);
    doc.Put(u"ImageReadNumber", {I4(0)});
    doc.Put(u"ImageReadNumber", {I4(-5)});
    EXPECT_EQ(doc.Get(u"ImageReadNumber").Long(), 1);
    doc.Put(u"ImageReadNumber", {I4(4)});
    EXPECT_EQ(doc.Get(u"ImageReadNumber").Long(), 4);
    doc.Put(u"LinkFont", {I4(15)}); // no TrueType font added yet
    doc.Put(u"LinkFont", {I4(3)});
    EXPECT_EQ(doc.Get(u"LinkFont").Long(), 15);
    doc.Put(u"LinkFont", {I4(16)});
    EXPECT_EQ(doc.Get(u"LinkFont").Long(), 15);
}

TEST(Members, PagesPlacementsAndUnits) {
    TScriptObject doc;
    EXPECT_EQ(doc.Call(u"ApplyResource", {I4(1), I4(1)}).Long(), 0);
    doc.Call(u"AddPage", {I4(0)});
    doc.Put(u"Units", {I4(1)});
    EXPECT_NEAR(doc.Get(u"PageWidth", {I4(1)}).Double(), 595.0 / 72.0, 1e-12);
    doc.Put(u"PageWidth", {I4(1), R8(8.5)});
    doc.Put(u"Units", {I4(0)});
    EXPECT_EQ(doc.Get(u"PageWidth", {I4(1)}).Double(), 612.0);
    EXPECT_EQ(doc.Get(u"PageSize", {I4(1)}).Long(), 0);
    EXPECT_EQ(doc.Call(u"CreateText").Long(), 1);
    EXPECT_EQ(doc.Call(u"ApplyResource", {I4(1), I4(1)}).Long(), 1);
    EXPECT_EQ(doc.Call(u"ApplyResource", {I4(1), I4(1)}).Long(), 2);
    EXPECT_EQ(doc.Call(u"Clear").Hr, S_OK);
    EXPECT_EQ(doc.Call(u"CreateGraphic").Long(), 1);
    EXPECT_EQ(doc.Get(u"CurrentText").Long(), 0);
}

TEST(Members, MissingImageFileFailsWithFileNotFound) {
    TScriptObject doc;
    SetErrorInfo(0, nullptr);
    const TCall call = doc.Call(u"AddImageFile", {Str(u"/no/such/dir/picture.png")});
    EXPECT_EQ(call.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<uint32_t>(call.Scode), 0x8000FFFFu);
    EXPECT_EQ(call.Description, u"File not found");
    EXPECT_EQ(call.Source, u"PagelithASP.PDFSvrDoc");
    const TErrorInfo info = TakeErrorInfo();
    ASSERT_TRUE(info.Present);
    EXPECT_TRUE(IsEqualGUID(info.Guid, IID_IPDFSvrDoc));
    EXPECT_EQ(info.Source, u"PagelithASP.PDFSvrDoc");
    EXPECT_EQ(info.Description, u"File not found");
    EXPECT_EQ(doc.Call(u"CreateGraphic").Long(), 1); // the document is unchanged

    // Without EXCEPINFO the result is the same and the error information is still there.
    const TCall bare = doc.InvokeId(doc.Id(u"AddImageFile"), DISPATCH_METHOD, {NullStr()}, {}, false);
    EXPECT_EQ(bare.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(TakeErrorInfo().Description, u"File not found");

    const TCall count = doc.Get(u"ImageCount", {Str(u"/no/such/file.tif")});
    EXPECT_EQ(count.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<uint32_t>(count.Scode), 0x8000FFFFu);
    EXPECT_EQ(count.Description, u"File not found: /no/such/file.tif");
    const TCall withNul = doc.Get(u"ImageCount", {Str(std::u16string(u"/etc/hostname\0x", 15))});
    EXPECT_EQ(withNul.Description.substr(0, 16), u"File not found: ");
}

TEST(Members, ImageMembersRefuseWhatIsNoPicture) {
    TScriptObject doc;
    const std::string path = std::string(PAGELITH_TEST_OUTPUT_DIR) + "/automation-existing.bin";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::system(("mkdir -p " + std::string(PAGELITH_TEST_OUTPUT_DIR)).c_str());
        f = std::fopen(path.c_str(), "wb");
    }
    ASSERT_NE(f, nullptr);
    std::fputs("XY not a picture", f);
    std::fclose(f);
    const std::u16string wide(path.begin(), path.end());
    struct {
        TCall Call;
        const char16_t* Description;
    } const cases[] = {
        {doc.Call(u"AddImageFile", {Str(wide)}), u"File is not a supported image format"},
        {doc.Get(u"ImageCount", {Str(wide)}), u"File is not a supported graphics format"},
        {doc.Call(u"AddImageBytes", {Str(u"XY")}), u"File is not a supported image format"},
        {doc.Call(u"AddImageBytes", {Str(u"X")}), u"Stream read error"},
        {doc.Call(u"AddImageBMPHandle", {I4(5)}),
         u"The handle is neither a bitmap nor global memory holding a packed bitmap"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Call.Hr, DISP_E_EXCEPTION);
        EXPECT_EQ(static_cast<uint32_t>(c.Call.Scode), 0x8000FFFFu);
        EXPECT_EQ(c.Call.Description, c.Description);
    }
    EXPECT_EQ(doc.Call(u"AddImageBMPHandle", {I4(0)}).Long(), 0);
    EXPECT_EQ(doc.Call(u"CreateText").Long(), 1); // nothing was added
}

TEST(Members, StringsSurviveNulsHugeLengthsAndForeignCharacters) {
    TScriptObject doc;
    const std::u16string withNul(u"a\0b", 3);
    doc.Put(u"Title", {Str(withNul)});
    EXPECT_EQ(doc.Get(u"Title").String(), withNul);
    doc.Put(u"Title", {NullStr()});
    EXPECT_EQ(doc.Get(u"Title").String(), u"");
    const std::u16string huge(1 << 20, u'\u4E2D');
    doc.Put(u"Keywords", {Str(huge)});
    EXPECT_EQ(doc.Get(u"Keywords").String(), huge);
    doc.Put(u"StreamFileName", {Str(u"\xD800lone surrogate")});
    EXPECT_EQ(doc.Get(u"StreamFileName").String(), u"\xD800lone surrogate");

    doc.Call(u"AddPage", {I4(0)});
    EXPECT_EQ(doc.Call(u"CreateText").Long(), 1);
    EXPECT_EQ(doc.Call(u"WriteText", {Str(u"\u20AC \u4E2D \xD83D\xDE00 a\0b")}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"WriteText", {NullStr()}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"WriteLink", {Str(u"x"), Str(u"http://e.example/(a)\\")}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"SetImageLink", {I4(1), I4(1), NullStr()}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"TextLineWidth", {Str(std::u16string(100000, u'W'))}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"AddFont", {Str(u"/no/such/font.ttf")}).Long(), 0);
    EXPECT_EQ(doc.Call(u"AddFont", {NullStr()}).Long(), 0);
    EXPECT_EQ(doc.Call(u"ApplyResource", {I4(1), I4(1)}).Long(), 1);
    EXPECT_EQ(doc.Call(u"StreamData").Hr, S_OK);
}

TEST(Members, ExtremeNumbersAreHarmless) {
    TScriptObject doc;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(doc.Call(u"AddPage", {I4(std::numeric_limits<LONG>::max())}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"AddPage", {I4(std::numeric_limits<LONG>::min())}).Hr, S_OK);
    doc.Call(u"CreateGraphic");
    doc.Call(u"ApplyResource", {I4(1), I4(1)});
    for (double v : {inf, -inf, nan, 1e308, -1e308}) {
        EXPECT_EQ(doc.Put(u"PageWidth", {I4(1), R8(v)}).Hr, S_OK);
        EXPECT_EQ(doc.Put(u"PageHeight", {I4(2), R8(v)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(u"Locate", {I4(1), I4(1), R8(v), R8(v)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(u"ScaleObject", {I4(1), I4(1), R8(v)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(u"Rotate", {I4(1), I4(1), R8(v)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(u"DrawLine", {R8(v), R8(0), R8(v), R8(1)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(u"Ellipse", {R8(v), R8(0), R8(v), R8(1), R8(v)}).Hr, S_OK);
    }
    EXPECT_EQ(doc.Put(u"LineWidth", {I4(std::numeric_limits<LONG>::min())}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"SetFontOffset", {I4(15), I4(0x12345)}).Hr, S_OK);
    EXPECT_EQ(doc.Put(u"EmbedFont", {I4(-1), Bool(-1)}).Hr, S_OK);
    EXPECT_EQ(doc.Call(u"StreamData").Hr, S_OK);
}

} // namespace
} // namespace pagelith::test
