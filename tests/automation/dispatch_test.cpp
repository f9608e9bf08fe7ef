// Names, DISPIDs and Invoke's argument handling, as script hosts exercise them.
#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <string>

#include "automation/member_table.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

std::u16string Wide(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TEST(Dispatch, EveryMemberNameHasItsDispidInAnyLetterCase) {
    TScriptObject doc;
    ASSERT_NE(doc.Dispatch(), nullptr);
    ASSERT_EQ(kMembers.size(), 87u);
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
        std::string upper(kMembers[i].Name), lower(kMembers[i].Name);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const DISPID expected = 0xC9 + static_cast<DISPID>(i);
        EXPECT_EQ(doc.Id(Wide(kMembers[i].Name)), expected) << kMembers[i].Name;
        EXPECT_EQ(doc.Id(Wide(upper)), expected) << upper;
        EXPECT_EQ(doc.Id(Wide(lower)), expected) << lower;
    }
    EXPECT_EQ(doc.Id(u"addpage"), 0xC9);
    EXPECT_EQ(doc.Id(u"BinaryWrite"), 0xED);
    EXPECT_EQ(doc.Id(u"TEXTLINEWIDTH"), 0x10B);
    EXPECT_EQ(doc.Id(u"AppendText"), 0x110);
    EXPECT_EQ(doc.Id(u"unicodetext"), 0x111);
    EXPECT_EQ(doc.Id(u"SUBSETFONTS"), 0x112);
}

TEST(Dispatch, UnknownNamesAndParameterNames) {
    TScriptObject doc;
    const UniqueBstr locate(U16ToBstr(u"locate")), y(U16ToBstr(u"Y")), bogus(U16ToBstr(u"Z9"));
    LPOLESTR names[] = {locate.get(), y.get(), bogus.get()};
    DISPID ids[3] = {};
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 0xCE);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);

    const UniqueBstr unknown(U16ToBstr(u"AddPages")), empty(U16ToBstr(u""));
    LPOLESTR one[] = {unknown.get()};
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    one[0] = empty.get();
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, ids), DISP_E_UNKNOWNNAME);
    one[0] = nullptr;
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, ids), DISP_E_UNKNOWNNAME);
    const std::u16string longName(5000, u'A');
    const UniqueBstr huge(U16ToBstr(longName));
    one[0] = huge.get();
    EXPECT_EQ(doc.Dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, ids), DISP_E_UNKNOWNNAME);

    UINT count = 99;
    EXPECT_EQ(doc.Dispatch()->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST(Dispatch, InvokeKindsMustFitTheMember) {
    TScriptObject doc;
    EXPECT_EQ(doc.InvokeId(0xC8, DISPATCH_METHOD, {}).Hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.InvokeId(0x120, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.InvokeId(DISPID_UNKNOWN, DISPATCH_METHOD, {}).Hr, DISP_E_MEMBERNOTFOUND);
    // A method is not a property, a read-only property has no put.
    EXPECT_EQ(doc.Put(u"AddPage", {I4(1)}).Hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.Put(u"TextBlockWidth", {R8(1)}).Hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"CreateGraphic"), DISPATCH_PROPERTYGET, {}).Hr, DISP_E_MEMBERNOTFOUND);
    // Script hosts read properties and call methods with METHOD | PROPERTYGET.
    EXPECT_EQ(doc.InvokeId(doc.Id(u"CreateGraphic"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Long(), 1);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"CreateGraphic"), DISPATCH_METHOD, {}).Long(), 2);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Units"), DISPATCH_PROPERTYGET, {}).Long(), 0);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Units"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Long(), 0);
}

