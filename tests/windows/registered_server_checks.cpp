// PagelithASP.dll as an early-bound client compiled against it sees the registered server:
// CoCreateInstance by CLSID, both dual interfaces through their vtables, and the type library that
// registration made known. Run by run.sh between regsvr32 and regsvr32 /u, not by CTest.
#include <gtest/gtest.h>

#include <vector>

#include "automation/guids.h"
#include "automation/ipdfsvrdoc.h"
#include "automation/member_table.h"
#include "platform/com.h"
#include "platform/com_ptr.h"

namespace {

using pagelith::CLSID_PDFSvrDoc;
using pagelith::IID_IPDFSvrDoc;
using pagelith::IID_IPDFSvrDoc2;
using pagelith::IPDFSvrDoc;
using pagelith::IPDFSvrDoc2;
using pagelith::LIBID_PagelithASP;
using pagelith::TComPtr;

GUID GuidOf(ITypeInfo* info) {
    TYPEATTR* type = nullptr;
    if (info->GetTypeAttr(&type) != S_OK) return GUID{};
    const GUID guid = type->guid;
    info->ReleaseTypeAttr(type);
    return guid;
}

class RegisteredServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
};

TEST_F(RegisteredServer, NewPropertiesThroughTheVtable) {
    TComPtr<IPDFSvrDoc2> doc;
    ASSERT_EQ(
        CoCreateInstance(CLSID_PDFSvrDoc, nullptr, CLSCTX_INPROC_SERVER, IID_IPDFSvrDoc2, doc.PutVoid()),
        S_OK);
    struct {
        HRESULT (STDMETHODCALLTYPE IPDFSvrDoc2::*Get)(VARIANT_BOOL*);
        HRESULT (STDMETHODCALLTYPE IPDFSvrDoc2::*Put)(VARIANT_BOOL);
    } const flags[] = {{&IPDFSvrDoc2::get_UnicodeText, &IPDFSvrDoc2::put_UnicodeText},
                       {&IPDFSvrDoc2::get_SubsetFonts, &IPDFSvrDoc2::put_SubsetFonts}};
    for (const auto& f : flags) {
        VARIANT_BOOL value = 42;
        EXPECT_EQ((doc.Get()->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_FALSE);
        EXPECT_EQ((doc.Get()->*f.Put)(VARIANT_TRUE), S_OK);
        EXPECT_EQ((doc.Get()->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE);
    }
    // The other's value stays its own.
    EXPECT_EQ(doc->put_UnicodeText(VARIANT_FALSE), S_OK);
    VARIANT_BOOL unicode = 42, subset = 42;
    EXPECT_EQ(doc->get_UnicodeText(&unicode), S_OK);
    EXPECT_EQ(doc->get_SubsetFonts(&subset), S_OK);
    EXPECT_EQ(unicode, VARIANT_FALSE);
    EXPECT_EQ(subset, VARIANT_TRUE);

    // Late-bound on the same object: the DISPIDs the type library gives.
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(doc->Invoke(0x112, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    EXPECT_EQ(doc->Invoke(0x120, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

// A client built against IPDFSvrDoc alone keeps working, on the same object as an IPDFSvrDoc2 client.
TEST_F(RegisteredServer, PublishedInterfaceUnchanged) {
    TComPtr<IPDFSvrDoc> doc;
    ASSERT_EQ(CoCreateInstance(CLSID_PDFSvrDoc, nullptr, CLSCTX_INPROC_SERVER, IID_IPDFSvrDoc, doc.PutVoid()),
              S_OK);
    ASSERT_EQ(doc->AddPage(0), S_OK);
    double width = 0;
    ASSERT_EQ(doc->get_PageWidth(1, &width), S_OK);
    EXPECT_EQ(width, 595.0);
    EXPECT_EQ(doc->put_AppendText(VARIANT_TRUE), S_OK);
    TComPtr<IPDFSvrDoc2> doc2;
    ASSERT_EQ(doc->QueryInterface(IID_IPDFSvrDoc2, doc2.PutVoid()), S_OK);
    VARIANT_BOOL append = 0;
    EXPECT_EQ(doc2->get_AppendText(&append), S_OK);
    EXPECT_EQ(append, VARIANT_TRUE);
    TComPtr<IUnknown> one, other;
    ASSERT_EQ(doc->QueryInterface(IID_IUnknown, one.PutVoid()), S_OK);
    ASSERT_EQ(doc2->QueryInterface(IID_IUnknown, other.PutVoid()), S_OK);
    EXPECT_EQ(one.Get(), other.Get());
}

TEST_F(RegisteredServer, RegisteredTypeLibraryDescribesIPDFSvrDoc2) {
    TComPtr<ITypeLib> library;
    // Registered under the library's own locale, 0x409, as a client on such a system asks for it.
    ASSERT_EQ(LoadRegTypeLib(LIBID_PagelithASP, 2, 3, 0x0409, library.Put()), S_OK);

    TComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPDFSvrDoc2, info.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(type->typekind == TKIND_DISPATCH || type->typekind == TKIND_INTERFACE);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(type);

    // The vtable form: its own entries in the member table's order, derived from IPDFSvrDoc.
    HREFTYPE vtableRef = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
    TComPtr<ITypeInfo> vtable;
    ASSERT_EQ(info->GetRefTypeInfo(vtableRef, vtable.Put()), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    ASSERT_EQ(type->cFuncs, pagelith::kVtableEntryCount2);
    const UINT funcs = type->cFuncs;
    vtable->ReleaseTypeAttr(type);
    std::vector<MEMBERID> ids;
    std::vector<INVOKEKIND> kinds;
    for (const pagelith::TMemberInfo& m : pagelith::kDoc2Interface.Members) {
        ids.push_back(m.DispId);
        kinds.push_back(m.Kind == pagelith::TMemberKind::Method ? INVOKE_FUNC : INVOKE_PROPERTYGET);
        if (m.HasPut()) {
            ids.push_back(m.DispId);
            kinds.push_back(INVOKE_PROPERTYPUT);
        }
    }
    ASSERT_EQ(ids.size(), funcs);
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, ids[i]) << i;
        EXPECT_EQ(f->invkind, kinds[i]) << i;
        vtable->ReleaseFuncDesc(f);
    }
    for (const pagelith::TMemberInfo& m : pagelith::kDoc2Interface.Members) {
        BSTR name = nullptr;
        ASSERT_EQ(vtable->GetDocumentation(m.DispId, &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(std::wstring(name, SysStringLen(name)), std::wstring(m.Name.begin(), m.Name.end()));
        SysFreeString(name);
    }
    HREFTYPE baseRef = 0;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &baseRef), S_OK);
    TComPtr<ITypeInfo> base;
    ASSERT_EQ(vtable->GetRefTypeInfo(baseRef, base.Put()), S_OK);
    EXPECT_TRUE(IsEqualGUID(GuidOf(base.Get()), IID_IPDFSvrDoc));

    // The class's default interface.
    TComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_PDFSvrDoc, coclass.Put()), S_OK);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE defaultRef = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &defaultRef), S_OK);
    TComPtr<ITypeInfo> defaultInterface;
    ASSERT_EQ(coclass->GetRefTypeInfo(defaultRef, defaultInterface.Put()), S_OK);
    EXPECT_TRUE(IsEqualGUID(GuidOf(defaultInterface.Get()), IID_IPDFSvrDoc2));
}

// Registering the type library registered the interfaces too, for the system's marshaling.
TEST_F(RegisteredServer, InterfacesAreRegistered) {
    for (const wchar_t* key : {L"Interface\\{FEDBDE77-E1DB-4F61-BB70-6623CACB8B49}",
                               L"Interface\\{36A99A5A-7B9F-4468-BD44-952D2471A16B}"}) {
        wchar_t name[64] = {};
        LONG size = sizeof name;
        EXPECT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, key, name, &size), ERROR_SUCCESS) << key;
        HKEY typelib = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(key) + L"\\TypeLib").c_str(), 0, KEY_READ,
                                &typelib),
                  ERROR_SUCCESS)
            << key;
        if (typelib) RegCloseKey(typelib);
    }
}

} // namespace
