// IPDFSvrDoc2 beside the published IPDFSvrDoc: one object answers both, the new properties are reached
// through the vtable and through IDispatch, and IPDFSvrDoc's clients see nothing change.
#include <gtest/gtest.h>

#include "automation/ipdfsvrdoc.h"
#include "automation/member_table.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

template <class T> T* Ask(IUnknown* from, REFIID iid) {
    void* out = nullptr;
    return from->QueryInterface(iid, &out) == S_OK ? static_cast<T*>(out) : nullptr;
}

// Both of IPDFSvrDoc2's properties as its vtable reaches them.
struct TFlag {
    const char16_t* Name;
    DISPID Id;
    HRESULT (STDMETHODCALLTYPE IPDFSvrDoc2::*Get)(VARIANT_BOOL*);
    HRESULT (STDMETHODCALLTYPE IPDFSvrDoc2::*Put)(VARIANT_BOOL);
};
const TFlag kFlags[] = {
    {u"UnicodeText", 0x111, &IPDFSvrDoc2::get_UnicodeText, &IPDFSvrDoc2::put_UnicodeText},
    {u"SubsetFonts", 0x112, &IPDFSvrDoc2::get_SubsetFonts, &IPDFSvrDoc2::put_SubsetFonts},
};

TEST(SecondInterface, OneObjectAnswersBothInterfaces) {
    TScriptObject script;
    IDispatch* dispatch = script.Dispatch();
    ASSERT_NE(dispatch, nullptr);
    IPDFSvrDoc2* doc2 = Ask<IPDFSvrDoc2>(dispatch, IID_IPDFSvrDoc2);
    IPDFSvrDoc* doc = Ask<IPDFSvrDoc>(dispatch, IID_IPDFSvrDoc);
    ASSERT_NE(doc2, nullptr);
    ASSERT_NE(doc, nullptr);
    IUnknown* identity = Ask<IUnknown>(doc2, IID_IUnknown);
    IUnknown* identity1 = Ask<IUnknown>(doc, IID_IUnknown);
    EXPECT_EQ(identity, identity1);
    identity->Release();
    identity1->Release();

    // An IPDFSvrDoc client and an IPDFSvrDoc2 client share the one document.
    EXPECT_EQ(doc->put_AppendText(VARIANT_TRUE), S_OK);
    VARIANT_BOOL flag = 0;
    EXPECT_EQ(doc2->get_AppendText(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(doc->AddPage(0), S_OK);
    double width = 0;
    EXPECT_EQ(doc2->get_PageWidth(1, &width), S_OK);
    EXPECT_EQ(width, 595.0);

    ISupportErrorInfo* support = Ask<ISupportErrorInfo>(doc2, IID_ISupportErrorInfo);
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPDFSvrDoc2), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPDFSvrDoc), S_OK);
    support->Release();
    doc->Release();
    doc2->Release();
}

