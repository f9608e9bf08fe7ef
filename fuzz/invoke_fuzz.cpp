// libFuzzer entry point for the automation object: the input is a script of IDispatch::Invoke calls
// (member, flags, argument count, each argument's type and value, named arguments) on one object,
// which must then still stream a PDF. File-name arguments are drawn from a fixed set, so the
// fuzzer never reads devices or writes files of its choosing.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "automation/guids.h"
#include "automation/member_table.h"
#include "automation/server_exports.h"
#include "fonts/synthetic_font.h"
#include "platform/com.h"

namespace {

using pagelith::CLSID_PDFSvrDoc;
using pagelith::kFirstDispId;
using pagelith::kMembers;

class TReader {
public:
    TReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
    uint32_t U32() { return U16() | (static_cast<uint32_t>(U16()) << 16); }
    uint64_t U64() { return U32() | (static_cast<uint64_t>(U32()) << 32); }
    double F64() {
        const uint64_t bits = U64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::string gFontPath;
std::string gMissingPath;

// Numbers scripts and attackers like.
constexpr double kDoubles[] = {0,
                               1,
                               -1,
                               0.5,
                               1e308,
                               -1e308,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               2147483648.0,
                               4294967295.0,
                               4294967296.0,
                               -2147483649.0,
                               5e-324,
                               1e15,
                               9.3e18};
constexpr int32_t kLongs[] = {0,
                              1,
                              2,
                              3,
                              14,
                              15,
                              16,
                              -1,
                              std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max(),
                              255,
                              256,
                              0x7FFF,
                              0x10000,
                              100,
                              72};

BSTR MakeString(TReader& in, bool fileName) {
    if (fileName) {
        switch (in.U8() % 4) {
        case 0:
            return nullptr;
        case 1:
            return SysAllocStringLen(nullptr, 0);
        case 2: {
            std::u16string w(gMissingPath.begin(), gMissingPath.end());
            return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(w.data()), static_cast<UINT>(w.size()));
        }
        default: {
            std::u16string w(gFontPath.begin(), gFontPath.end());
            return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(w.data()), static_cast<UINT>(w.size()));
        }
        }
    }
    const uint8_t mode = in.U8();
    if (mode == 0) return nullptr;
    std::size_t length = mode & 0x3F;
    if (mode & 0x40) length *= 97;       // up to about 6,000 characters
    if (mode == 0xFF) length = 1u << 18; // now and then a very long one
    std::u16string text(length, u'a');
    const bool wide = mode & 0x80;
    // A short pattern from the input, repeated: cheap to describe, still byte-rich.
    char16_t pattern[8];
    for (char16_t& c : pattern) c = wide ? static_cast<char16_t>(in.U16()) : static_cast<char16_t>(in.U8());
    for (std::size_t i = 0; i < length; ++i) text[i] = pattern[i % 8];
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

// Targets of byref arguments, alive for the whole call.
struct TRefTargets {
    int32_t Long = 0;
    double Double = 0;
    BSTR String = nullptr;
    VARIANT_BOOL Bool = 0;
    int16_t Short = 0;
    uint8_t Byte = 0;
    VARIANT Inner{};
    SAFEARRAY* Array = nullptr;
};

SAFEARRAY* MakeArray(TReader& in) {
    const uint8_t kind = in.U8();
    const ULONG count = in.U8() % 33;
    if (kind % 4 == 3) {
        SAFEARRAYBOUND bounds[2] = {{count, 0}, {2, static_cast<LONG>(in.U8()) - 128}};
        return SafeArrayCreate(VT_UI1, 2, bounds);
    }
    const VARTYPE vt = kind % 4 == 0 ? VT_UI1 : kind % 4 == 1 ? VT_I4 : VT_VARIANT;
    SAFEARRAY* a = SafeArrayCreateVector(vt, static_cast<LONG>(static_cast<int8_t>(in.U8())), count);
    if (a && vt == VT_UI1 && count > 0) {
        void* data = nullptr;
        if (SafeArrayAccessData(a, &data) >= 0) {
            for (ULONG i = 0; i < count; ++i) static_cast<uint8_t*>(data)[i] = in.U8();
            SafeArrayUnaccessData(a);
        }
    }
    return a;
}

// Fills v from the input; what it owns is freed by VariantClear (invalid types own nothing).
void MakeArg(TReader& in, VARIANT& v, TRefTargets& refs, bool fileName) {
    VariantInit(&v);
    const uint8_t kind = in.U8() % 28;
    switch (kind) {
    case 0:
        break;
    case 1:
        v.vt = VT_NULL;
        break;
    case 2:
        v.vt = VT_ERROR;
        v.scode = in.U8() & 1 ? DISP_E_PARAMNOTFOUND : static_cast<SCODE>(in.U32());
        break;
    case 3:
        v.vt = VT_I2;
        v.iVal = static_cast<SHORT>(in.U16());
        break;
    case 4:
        v.vt = VT_I4;
        v.lVal = kLongs[in.U8() % 16];
        break;
    case 5:
        v.vt = VT_I4;
        v.lVal = static_cast<LONG>(in.U32());
        break;
    case 6:
        v.vt = VT_R8;
        v.dblVal = kDoubles[in.U8() % 16];
        break;
    case 7:
        v.vt = VT_R8;
        v.dblVal = in.F64();
        break;
    case 8:
        v.vt = VT_BSTR;
        v.bstrVal = MakeString(in, fileName);
        break;
    case 9:
        v.vt = VT_BOOL;
        v.boolVal = static_cast<VARIANT_BOOL>(in.U16());
        break;
    case 10:
        v.vt = VT_UI4;
        v.ulVal = in.U32();
        break;
    case 11:
        v.vt = VT_I8;
        v.llVal = static_cast<LONGLONG>(in.U64());
        break;
    case 12:
        v.vt = VT_R4;
        v.fltVal = static_cast<float>(in.F64());
        break;
    case 13:
        v.vt = VT_CY;
        v.cyVal.int64 = static_cast<LONGLONG>(in.U64());
        break;
    case 14:
        v.vt = VT_DATE;
        v.date = in.F64();
        break;
    case 15:
        v.vt = VT_DECIMAL;
        v.decVal.scale = in.U8();
        v.decVal.sign = in.U8();
        v.decVal.Hi32 = in.U32();
        v.decVal.Lo64 = in.U64();
        break;
    case 16:
        v.vt = VT_UI1;
        v.bVal = in.U8();
        break;
    case 17:
        v.vt = in.U8() & 1 ? VT_DISPATCH : VT_UNKNOWN;
        v.punkVal = nullptr;
        break;
    case 18:
        refs.Long = static_cast<int32_t>(in.U32());
        v.vt = VT_I4 | VT_BYREF;
        v.plVal = in.U8() & 1 ? &refs.Long : nullptr;
        break;
    case 19:
        refs.Double = kDoubles[in.U8() % 16];
        v.vt = VT_R8 | VT_BYREF;
        v.pdblVal = in.U8() & 1 ? &refs.Double : nullptr;
        break;
    case 20:
        if (!refs.String) refs.String = MakeString(in, fileName);
        v.vt = VT_BSTR | VT_BYREF;
        v.pbstrVal = in.U8() & 1 ? &refs.String : nullptr;
        break;
    case 21:
        refs.Bool = static_cast<VARIANT_BOOL>(in.U16());
        v.vt = VT_BOOL | VT_BYREF;
        v.pboolVal = in.U8() & 1 ? &refs.Bool : nullptr;
        break;
    case 22: { // VARIANT byref to a plain value, to a null byref or to nothing
        const uint8_t inner = in.U8() % 3;
        VariantClear(&refs.Inner);
        if (inner == 0) {
            refs.Inner.vt = VT_I4;
            refs.Inner.lVal = static_cast<LONG>(in.U32());
        } else if (inner == 1) {
            refs.Inner.vt = VT_I2 | VT_BYREF;
            refs.Inner.byref = nullptr;
        }
        v.vt = VT_VARIANT | VT_BYREF;
        v.pvarVal = inner == 2 ? nullptr : &refs.Inner;
        break;
    }
    case 23:
        v.vt = VT_ARRAY | VT_UI1; // FixArrayType gives a built array its element type
        v.parray = in.U8() & 1 ? MakeArray(in) : nullptr;
        break;
    case 24:
        if (!refs.Array) refs.Array = MakeArray(in);
        v.vt = VT_ARRAY | VT_UI1 | VT_BYREF;
        v.pparray = in.U8() & 1 ? &refs.Array : nullptr;
        break;
    case 25: // no valid type: nothing may touch the pointer
        v.vt = static_cast<VARTYPE>(in.U16());
        if (v.vt == VT_EMPTY) v.vt = VT_RECORD;
        v.byref = nullptr;
        break;
    case 26:
        refs.Short = static_cast<int16_t>(in.U16());
        v.vt = VT_I2 | VT_BYREF;
        v.piVal = in.U8() & 1 ? &refs.Short : nullptr;
        break;
    default:
        refs.Byte = in.U8();
        v.vt = VT_UI1 | VT_BYREF;
        v.pbVal = in.U8() & 1 ? &refs.Byte : nullptr;
        break;
    }
}

// The array kind is only known once built; VT_ARRAY alone is no type.
void FixArrayType(VARIANT& v) {
    if ((v.vt & VT_ARRAY) && !(v.vt & VT_BYREF) && v.parray) {
        VARTYPE element = VT_EMPTY;
        if (SafeArrayGetVartype(v.parray, &element) >= 0) v.vt = static_cast<VARTYPE>(VT_ARRAY | element);
    }
}

void ClearArg(VARIANT& v) {
    if (VariantClear(&v) < 0) VariantInit(&v); // invalid types own nothing
}

constexpr WORD kFlags[] = {DISPATCH_METHOD,
                           DISPATCH_PROPERTYGET,
                           DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                           DISPATCH_PROPERTYPUT,
                           DISPATCH_PROPERTYPUTREF,
                           0,
                           0xFFFF,
                           DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF};

bool TakesFileName(DISPID id) {
    return id == 0xCA || id == 0xCB || id == 0xF2 ||
           id == 0xF9; // AddImageFile, SaveToFile, AddFont, ImageCount
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invoke_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/invoke_fuzz.XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    gFontPath = std::string(dir) + "/font.ttf";
    gMissingPath = std::string(dir) + "/missing.png";
    pagelith::test::TSyntheticFont font;
    font.Names = {{1, 0, 0, 6, "FuzzMono"}};
    font.Advances = {500, 250, 750};
    font.Segments = {{0x20, 0x7F, static_cast<uint16_t>(1 - 0x20), {}}};
    font.WriteTo(gFontPath);
    // The working folder stays where libFuzzer was started, so relative corpus paths still resolve;
    // SaveToFile is never called (its id becomes StreamData), so nothing is written there.
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    IClassFactory* factory = nullptr;
    IDispatch* doc = nullptr;
    if (DllGetClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, reinterpret_cast<void**>(&factory)) < 0)
        return 0;
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&doc));
    factory->Release();
    if (!doc) return 0;

    TReader in(data, size);
    for (int calls = 0; calls < 48 && !in.Empty(); ++calls) {
        const uint8_t pick = in.U8();
        DISPID id = kFirstDispId + pick % static_cast<int>(kMembers.size());
        if (pick >= 248) id = static_cast<DISPID>(in.U32()); // anything at all
        if (id == 0xCB) id = 0xF0;                           // no files of the input's naming
        const uint8_t shape = in.U8();
        const WORD flags = kFlags[shape & 7];
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        const pagelith::TMemberInfo* member = pagelith::FindMember(id);
        // Mostly the declared count, sometimes one more or less, sometimes anything up to 7.
        UINT count = member ? member->ParamCount + (put ? 1u : 0u) : 0u;
        const uint8_t countMode = (shape >> 3) & 3;
        if (countMode == 1) count = count + 1;
        if (countMode == 2 && count > 0) count = count - 1;
        if (countMode == 3) count = in.U8() % 8;

        TRefTargets refs;
        std::vector<VARIANT> args(count);
        for (VARIANT& v : args) {
            MakeArg(in, v, refs, TakesFileName(id));
            FixArrayType(v);
        }
        std::vector<VARIANT> before = args;

        // Named arguments: the put value as a host names it, or names of the input's choosing.
        std::vector<DISPID> names;
        const uint8_t nameMode = shape >> 5;
        if (put && nameMode < 5 && count > 0) names.push_back(DISPID_PROPERTYPUT);
        if (nameMode >= 5) {
            const UINT n = in.U8() % (count + 2);
            for (UINT k = 0; k < n; ++k) names.push_back(static_cast<DISPID>(static_cast<int8_t>(in.U8())));
        }
        DISPPARAMS params{args.empty() ? nullptr : args.data(), names.empty() ? nullptr : names.data(), count,
                          static_cast<UINT>(names.size())};
        if (nameMode == 7 && in.U8() == 0) params.rgvarg = nullptr; // arguments promised, none given

        VARIANT result;
        VariantInit(&result);
        EXCEPINFO info{};
        UINT argError = 0;
        const bool wantResult = !(in.U8() & 0x80);
        const HRESULT hr = doc->Invoke(id, IID_NULL, 0, flags, nameMode == 6 ? nullptr : &params,
                                       wantResult ? &result : nullptr, &info, &argError);
        Check(hr == S_OK || (hr < 0 && result.vt == VT_EMPTY), "a failed call returned a result");
        Check(before.empty() || std::memcmp(before.data(), args.data(), before.size() * sizeof(VARIANT)) == 0,
              "the callee changed its [in] arguments");
        VariantClear(&result);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        for (VARIANT& v : args) ClearArg(v);
        SysFreeString(refs.String);
        VariantClear(&refs.Inner);
        if (refs.Array) SafeArrayDestroy(refs.Array);
    }

    // Whatever happened, the document streams as a whole file.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT pdf;
    VariantInit(&pdf);
    const HRESULT hr = doc->Invoke(0xF0, IID_NULL, 0, DISPATCH_METHOD, &none, &pdf, nullptr, nullptr);
    Check(hr == S_OK && pdf.vt == (VT_ARRAY | VT_UI1), "StreamData failed");
    void* bytes = nullptr;
    Check(SafeArrayAccessData(pdf.parray, &bytes) >= 0, "no PDF bytes");
    const ULONG length = pdf.parray->rgsabound[0].cElements;
    Check(length > 8 && std::memcmp(bytes, "%PDF-1.2", 8) == 0, "not a PDF");
    Check(std::memcmp(static_cast<const char*>(bytes) + length - 6, "%%EOF\r", 6) == 0, "PDF not complete");
    SafeArrayUnaccessData(pdf.parray);
    VariantClear(&pdf);
    doc->Release();
    return 0;
}
