// PagelithASP.dll as a COM client sees it: loaded from its file, without registration.
#include <gtest/gtest.h>

#include <string>

#include "automation/guids.h"
#include "automation/ipdfsvrdoc.h"
#include "automation/member_table.h"
#include "base/ansi_text.h"
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

// The build names the DLL by its Unix path; Wine shows the Unix root as drive Z:.
std::wstring DllPath() {
    const std::string unix = PAGELITH_ASP_DLL;
    std::wstring path = L"Z:";
    for (char c : unix) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::wstring Text(BSTR value) {
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}
std::wstring Text(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct Server {
    HMODULE module = LoadLibraryW(DllPath().c_str());
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    GetClassObjectFn getClassObject = Proc<GetClassObjectFn>("DllGetClassObject");
    CanUnloadFn canUnloadNow = Proc<CanUnloadFn>("DllCanUnloadNow");

    template <class F> F Proc(const char* name) {
        return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
    HRESULT NewDocument(IPDFSvrDoc** doc) {
        TComPtr<IClassFactory> factory;
        const HRESULT hr = getClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, factory.PutVoid());
        if (hr < 0) return hr;
        return factory->CreateInstance(nullptr, IID_IPDFSvrDoc, reinterpret_cast<void**>(doc));
    }
};

class ComServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override {
        ASSERT_NE(server.module, nullptr) << "cannot load " << PAGELITH_ASP_DLL;
        ASSERT_NE(server.getClassObject, nullptr);
        ASSERT_NE(server.canUnloadNow, nullptr);
    }
    Server server;
};

TEST_F(ComServer, ExportsExactlyTheFourEntryPoints) {
    for (const char* name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(server.Proc<FARPROC>(name), nullptr) << name;
    auto* base = reinterpret_cast<const BYTE*>(server.module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_EQ(exports->NumberOfNames, 4u);
}

TEST_F(ComServer, FactoryCountsDecideUnloading) {
    TComPtr<IClassFactory> wrong;
    EXPECT_EQ(server.getClassObject(IID_IPDFSvrDoc, IID_IClassFactory, wrong.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(wrong.Get(), nullptr);
    EXPECT_EQ(server.canUnloadNow(), S_OK);

    TComPtr<IClassFactory> factory;
    ASSERT_EQ(server.getClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(server.canUnloadNow(), S_FALSE) << "a factory reference is held";
    TComPtr<IUnknown> none;
    EXPECT_EQ(server.getClassObject(CLSID_PDFSvrDoc, IID_IPDFSvrDoc, none.PutVoid()), E_NOINTERFACE);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    TComPtr<IDispatch> doc;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, doc.PutVoid()), S_OK);
    factory.Reset();
    EXPECT_EQ(server.canUnloadNow(), S_FALSE) << "an object and a lock are held";
    doc.Reset();
    EXPECT_EQ(server.canUnloadNow(), S_FALSE) << "a lock is held";

    ASSERT_EQ(server.getClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(server.canUnloadNow(), S_OK);
}

TEST_F(ComServer, TypeLibraryAttributes) {
    TComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.Put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_PagelithASP));
    EXPECT_EQ(attr->wMajorVerNum, 2);
    EXPECT_EQ(attr->wMinorVerNum, 3);
    EXPECT_EQ(attr->lcid, 1033u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    library->ReleaseTLibAttr(attr);

    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), L"PagelithASP");
    EXPECT_EQ(Text(help), L"PagelithASP Library");
    SysFreeString(name);
    SysFreeString(help);

    TComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_PDFSvrDoc, coclass.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(type->cImplTypes, 1);
    coclass->ReleaseTypeAttr(type);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), L"PDFSvrDoc");
    EXPECT_EQ(Text(help), L"PDFSvrDoc Object");
    SysFreeString(name);
    SysFreeString(help);
    INT flags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE defaultRef = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &defaultRef), S_OK);
    TComPtr<ITypeInfo> defaultInterface;
    ASSERT_EQ(coclass->GetRefTypeInfo(defaultRef, defaultInterface.Put()), S_OK);
    ASSERT_EQ(defaultInterface->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type->guid, IID_IPDFSvrDoc2));
    defaultInterface->ReleaseTypeAttr(type);
}

VARTYPE TypeOf(pagelith::TValueType t) {
    using V = pagelith::TValueType;
    switch (t) {
    case V::Long:
        return VT_I4;
    case V::Double:
        return VT_R8;
    case V::String:
        return VT_BSTR;
    case V::Boolean:
        return VT_BOOL;
    case V::Color:
        return VT_USERDEFINED; // the OLE_COLOR alias of stdole
    case V::Variant:
        return VT_VARIANT;
    case V::None:
        break;
    }
    return VT_EMPTY;
}

struct TInterfaceCase {
    const IID* Iid;
    const pagelith::TInterfaceInfo* Info;
    const wchar_t* Help;
    const IID* Base;         // the interface the vtable form derives from
    std::size_t BaseEntries; // entries after IDispatch's seven that the base holds
};

