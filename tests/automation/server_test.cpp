// The class object, the factory and the unload counts, plus the early-bound interface.
#include <gtest/gtest.h>

#include <cstring>

#include "automation/ipdfsvrdoc.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

TEST(Server, ClassObjectOnlyForPDFSvrDoc) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(IID_IPDFSvrDoc, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_PDFSvrDoc, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
}

TEST(Server, UnloadWaitsForObjectsLocksAndFactoryReferences) {
    ASSERT_EQ(DllCanUnloadNow(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    IUnknown* doc = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&doc)), S_OK);
    IUnknown* outer = doc;
    IUnknown* aggregated = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&aggregated)),
              E_NOINTERFACE);
    EXPECT_EQ(aggregated, nullptr);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE); // object and lock
    doc->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE); // lock
    ASSERT_EQ(DllGetClassObject(CLSID_PDFSvrDoc, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    IClassFactory* asFactory = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&asFactory)), S_OK);
    asFactory->LockServer(FALSE);
    asFactory->Release();
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Server, InterfacesOfTheObject) {
    TScriptObject script;
    IDispatch* dispatch = script.Dispatch();
    IPDFSvrDoc* doc = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IPDFSvrDoc, reinterpret_cast<void**>(&doc)), S_OK);
    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(doc->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPDFSvrDoc), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
    IUnknown* fromSupport = nullptr;
    ASSERT_EQ(support->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromSupport)), S_OK);
    IUnknown* fromDoc = nullptr;
    ASSERT_EQ(doc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromDoc)), S_OK);
    EXPECT_EQ(fromSupport, fromDoc); // one identity
    fromSupport->Release();
    fromDoc->Release();
    support->Release();
    IProvideClassInfo* classInfo = nullptr;
    ASSERT_EQ(doc->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&classInfo)), S_OK);
    ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(classInfo->GetClassInfo(&typeInfo), E_NOTIMPL);
    EXPECT_EQ(typeInfo, nullptr);
    classInfo->Release();
    void* none = nullptr;
    EXPECT_EQ(doc->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);

    // Early binding: the value as given, the out-parameter rules.
    EXPECT_EQ(doc->put_StreamInline(1), S_OK);
    VARIANT_BOOL flag = 0;
    EXPECT_EQ(doc->get_StreamInline(&flag), S_OK);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(doc->get_Title(nullptr), E_POINTER);
    EXPECT_EQ(doc->StreamData(nullptr), S_OK);
    LONG number = 77;
    EXPECT_EQ(doc->AddImageFile(nullptr, &number), E_UNEXPECTED);
    EXPECT_EQ(number, 77); // untouched on failure
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(doc->get_Author(&text), S_OK);
    EXPECT_EQ(SysStringLen(text), 0u);
    SysFreeString(text);
    VARIANT data;
    std::memset(&data, 0xAB, sizeof data);
    EXPECT_EQ(doc->StreamData(&data), S_OK);
    EXPECT_EQ(data.vt, VT_ARRAY | VT_UI1);
    VariantClear(&data);
    EXPECT_EQ(doc->SetFontOffset(15, 0x12345), S_OK);
    doc->Release();
}

} // namespace
} // namespace pagelith::test