TEST(Dispatch, ArgumentCountsAndMissingArguments) {
    TScriptObject doc;
    EXPECT_EQ(doc.Call(u"AddPage").Hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(doc.Call(u"AddPage", {I4(0), I4(0)}).Hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(doc.Call(u"Clear", {I4(0)}).Hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(doc.Get(u"PageWidth").Hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(doc.Put(u"PageWidth", {R8(100)}).Hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(doc.Put(u"Units", {I4(1), I4(2)}).Hr, DISP_E_BADPARAMCOUNT);

    const TCall missing = doc.Call(u"Locate", {I4(1), I4(1), Missing(), R8(2)});
    EXPECT_EQ(missing.Hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(missing.ArgError, 1u); // X is second from the end in DISPPARAMS order

    // A put needs its value named DISPID_PROPERTYPUT.
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Units"), DISPATCH_PROPERTYPUT, {I4(1)}).Hr, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(doc.Get(u"Units").Long(), 0);

    DISPPARAMS broken{nullptr, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(doc.Dispatch()->Invoke(0xC9, IID_NULL, 0, DISPATCH_METHOD, &broken, &result, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(doc.Dispatch()->Invoke(0xC9, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
              E_INVALIDARG);
}

TEST(Dispatch, ArgumentsAreCoercedToTheirDeclaredTypes) {
    TScriptObject doc;
    EXPECT_EQ(doc.Put(u"Units", {Str(u"3")}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Units").Long(), 3);
    EXPECT_EQ(doc.Put(u"Units", {I2(1)}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Units").Long(), 1);
    EXPECT_EQ(doc.Put(u"Units", {R8(2.0)}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Units").Long(), 2);
    EXPECT_EQ(doc.Put(u"Units", {TVariant()}).Hr, S_OK); // an empty variant reads as 0
    EXPECT_EQ(doc.Get(u"Units").Long(), 0);

    // By reference, and a variant by reference, as VBScript passes variables.
    LONG units = 3;
    TVariant byRef;
    byRef.get()->vt = VT_I4 | VT_BYREF;
    byRef.get()->plVal = &units;
    EXPECT_EQ(doc.Put(u"Units", {byRef}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Units").Long(), 3);
    TVariant inner = Str(u"Title text");
    TVariant variantRef;
    variantRef.get()->vt = VT_VARIANT | VT_BYREF;
    variantRef.get()->pvarVal = inner.get();
    EXPECT_EQ(doc.Put(u"Title", {variantRef}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Title").String(), u"Title text");

    // Numbers to strings and back, booleans from strings.
    EXPECT_EQ(doc.Put(u"Author", {I4(42)}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"Author").String(), u"42");
    EXPECT_EQ(doc.Put(u"MergeAlpha", {Str(u"True")}).Hr, S_OK);
    EXPECT_EQ(doc.Get(u"MergeAlpha").Boolean(), VARIANT_TRUE);
}

TEST(Dispatch, TypeMismatchNamesTheArgument) {
    TScriptObject doc;
    doc.Call(u"AddPage", {I4(0)});
    doc.Call(u"CreateGraphic");
    ASSERT_EQ(doc.Call(u"ApplyResource", {I4(1), I4(1)}).Long(), 1);

    const TCall bad = doc.Call(u"Locate", {I4(1), I4(1), Str(u"left"), R8(2)});
    EXPECT_EQ(bad.Hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad.ArgError, 1u);
    const TCall badFirst = doc.Call(u"Locate", {Str(u"x"), I4(1), R8(1), R8(2)});
    EXPECT_EQ(badFirst.ArgError, 3u);
    const TCall overflow = doc.Call(u"AddPage", {R8(1e20)});
    EXPECT_EQ(overflow.Hr, DISP_E_OVERFLOW);
    EXPECT_EQ(overflow.ArgError, 0u);
    TVariant nullValue;
    nullValue.get()->vt = VT_NULL;
    EXPECT_EQ(doc.Put(u"Units", {nullValue}).Hr, DISP_E_TYPEMISMATCH);
    TVariant dangling;
    dangling.get()->vt = VT_VARIANT | VT_BYREF;
    dangling.get()->pvarVal = nullptr;
    EXPECT_EQ(doc.Put(u"Title", {dangling}).Hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(doc.Put(u"Title", {Str(u"unchanged")}).Hr, S_OK);
    EXPECT_EQ(doc.Put(u"Title", {R8(std::numeric_limits<double>::quiet_NaN())}).Hr, S_OK);
}

TEST(Dispatch, NamedArgumentsMayComeInAnyOrder) {
    TScriptObject doc;
    doc.Call(u"AddPage", {I4(0)});
    // PageWidth(Page:=1) = 300: the value named DISPID_PROPERTYPUT first, then the page named 0.
    EXPECT_EQ(
        doc.InvokeId(doc.Id(u"PageWidth"), DISPATCH_PROPERTYPUT, {I4(1), R8(300)}, {DISPID_PROPERTYPUT, 0})
            .Hr,
        S_OK);
    EXPECT_EQ(doc.Get(u"PageWidth", {I4(1)}).Double(), 300.0);

    // Locate 1, 1, Y:=20, X:=10: rgvarg holds Y, X, then the positional Index and Page.
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Locate"), DISPATCH_METHOD, {I4(1), I4(1), R8(10), R8(20)}, {3, 2}).Hr,
              S_OK);
    const TCall mismatch =
        doc.InvokeId(doc.Id(u"Locate"), DISPATCH_METHOD, {I4(1), I4(1), R8(10), Str(u"y")}, {3, 2});
    EXPECT_EQ(mismatch.Hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.ArgError, 0u);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Locate"), DISPATCH_METHOD, {I4(1), I4(1), R8(10), R8(20)}, {2, 2}).Hr,
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(doc.InvokeId(doc.Id(u"Locate"), DISPATCH_METHOD, {I4(1), I4(1), R8(10), R8(20)}, {3, 7}).Hr,
              DISP_E_PARAMNOTFOUND);
}

TEST(Dispatch, ResultsMayBeDiscarded) {
    TScriptObject doc;
    doc.Put(u"Title", {Str(u"kept")});
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(doc.Dispatch()->Invoke(doc.Id(u"Title"), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr,
                                     nullptr, nullptr),
              S_OK);
    EXPECT_EQ(doc.Dispatch()->Invoke(doc.Id(u"StreamData"), IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                                     nullptr, nullptr),
              S_OK);
    EXPECT_EQ(doc.Dispatch()->Invoke(doc.Id(u"Units"), IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr,
                                     nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, IdlListsEveryInterfaceEntry) {
    const std::string idl = IdlMemberDeclarations(kDocInterface);
    std::size_t entries = 0;
    for (std::size_t at = idl.find("HRESULT _stdcall"); at != std::string::npos;
         at = idl.find("HRESULT _stdcall", at + 1))
        ++entries;
    EXPECT_EQ(entries, 114u);
    EXPECT_NE(idl.find("[propput, id(0x000000e7), helpstring(\"Units of measure.\")]\n"
                       "    HRESULT _stdcall Units([in] long);"),
              std::string::npos);
    EXPECT_NE(
        idl.find(
            "[id(0x00000102)]\n    HRESULT _stdcall SetFontOffset([in] long FontNum, [in] long Offset);"),
        std::string::npos);
    EXPECT_EQ(idl.find("UnicodeText"), std::string::npos) << "IPDFSvrDoc stays as published";

    const std::string idl2 = IdlMemberDeclarations(kDoc2Interface);
    EXPECT_EQ(idl2.find("AddPage"), std::string::npos) << "only what IPDFSvrDoc2 adds";
    EXPECT_NE(
        idl2.find("[propput, id(0x00000112), helpstring(\"Embed only the glyphs that the document uses.\")]\n"
                  "    HRESULT _stdcall SubsetFonts([in] VARIANT_BOOL);"),
        std::string::npos);
}

} // namespace
} // namespace pagelith::test