const TInterfaceCase kInterfaceCases[] = {
    {&IID_IPDFSvrDoc, &pagelith::kDocInterface, L"Dispatch interface for PDFSvrDoc Object", &IID_IDispatch,
     0},
    {&IID_IPDFSvrDoc2, &pagelith::kDoc2Interface, L"Dispatch interface for PDFSvrDoc Object, second version",
     &IID_IPDFSvrDoc, pagelith::kVtableEntryCount},
};

// The vtable interface behind each dual interface: its own entries in member-table order, after its
// base's.
TEST_F(ComServer, InterfaceFollowsTheMemberTable) {
    TComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.Put()), S_OK);
    for (const TInterfaceCase& c : kInterfaceCases) {
        SCOPED_TRACE(std::string(c.Info->Name));
        TComPtr<ITypeInfo> dispatch;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*c.Iid, dispatch.Put()), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(dispatch->GetTypeAttr(&type), S_OK);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
        dispatch->ReleaseTypeAttr(type);
        BSTR help = nullptr;
        ASSERT_EQ(dispatch->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(Text(help), c.Help);
        SysFreeString(help);

        HREFTYPE vtableRef = 0;
        ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
        TComPtr<ITypeInfo> vtable;
        ASSERT_EQ(dispatch->GetRefTypeInfo(vtableRef, vtable.Put()), S_OK);
        ASSERT_EQ(vtable->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, TKIND_INTERFACE);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_EQ(type->cFuncs, c.Info->VtableEntryCount);
        EXPECT_EQ(type->cbSizeVft, (7 + c.BaseEntries + c.Info->VtableEntryCount) * sizeof(void*));
        EXPECT_EQ(type->cImplTypes, 1);
        const UINT funcs = type->cFuncs;
        vtable->ReleaseTypeAttr(type);

        HREFTYPE baseRef = 0;
        ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &baseRef), S_OK);
        TComPtr<ITypeInfo> base;
        ASSERT_EQ(vtable->GetRefTypeInfo(baseRef, base.Put()), S_OK);
        ASSERT_EQ(base->GetTypeAttr(&type), S_OK);
        EXPECT_TRUE(IsEqualGUID(type->guid, *c.Base));
        base->ReleaseTypeAttr(type);

        UINT index = 0;
        for (const pagelith::TMemberInfo& m : c.Info->Members) {
            const INVOKEKIND kinds[2] = {m.Kind == pagelith::TMemberKind::Method ? INVOKE_FUNC
                                                                                 : INVOKE_PROPERTYGET,
                                         INVOKE_PROPERTYPUT};
            for (int k = 0; k < (m.HasPut() ? 2 : 1); ++k, ++index) {
                ASSERT_LT(index, funcs);
                SCOPED_TRACE(std::string(m.Name) + (k ? " put" : ""));
                FUNCDESC* f = nullptr;
                ASSERT_EQ(vtable->GetFuncDesc(index, &f), S_OK);
                EXPECT_EQ(f->memid, m.DispId);
                EXPECT_EQ(f->invkind, kinds[k]);
                EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
                EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + c.BaseEntries + index) * sizeof(void*)));
                const bool hasValue = m.Result != pagelith::TValueType::None;
                ASSERT_EQ(f->cParams, m.ParamCount + (hasValue ? 1 : 0));
                for (UINT p = 0; p < m.ParamCount; ++p) {
                    EXPECT_EQ(f->lprgelemdescParam[p].tdesc.vt, TypeOf(m.Params[p].Type)) << p;
                    EXPECT_TRUE(f->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FIN) << p;
                }
                if (hasValue) {
                    const TYPEDESC& value = f->lprgelemdescParam[m.ParamCount].tdesc;
                    const USHORT flags = f->lprgelemdescParam[m.ParamCount].paramdesc.wParamFlags;
                    if (k == 0) {
                        EXPECT_EQ(value.vt, VT_PTR);
                        if (value.vt == VT_PTR) {
                            EXPECT_EQ(value.lptdesc->vt, TypeOf(m.Result));
                        }
                        EXPECT_TRUE(flags & PARAMFLAG_FRETVAL);
                    } else {
                        EXPECT_EQ(value.vt, TypeOf(m.Result));
                    }
                }
                vtable->ReleaseFuncDesc(f);

                BSTR names[8] = {};
                UINT count = 0;
                ASSERT_EQ(vtable->GetNames(m.DispId, names, 8, &count), S_OK);
                ASSERT_GE(count, 1u + m.ParamCount);
                EXPECT_EQ(Text(names[0]), Text(m.Name));
                for (UINT p = 0; p < m.ParamCount; ++p) EXPECT_EQ(Text(names[1 + p]), Text(m.Params[p].Name));
                for (BSTR& n : names) SysFreeString(n);

                BSTR doc = nullptr;
                ASSERT_EQ(vtable->GetDocumentation(m.DispId, nullptr, &doc, nullptr, nullptr), S_OK);
                EXPECT_EQ(Text(doc), Text(m.HelpString));
                SysFreeString(doc);
            }
        }
        EXPECT_EQ(index, funcs);
    }
}