TEST(SecondInterface, PropertiesThroughTheVtable) {
    TScriptObject script;
    IPDFSvrDoc2* doc = Ask<IPDFSvrDoc2>(script.Dispatch(), IID_IPDFSvrDoc2);
    ASSERT_NE(doc, nullptr);
    for (const TFlag& f : kFlags) {
        SCOPED_TRACE(std::string(f.Name, f.Name + 11));
        VARIANT_BOOL value = 42;
        EXPECT_EQ((doc->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_FALSE);
        EXPECT_EQ((doc->*f.Put)(VARIANT_TRUE), S_OK);
        EXPECT_EQ((doc->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE);
        EXPECT_EQ((doc->*f.Put)(7), S_OK); // any non-zero value is true
        EXPECT_EQ((doc->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE);
        EXPECT_EQ((doc->*f.Get)(nullptr), E_POINTER);
        EXPECT_EQ((doc->*f.Put)(VARIANT_FALSE), S_OK);
        EXPECT_EQ((doc->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_FALSE);
    }
    doc->Release();
}

TEST(SecondInterface, PropertiesThroughIDispatchByDispidAndName) {
    TScriptObject doc;
    IPDFSvrDoc2* early = Ask<IPDFSvrDoc2>(doc.Dispatch(), IID_IPDFSvrDoc2);
    ASSERT_NE(early, nullptr);
    for (const TFlag& f : kFlags) {
        SCOPED_TRACE(std::string(f.Name, f.Name + 11));
        EXPECT_EQ(doc.Id(f.Name), f.Id);
        const TMemberInfo* member = FindMember(f.Id);
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(FindMemberByName(f.Name), member);

        EXPECT_EQ(doc.InvokeId(f.Id, DISPATCH_PROPERTYGET, {}).Boolean(), VARIANT_FALSE);
        TVariant on = Bool(VARIANT_TRUE);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{on.get(), &named, 1, 1};
        EXPECT_EQ(doc.Dispatch()->Invoke(f.Id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                         nullptr),
                  S_OK);
        VARIANT_BOOL value = 0;
        EXPECT_EQ((early->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE);
        EXPECT_EQ(doc.Get(f.Name).Boolean(), VARIANT_TRUE);

        // By name, with the script conversions the other properties have.
        EXPECT_EQ(doc.Put(f.Name, {I4(0)}).Hr, S_OK);
        EXPECT_EQ(doc.Call(f.Name).Boolean(), VARIANT_FALSE);
        EXPECT_EQ(doc.Put(f.Name, {Str(u"True")}).Hr, S_OK);
        EXPECT_EQ(doc.Get(f.Name).Boolean(), VARIANT_TRUE);
        EXPECT_EQ(doc.Put(f.Name, {Str(u"maybe")}).Hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(doc.Get(f.Name).Boolean(), VARIANT_TRUE);
        // A property is not a method, and takes no index.
        EXPECT_EQ(doc.InvokeId(f.Id, DISPATCH_METHOD, {}).Hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(doc.Get(f.Name, {I4(1)}).Hr, DISP_E_BADPARAMCOUNT);
    }
    early->Release();
}

TEST(SecondInterface, UnknownDispidsStillFail) {
    TScriptObject doc;
    const DISPID past = kFirstDispId + static_cast<DISPID>(kMembers.size());
    EXPECT_EQ(past, 0x120);
    EXPECT_EQ(FindMember(past), nullptr);
    for (WORD flags :
         {WORD{DISPATCH_METHOD}, WORD{DISPATCH_PROPERTYGET}, WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET}})
        EXPECT_EQ(doc.InvokeId(past, flags, {}).Hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.InvokeId(past, DISPATCH_PROPERTYPUT, {Bool(VARIANT_TRUE)}, {DISPID_PROPERTYPUT}).Hr,
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc.Id(u"UnicodeTexts"), DISPID_UNKNOWN);
}

// Like the document's other settings (MergeAlpha, AppendText), the new ones are not reset by Clear.
TEST(SecondInterface, SettingsSurviveClearLikeTheOthers) {
    TScriptObject doc;
    for (const char16_t* name : {u"MergeAlpha", u"UnicodeText", u"SubsetFonts"})
        ASSERT_EQ(doc.Put(name, {Bool(VARIANT_TRUE)}).Hr, S_OK);
    doc.Call(u"AddPage", {I4(0)});
    ASSERT_EQ(doc.Call(u"Clear").Hr, S_OK);
    for (const char16_t* name : {u"MergeAlpha", u"UnicodeText", u"SubsetFonts"})
        EXPECT_EQ(doc.Get(name).Boolean(), VARIANT_TRUE);

    // A new object starts from the defaults again.
    TScriptObject fresh;
    EXPECT_EQ(fresh.Get(u"UnicodeText").Boolean(), VARIANT_FALSE);
    EXPECT_EQ(fresh.Get(u"SubsetFonts").Boolean(), VARIANT_FALSE);
}

} // namespace
} // namespace pagelith::test
