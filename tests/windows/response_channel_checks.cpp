// The web channel of BinaryWrite against a response object of our own, with the system's VARIANT,
// SAFEARRAY and BSTR: headers, chunks and the passing on of a failing call's own description.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/response_stream.h"
#include "platform/com.h"
#include "platform/ole_error.h"

namespace {

constexpr DISPID kContentType = 1, kAddHeader = 2, kBinaryWrite = 3, kFlush = 4;

// Records every call in a readable form: "ContentType=v", "AddHeader(n|v)", "BinaryWrite[lower..n]", "Flush".
class TFakeResponse final : public IDispatch {
public:
    std::vector<std::string> Calls;
    DISPID FailOn = 0; // this member answers DISP_E_EXCEPTION with its own description

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        const std::wstring name = names[0];
        ids[0] = name == L"ContentType"   ? kContentType
                 : name == L"AddHeader"   ? kAddHeader
                 : name == L"BinaryWrite" ? kBinaryWrite
                 : name == L"Flush"       ? kFlush
                                          : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO* info, UINT*) override {
        if (id == FailOn) {
            if (info) {
                info->scode = static_cast<SCODE>(0x80004005);
                info->bstrSource = SysAllocString(L"Response object");
                info->bstrDescription = SysAllocString(L"Buffer limit exceeded.");
            }
            return DISP_E_EXCEPTION;
        }
        switch (id) {
        case kContentType:
            if (!(flags & DISPATCH_PROPERTYPUT) || params->cArgs != 1 || params->cNamedArgs != 1 ||
                params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_BADPARAMCOUNT;
            Calls.push_back("ContentType=" + Ascii(params->rgvarg[0]));
            return S_OK;
        case kAddHeader:
            if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
            Calls.push_back("AddHeader(" + Ascii(params->rgvarg[1]) + "|" + Ascii(params->rgvarg[0]) + ")");
            return S_OK;
        case kBinaryWrite: {
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            const VARIANT& v = params->rgvarg[0];
            if (V_VT(&v) != (VT_ARRAY | VT_UI1)) return DISP_E_TYPEMISMATCH;
            LONG lower = 0, upper = 0;
            SafeArrayGetLBound(V_ARRAY(&v), 1, &lower);
            SafeArrayGetUBound(V_ARRAY(&v), 1, &upper);
            void* data = nullptr;
            SafeArrayAccessData(V_ARRAY(&v), &data);
            Body.append(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower + 1));
            SafeArrayUnaccessData(V_ARRAY(&v));
            Calls.push_back("BinaryWrite[" + std::to_string(lower) + ".." + std::to_string(upper) + "]");
            return S_OK;
        }
        case kFlush:
            Calls.push_back("Flush");
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
    std::string Body;

private:
    static std::string Ascii(const VARIANT& v) {
        if (V_VT(&v) != VT_BSTR) return "<vt " + std::to_string(V_VT(&v)) + ">";
        std::string s;
        for (UINT i = 0; i < SysStringLen(V_BSTR(&v)); ++i) s += static_cast<char>(V_BSTR(&v)[i]);
        return s;
    }
    ULONG refs_ = 1;
};

std::string Pdf(std::size_t size) {
    std::string pdf(size, 'x');
    for (std::size_t i = 0; i < size; ++i) pdf[i] = static_cast<char>(i * 7);
    return pdf;
}

TEST(ResponseChannel, HeadersThenChunksOf64KiBEachFlushed) {
    TFakeResponse response;
    const std::string pdf = Pdf(150000);
    pagelith::SendToResponse(&response, pdf, u"invoice.pdf", false);
    const std::vector<std::string> expected = {
        "ContentType=application/pdf",
        "AddHeader(Content-Disposition|attachment; filename=\"invoice.pdf\")",
        "AddHeader(Content-Length|150000)",
        "BinaryWrite[1..65536]",
        "Flush",
        "BinaryWrite[1..65536]",
        "Flush",
        "BinaryWrite[1..18928]",
        "Flush"};
    EXPECT_EQ(response.Calls, expected);
    EXPECT_EQ(response.Body, pdf);
}

TEST(ResponseChannel, WholeMultipleEndsWithAnEmptyChunk) {
    TFakeResponse response;
    pagelith::SendToResponse(&response, Pdf(131072), u"", true);
    ASSERT_EQ(response.Calls.size(), 3u + 6u);
    EXPECT_EQ(response.Calls[1], "AddHeader(Content-Disposition|inline)");
    EXPECT_EQ(response.Calls[2], "AddHeader(Content-Length|131072)");
    EXPECT_EQ(response.Calls[7], "BinaryWrite[1..0]");
    EXPECT_EQ(response.Calls[8], "Flush");
}

TEST(ResponseChannel, FailingCallPassesOnItsOwnErrorAndStops) {
    TFakeResponse response;
    response.FailOn = kBinaryWrite;
    try {
        pagelith::SendToResponse(&response, Pdf(1000), u"a.pdf", true);
        FAIL() << "no error";
    } catch (const pagelith::EOleSysError& e) {
        EXPECT_EQ(e.Code(), static_cast<HRESULT>(0x80004005));
        EXPECT_EQ(e.Description(), u"Buffer limit exceeded.");
    }
    ASSERT_EQ(response.Calls.size(), 3u) << "nothing after the failed call";
    EXPECT_EQ(response.Calls[0], "ContentType=application/pdf");
}

} // namespace