TEST_F(ComServer, ObjectGivesTheLibrarysTypeInformation) {
    TComPtr<IPDFSvrDoc> doc;
    ASSERT_EQ(server.NewDocument(doc.Put()), S_OK);
    UINT count = 0;
    ASSERT_EQ(doc->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    TComPtr<ITypeInfo> info; // the default interface's
    ASSERT_EQ(doc->GetTypeInfo(0, 0, info.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type->guid, IID_IPDFSvrDoc2));
    info->ReleaseTypeAttr(type);
    // Names of both interfaces' members resolve through it.
    OLECHAR addPage[] = L"AddPage", subsetFonts[] = L"SubsetFonts";
    LPOLESTR names[] = {addPage, subsetFonts};
    MEMBERID ids[2] = {};
    EXPECT_EQ(info->GetIDsOfNames(&names[0], 1, &ids[0]), S_OK);
    EXPECT_EQ(info->GetIDsOfNames(&names[1], 1, &ids[1]), S_OK);
    EXPECT_EQ(ids[0], 0xC9);
    EXPECT_EQ(ids[1], 0x112);
    TComPtr<ITypeInfo> none;
    EXPECT_EQ(doc->GetTypeInfo(1, 0, none.Put()), DISP_E_BADINDEX);

    TComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(doc->QueryInterface(IID_IProvideClassInfo, provider.PutVoid()), S_OK);
    TComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provider->GetClassInfo(coclass.Put()), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type->guid, CLSID_PDFSvrDoc));
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(type);

    TComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(doc->QueryInterface(IID_ISupportErrorInfo, support.PutVoid()), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPDFSvrDoc), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPDFSvrDoc2), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
}

// StreamData as VBScript calls it: late-bound, METHOD | PROPERTYGET.
TEST_F(ComServer, StreamDataIsAByteArrayFromOne) {
    TComPtr<IPDFSvrDoc> doc;
    ASSERT_EQ(server.NewDocument(doc.Put()), S_OK);
    ASSERT_EQ(doc->AddPage(0), S_OK);
    OLECHAR name[] = L"StreamData";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(doc->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0xF0);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(doc->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr,
                          nullptr),
              S_OK);
    ASSERT_EQ(V_VT(&result), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = V_ARRAY(&result);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    LONG lower = 0, upper = 0;
    ASSERT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_GT(upper, 100);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    const std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(upper));
    SafeArrayUnaccessData(array);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_EQ(bytes.substr(bytes.size() - 6), "%%EOF\r");

    // The direct call gives the same bytes.
    VARIANT direct;
    VariantInit(&direct);
    ASSERT_EQ(doc->StreamData(&direct), S_OK);
    ASSERT_EQ(V_VT(&direct), VT_ARRAY | VT_UI1);
    LONG upper2 = 0;
    SafeArrayGetUBound(V_ARRAY(&direct), 1, &upper2);
    EXPECT_EQ(upper2, upper);
    VariantClear(&direct);
    VariantClear(&result);
}

TEST_F(ComServer, BinaryWriteOutsideAspFailsWithAutomationError) {
    TComPtr<IPDFSvrDoc> doc;
    ASSERT_EQ(server.NewDocument(doc.Put()), S_OK);
    ASSERT_EQ(doc->AddPage(0), S_OK);
    SetErrorInfo(0, nullptr);
    const HRESULT hr = doc->BinaryWrite();
    EXPECT_LT(hr, 0);
    TComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, error.Put()), S_OK);
    BSTR source = nullptr, description = nullptr;
    GUID guid = {};
    error->GetSource(&source);
    error->GetDescription(&description);
    error->GetGUID(&guid);
    EXPECT_EQ(Text(source), L"PagelithASP.PDFSvrDoc");
    EXPECT_FALSE(Text(description).empty());
    EXPECT_TRUE(IsEqualGUID(guid, IID_IPDFSvrDoc));
    SysFreeString(source);
    SysFreeString(description);
}

TEST_F(ComServer, MissingImageFileFailsWithItsMessage) {
    TComPtr<IPDFSvrDoc> doc;
    ASSERT_EQ(server.NewDocument(doc.Put()), S_OK);
    BSTR name = SysAllocString(L"C:\\no such folder\\missing.png");
    LONG value = 12345;
    EXPECT_EQ(doc->AddImageFile(name, &value), static_cast<HRESULT>(0x8000FFFF));
    SysFreeString(name);
    EXPECT_EQ(value, 12345) << "a failing call leaves the out parameter alone";
    TComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, error.Put()), S_OK);
    BSTR description = nullptr;
    error->GetDescription(&description);
    EXPECT_EQ(Text(description), L"File not found");
    SysFreeString(description);
}

// The system code page (1252 under Wine's default locale), without best-fit look-alikes.
TEST(AnsiText, SystemCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
    EXPECT_EQ(pagelith::WideToAnsi(u"caf\u00e9 \u20ac"), "caf\xe9 \x80");
    EXPECT_EQ(pagelith::WideToAnsi(u"\u0101b"), "?b");
    EXPECT_EQ(pagelith::WideToAnsi(u"x\U0001F600y"), "x?y");
    EXPECT_EQ(pagelith::WideToAnsi(u""), "");
}

} // namespace
