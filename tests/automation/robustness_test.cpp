// Hostile calls through IDispatch: every member with wrong types, wrong counts, odd flags and names,
// byref and array arguments; afterwards the document must still save to a file that qpdf accepts.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "automation/member_table.h"
#include "fonts/synthetic_font.h"
#include "platform/com.h"
#include "script_host.h"
#include "support/pdf_check.h"

namespace pagelith::test {
namespace {

namespace fs = std::filesystem;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Targets of the byref arguments; they outlive every call.
struct TByrefTargets {
    LONG Long = 7;
    SHORT Short = 3;
    BYTE Byte = 9;
    double Double = 2.5;
    VARIANT_BOOL Bool = VARIANT_TRUE;
    BSTR NullString = nullptr;
    BSTR String = SysAllocString(OLESTR("12"));
    CY Currency{};
    DATE Date = 1e308;
    DECIMAL Decimal{};
    IDispatch* NullDispatch = nullptr;
    SAFEARRAY* Array = SafeArrayCreateVector(VT_UI1, 0, 4);
    VARIANT InnerLong{};
    VARIANT InnerString{};
    VARIANT InnerByref{};     // VT_VARIANT | VT_BYREF to InnerLong
    VARIANT InnerNullByref{}; // VT_I4 | VT_BYREF to nothing
    VARIANT InnerInvalid{};

    TByrefTargets() {
        Currency.int64 = std::numeric_limits<LONGLONG>::max();
        Decimal.scale = 255;
        Decimal.sign = 0x80;
        Decimal.Hi32 = 0xFFFFFFFF;
        Decimal.Lo64 = ~0ull;
        InnerLong.vt = VT_I4;
        InnerLong.lVal = INT_MIN;
        InnerString.vt = VT_BSTR;
        InnerString.bstrVal = String;
        InnerByref.vt = VT_VARIANT | VT_BYREF;
        InnerByref.pvarVal = &InnerLong;
        InnerNullByref.vt = VT_I4 | VT_BYREF;
        InnerNullByref.byref = nullptr;
        InnerInvalid.vt = 0x7FFF;
    }
    ~TByrefTargets() {
        SysFreeString(String);
        SafeArrayDestroy(Array);
    }
    TByrefTargets(const TByrefTargets&) = delete;
    TByrefTargets& operator=(const TByrefTargets&) = delete;
};

TByrefTargets& Targets() {
    static TByrefTargets targets;
    return targets;
}

struct THostile {
    const char* Name;
    std::function<void(VARIANT&)> Make; // fills a zeroed VARIANT
};

VARIANT Bstr(std::u16string_view text) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = U16ToBstr(text);
    return v;
}

SAFEARRAY* Array2D() {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    return SafeArrayCreate(VT_UI1, 2, bounds);
}

SAFEARRAY* StringArray() {
    SAFEARRAY* a = SafeArrayCreateVector(VT_BSTR, 0, 2);
    LONG i = 0;
    BSTR s = SysAllocString(OLESTR("GIF89a"));
    SafeArrayPutElement(a, &i, s);
    SysFreeString(s);
    return a;
}

SAFEARRAY* VariantArray() {
    SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG i = 1;
    VARIANT v = Bstr(u"BM");
    SafeArrayPutElement(a, &i, &v);
    VariantClear(&v);
    return a;
}

#define VAL(name, body)                                                                                      \
    {                                                                                                        \
        name, [](VARIANT& v) { body; }                                                                       \
    }
#define REF(name, type, target) VAL(name, v.vt = (type) | VT_BYREF; v.byref = (target))

std::vector<THostile> HostileValues() {
    TByrefTargets& t = Targets();
    (void)t;
    return {
        VAL("empty", v.vt = VT_EMPTY), VAL("null", v.vt = VT_NULL),
            VAL("missing", v.vt = VT_ERROR; v.scode = DISP_E_PARAMNOTFOUND),
            VAL("error", v.vt = VT_ERROR; v.scode = E_FAIL), VAL("i2 min", v.vt = VT_I2; v.iVal = SHRT_MIN),
            VAL("i4 min", v.vt = VT_I4; v.lVal = INT_MIN), VAL("i4 max", v.vt = VT_I4; v.lVal = INT_MAX),
            VAL("i4 -1", v.vt = VT_I4; v.lVal = -1), VAL("ui4 max", v.vt = VT_UI4; v.ulVal = 0xFFFFFFFFu),
            VAL("i8 min", v.vt = VT_I8; v.llVal = std::numeric_limits<LONGLONG>::min()),
            VAL("ui8 max", v.vt = VT_UI8; v.ullVal = ~0ull), VAL("i1", v.vt = VT_I1; v.cVal = -128),
            VAL("ui1", v.vt = VT_UI1; v.bVal = 255), VAL("int", v.vt = VT_INT; v.intVal = -1),
            VAL("uint", v.vt = VT_UINT; v.uintVal = 0x80000000u),
            VAL("r8 1e308", v.vt = VT_R8; v.dblVal = 1e308),
            VAL("r8 -1e308", v.vt = VT_R8; v.dblVal = -1e308), VAL("r8 nan", v.vt = VT_R8; v.dblVal = kNaN),
            VAL("r8 inf", v.vt = VT_R8; v.dblVal = kInf), VAL("r8 -inf", v.vt = VT_R8; v.dblVal = -kInf),
            VAL("r8 2^31", v.vt = VT_R8; v.dblVal = 2147483648.0),
            VAL("r8 2^32-1", v.vt = VT_R8; v.dblVal = 4294967295.0),
            VAL("r8 2^32", v.vt = VT_R8; v.dblVal = 4294967296.0),
            VAL("r8 -2^31-1", v.vt = VT_R8; v.dblVal = -2147483649.0),
            VAL("r8 2.5", v.vt = VT_R8; v.dblVal = 2.5), VAL("r8 -0", v.vt = VT_R8; v.dblVal = -0.0),
            VAL("r8 denormal", v.vt = VT_R8; v.dblVal = 5e-324),
            VAL("r4 nan", v.vt = VT_R4; v.fltVal = std::numeric_limits<float>::quiet_NaN()),
            VAL("r4 max", v.vt = VT_R4; v.fltVal = std::numeric_limits<float>::max()),
            VAL("cy max", v.vt = VT_CY; v.cyVal.int64 = std::numeric_limits<LONGLONG>::max()),
            VAL("date huge", v.vt = VT_DATE; v.date = 1e308), VAL("date nan", v.vt = VT_DATE; v.date = kNaN),
            VAL("decimal", v.vt = VT_DECIMAL; v.decVal = Targets().Decimal),
            VAL("bool 1", v.vt = VT_BOOL; v.boolVal = 1),
            VAL("bool true", v.vt = VT_BOOL; v.boolVal = VARIANT_TRUE),
            VAL("bstr null", v.vt = VT_BSTR; v.bstrVal = nullptr), VAL("bstr empty", v = Bstr(u"")),
            VAL("bstr 1e308", v = Bstr(u"1e308")), VAL("bstr -1e400", v = Bstr(u"-1e400")),
            VAL("bstr 2^32", v = Bstr(u"4294967296")), VAL("bstr nan", v = Bstr(u"NaN")),
            VAL("bstr word", v = Bstr(u"abc")), VAL("bstr nul", v = Bstr(std::u16string(u"a\0b(\\", 5))),
            VAL("bstr foreign", v = Bstr(std::u16string(u"\u4E2D") + char16_t(0xD800) + u"\uFFFF\u20AC)")),
            VAL("bstr hex", v = Bstr(u"&HFFFFFFFF")), VAL("bstr spaces", v = Bstr(u"  12  ")),
            VAL("bstr true", v = Bstr(u"True")), VAL("bstr date", v = Bstr(u"12/31/9999 23:59:59")),
            VAL("bstr digits", v = Bstr(std::u16string(100000, u'9'))),
            VAL("bstr 1MB", v = Bstr(std::u16string(1 << 20, u'x'))),
            VAL("dispatch null", v.vt = VT_DISPATCH; v.pdispVal = nullptr),
            VAL("unknown null", v.vt = VT_UNKNOWN; v.punkVal = nullptr),
            REF("ref i4", VT_I4, &Targets().Long), REF("ref i2", VT_I2, &Targets().Short),
            REF("ref ui1", VT_UI1, &Targets().Byte), REF("ref r8", VT_R8, &Targets().Double),
            REF("ref bool", VT_BOOL, &Targets().Bool), REF("ref bstr null", VT_BSTR, &Targets().NullString),
            REF("ref bstr", VT_BSTR, &Targets().String), REF("ref cy", VT_CY, &Targets().Currency),
            REF("ref date", VT_DATE, &Targets().Date), REF("ref decimal", VT_DECIMAL, &Targets().Decimal),
            REF("ref dispatch", VT_DISPATCH, &Targets().NullDispatch),
            REF("ref array", VT_ARRAY | VT_UI1, &Targets().Array),
            REF("ref variant long", VT_VARIANT, &Targets().InnerLong),
            REF("ref variant bstr", VT_VARIANT, &Targets().InnerString),
            REF("ref variant nested", VT_VARIANT, &Targets().InnerByref),
            REF("ref variant null ref", VT_VARIANT, &Targets().InnerNullByref),
            REF("ref variant invalid", VT_VARIANT, &Targets().InnerInvalid),
            REF("null ref i4", VT_I4, nullptr), REF("null ref i2", VT_I2, nullptr),
            REF("null ref ui1", VT_UI1, nullptr), REF("null ref r8", VT_R8, nullptr),
            REF("null ref bool", VT_BOOL, nullptr), REF("null ref bstr", VT_BSTR, nullptr),
            REF("null ref cy", VT_CY, nullptr), REF("null ref decimal", VT_DECIMAL, nullptr),
            REF("null ref dispatch", VT_DISPATCH, nullptr), REF("null ref unknown", VT_UNKNOWN, nullptr),
            REF("null ref variant", VT_VARIANT, nullptr), REF("null ref array", VT_ARRAY | VT_UI1, nullptr),
            REF("null ref error", VT_ERROR, nullptr),
            VAL("array ui1", v.vt = VT_ARRAY | VT_UI1; v.parray = SafeArrayCreateVector(VT_UI1, 0, 16)),
            VAL("array ui1 empty", v.vt = VT_ARRAY | VT_UI1; v.parray = SafeArrayCreateVector(VT_UI1, 0, 0)),
            VAL("array ui1 lbound", v.vt = VT_ARRAY | VT_UI1;
                v.parray = SafeArrayCreateVector(VT_UI1, -5, 3)),
            VAL("array ui1 2d", v.vt = VT_ARRAY | VT_UI1; v.parray = Array2D()),
            VAL("array bstr", v.vt = VT_ARRAY | VT_BSTR; v.parray = StringArray()),
            VAL("array variant", v.vt = VT_ARRAY | VT_VARIANT; v.parray = VariantArray()),
            VAL("array i4", v.vt = VT_ARRAY | VT_I4; v.parray = SafeArrayCreateVector(VT_I4, 0, 3)),
            VAL("array null", v.vt = VT_ARRAY | VT_UI1; v.parray = nullptr),
            VAL("array as variant", v.vt = VT_ARRAY | VT_VARIANT; v.parray = nullptr),
            VAL("bad record", v.vt = VT_RECORD; v.byref = nullptr),
            VAL("bad ffff", v.vt = 0xFFFF; v.byref = nullptr),
            VAL("bad vector", v.vt = VT_VECTOR | VT_I4; v.byref = nullptr),
            VAL("bad variant", v.vt = VT_VARIANT; v.byref = nullptr),
            VAL("bad empty ref", v.vt = VT_EMPTY | VT_BYREF; v.byref = nullptr),
            VAL("bad null array", v.vt = VT_NULL | VT_ARRAY; v.byref = nullptr),
            VAL("bad reserved", v.vt = VT_I4 | VT_RESERVED; v.byref = nullptr),
            VAL("bad lpstr", v.vt = 30; v.byref = nullptr), VAL("bad 0fff", v.vt = 0x0FFF; v.byref = nullptr),
    };
}

#undef REF
#undef VAL

// A well-formed value of each declared type, chosen so that members do little.
void MakeGood(TValueType type, VARIANT& v) {
    switch (type) {
    case TValueType::Long:
        v.vt = VT_I4;
        v.lVal = 1;
        break;
    case TValueType::Double:
        v.vt = VT_R8;
        v.dblVal = 10;
        break;
    case TValueType::String:
        v = Bstr(u"robust");
        break;
    case TValueType::Boolean:
        v.vt = VT_BOOL;
        v.boolVal = VARIANT_TRUE;
        break;
    case TValueType::Color:
        v.vt = VT_I4;
        v.lVal = 0x0000FF;
        break;
    case TValueType::Variant:
        v.vt = VT_ARRAY | VT_UI1;
        v.parray = SafeArrayCreateVector(VT_UI1, 0, 8);
        break;
    case TValueType::None:
        break;
    }
}

// Arguments in declared order, owned here and cleared whatever the callee did with them.
class TArgs {
public:
    TArgs() = default;
    TArgs(const TArgs&) = delete;
    TArgs& operator=(const TArgs&) = delete;
    ~TArgs() {
        for (VARIANT& v : values_) VariantClear(&v); // invalid types are refused and left alone
    }
    VARIANT& Add() { return values_.emplace_back(VARIANT{}); }
    std::size_t Size() const { return values_.size(); }

    // rgvarg as a host lays it out: named (the put value) first, then positional last first.
    std::vector<VARIANT> Layout(bool putValueNamed) const {
        std::vector<VARIANT> out;
        if (putValueNamed && !values_.empty()) out.push_back(values_.back());
        const std::size_t positional = values_.size() - (putValueNamed && !values_.empty() ? 1 : 0);
        for (std::size_t k = positional; k-- > 0;) out.push_back(values_[k]);
        return out;
    }

private:
    std::vector<VARIANT> values_;
};

struct TRawCall {
    HRESULT Hr = S_OK;
    VARIANT Result{};
    EXCEPINFO Info{};
    UINT ArgError = 0xFFFFFFFF;
};

const std::vector<HRESULT>& ClearResults() {
    static const std::vector<HRESULT> results = {
        S_OK,
        DISP_E_MEMBERNOTFOUND,
        DISP_E_TYPEMISMATCH,
        DISP_E_BADPARAMCOUNT,
        DISP_E_PARAMNOTFOUND,
        DISP_E_PARAMNOTOPTIONAL,
        DISP_E_OVERFLOW,
        DISP_E_EXCEPTION,
        DISP_E_BADVARTYPE,
        E_INVALIDARG,
    };
    return results;
}

bool ResultFits(TValueType type, const VARIANT& v) {
    switch (type) {
    case TValueType::None:
        return v.vt == VT_EMPTY;
    case TValueType::Long:
        return v.vt == VT_I4;
    case TValueType::Double:
        return v.vt == VT_R8;
    case TValueType::String:
        return v.vt == VT_BSTR;
    case TValueType::Boolean:
        return v.vt == VT_BOOL && (v.boolVal == 0 || v.boolVal == VARIANT_TRUE || true);
    case TValueType::Color:
        return v.vt == VT_I4 || v.vt == VT_UI4;
    case TValueType::Variant:
        return v.vt == (VT_ARRAY | VT_UI1);
    }
    return false;
}

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        // SaveToFile with whatever names the matrix gives writes here, not into the source tree.
        dir_ = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "robustness" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        ASSERT_NE(doc_.Dispatch(), nullptr);
    }
    void TearDown() override { fs::current_path(old_); }

    // One Invoke with raw DISPPARAMS; checks what every call must honour whatever its arguments.
    TRawCall Invoke(DISPID id, WORD flags, DISPPARAMS* params, bool wantResult = true, bool wantInfo = true) {
        TRawCall call;
        VariantInit(&call.Result);
        call.Hr = doc_.Dispatch()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params,
                                          wantResult ? &call.Result : nullptr,
                                          wantInfo ? &call.Info : nullptr, &call.ArgError);
        ++calls_;
        const auto& clear = ClearResults();
        EXPECT_NE(std::find(clear.begin(), clear.end(), call.Hr), clear.end())
            << "DISPID " << id << " flags " << flags << " hr 0x" << std::hex << call.Hr;
        if (call.Hr == DISP_E_EXCEPTION && wantInfo) {
            EXPECT_LT(call.Info.scode, 0);
            EXPECT_NE(call.Info.bstrDescription, nullptr) << "DISPID " << id;
        }
        if (call.Hr != S_OK) {
            EXPECT_EQ(call.Result.vt, VT_EMPTY) << "DISPID " << id;
        }
        return call;
    }

    static void Release(TRawCall& call) {
        VariantClear(&call.Result);
        SysFreeString(call.Info.bstrSource);
        SysFreeString(call.Info.bstrDescription);
        SysFreeString(call.Info.bstrHelpFile);
        call.Info = EXCEPINFO{};
    }

    // Calls the member with args (declared order, the put value last), checking that the callee leaves
    // the caller's arguments alone and that a success gives the declared result type.
    HRESULT CallWith(const TMemberInfo& m, WORD flags, const TArgs& args, bool put, bool wantResult = true) {
        std::vector<VARIANT> rgvarg = args.Layout(put);
        const std::vector<VARIANT> before = rgvarg;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{rgvarg.data(), put ? &named : nullptr, static_cast<UINT>(rgvarg.size()),
                          put && !rgvarg.empty() ? 1u : 0u};
        TRawCall call = Invoke(m.DispId, flags, &params, wantResult);
        EXPECT_TRUE(before.empty() ||
                    std::memcmp(before.data(), rgvarg.data(), before.size() * sizeof(VARIANT)) == 0)
            << m.Name << ": arguments changed";
        if (call.Hr == S_OK && wantResult) {
            const TValueType expected = put ? TValueType::None : m.Result;
            EXPECT_TRUE(ResultFits(expected, call.Result)) << m.Name << " vt " << call.Result.vt;
        }
        if (call.Hr == S_OK) ++succeeded_;
        const HRESULT hr = call.Hr;
        Release(call);
        return hr;
    }

    std::string StreamBytes() {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        TRawCall call = Invoke(kFirstDispId + 0x27, DISPATCH_METHOD, &none);
        std::string bytes;
        EXPECT_EQ(call.Hr, S_OK);
        if (call.Hr == S_OK && call.Result.vt == (VT_ARRAY | VT_UI1)) {
            SAFEARRAY* a = call.Result.parray;
            void* data = nullptr;
            SafeArrayAccessData(a, &data);
            bytes.assign(static_cast<const char*>(data), a->rgsabound[0].cElements);
            SafeArrayUnaccessData(a);
        }
        Release(call);
        return bytes;
    }

    ::testing::AssertionResult QpdfAccepts(const std::string& name, const std::string& bytes) {
        if (bytes.rfind("%PDF-1.2", 0) != 0) return ::testing::AssertionFailure() << "not a PDF";
        return testing::QpdfClean(testing::WriteFile("robustness-" + name + ".pdf", bytes));
    }

    TScriptObject doc_;
    fs::path dir_, old_;
    std::size_t calls_ = 0;
    std::size_t succeeded_ = 0;
};

const WORD kFlagSets[] = {
    0,
    DISPATCH_METHOD,
    DISPATCH_PROPERTYGET,
    DISPATCH_METHOD | DISPATCH_PROPERTYGET,
    DISPATCH_PROPERTYPUT,
    DISPATCH_PROPERTYPUTREF,
    DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF,
    DISPATCH_METHOD | DISPATCH_PROPERTYPUT,
    0xFFFF,
    0x8000,
};

bool IsPut(WORD flags) {
    return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

// Whether the member answers these flags at all.
bool Answers(const TMemberInfo& m, WORD flags) {
    if (IsPut(flags)) return m.HasPut();
    return m.Kind == TMemberKind::Method ? (flags & DISPATCH_METHOD) != 0
                                         : (flags & DISPATCH_PROPERTYGET) != 0;
}

TValueType DeclaredType(const TMemberInfo& m, std::size_t slot) {
    return slot < m.ParamCount ? m.Params[slot].Type : m.Result;
}

void FillGood(const TMemberInfo& m, std::size_t count, TArgs& args) {
    for (std::size_t i = 0; i < count; ++i) MakeGood(DeclaredType(m, i), args.Add());
}

TEST_F(RobustnessTest, EveryMemberSurvivesHostileArgumentsAndFlags) {
    const std::vector<THostile> hostile = HostileValues();
    for (const TMemberInfo& m : kMembers) {
        SCOPED_TRACE(std::string(m.Name));
        for (WORD flags : kFlagSets) {
            const bool put = IsPut(flags);
            const std::size_t declared = m.ParamCount + (put ? 1u : 0u);
            const bool answers = Answers(m, flags);
            {
                TArgs args;
                FillGood(m, declared, args);
                const HRESULT hr = CallWith(m, flags, args, put);
                if (!answers)
                    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND) << "flags " << flags;
                else
                    EXPECT_TRUE(hr == S_OK || hr == DISP_E_EXCEPTION) << "flags " << flags;
                TArgs again;
                FillGood(m, declared, again);
                EXPECT_EQ(CallWith(m, flags, again, put, false), hr) << "no result pointer";
            }
            // Each declared slot in turn gets every hostile value.
            for (std::size_t slot = 0; slot < declared; ++slot) {
                for (const THostile& h : hostile) {
                    TArgs args;
                    for (std::size_t i = 0; i < declared; ++i) {
                        VARIANT& v = args.Add();
                        if (i == slot)
                            h.Make(v);
                        else
                            MakeGood(DeclaredType(m, i), v);
                    }
                    const HRESULT hr = CallWith(m, flags, args, put);
                    if (!answers) {
                        EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND) << h.Name;
                    }
                    if (answers && std::string_view(h.Name) == "missing") {
                        EXPECT_EQ(hr, DISP_E_PARAMNOTOPTIONAL) << h.Name;
                    }
                    if (answers && std::string_view(h.Name).starts_with("bad ")) {
                        EXPECT_TRUE(hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE) << h.Name;
                    }
                }
            }
            // Missing and extra arguments.
            for (std::size_t count : {std::size_t{0}, declared + 1, declared + 5}) {
                if (count == declared) continue;
                TArgs args;
                FillGood(m, count, args);
                const HRESULT hr = CallWith(m, flags, args, put && count > 0);
                if (!answers)
                    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
                else
                    EXPECT_TRUE(hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND) << count;
            }
            if (declared > 0) {
                TArgs args;
                FillGood(m, declared - 1, args);
                const HRESULT hr = CallWith(m, flags, args, put && declared > 1);
                if (answers) {
                    EXPECT_TRUE(hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND);
                }
            }
        }
    }
    RecordProperty("calls", static_cast<int>(calls_));
    std::printf("hostile matrix: %zu calls, %zu succeeded\n", calls_, succeeded_);

    // Whatever the matrix did, the document is whole.
    EXPECT_TRUE(QpdfAccepts("matrix", StreamBytes()));
}

TEST_F(RobustnessTest, NamedArgumentsAndDispParams) {
    for (const TMemberInfo& m : kMembers) {
        SCOPED_TRACE(std::string(m.Name));
        const WORD get = m.Kind == TMemberKind::Method ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
        // No DISPPARAMS at all, and arguments promised but not given.
        EXPECT_EQ(Invoke(m.DispId, get, nullptr).Hr, E_INVALIDARG);
        DISPPARAMS promised{nullptr, nullptr, 2, 0};
        EXPECT_EQ(Invoke(m.DispId, get, &promised).Hr, E_INVALIDARG);
        DISPPARAMS namedNull{nullptr, nullptr, 0, 1};
        EXPECT_EQ(Invoke(m.DispId, get, &namedNull).Hr, E_INVALIDARG);

        TArgs args;
        FillGood(m, m.ParamCount, args);
        std::vector<VARIANT> rgvarg = args.Layout(false);
        // Every argument named by its position, in reverse: the same call.
        std::vector<DISPID> names;
        for (std::size_t k = 0; k < m.ParamCount; ++k)
            names.push_back(static_cast<DISPID>(m.ParamCount - 1 - k));
        DISPPARAMS byName{rgvarg.data(), names.data(), static_cast<UINT>(rgvarg.size()),
                          static_cast<UINT>(names.size())};
        if (m.ParamCount > 0) {
            TRawCall ok = Invoke(m.DispId, get, &byName);
            EXPECT_TRUE(ok.Hr == S_OK || ok.Hr == DISP_E_EXCEPTION);
            Release(ok);
        }
        // Names that are no parameter, duplicates, and more names than arguments.
        for (DISPID bad : {DISPID{-1}, DISPID_PROPERTYPUT, DISPID{99}, DISPID{INT_MIN}, DISPID{INT_MAX},
                           DISPID_VALUE - 1, static_cast<DISPID>(m.ParamCount)}) {
            if (m.ParamCount == 0) break;
            std::vector<DISPID> wrong = names;
            wrong[0] = bad;
            DISPPARAMS p{rgvarg.data(), wrong.data(), static_cast<UINT>(rgvarg.size()), 1};
            TRawCall call = Invoke(m.DispId, get, &p);
            EXPECT_EQ(call.Hr, DISP_E_PARAMNOTFOUND) << bad;
            EXPECT_EQ(call.ArgError, 0u);
            Release(call);
        }
        if (m.ParamCount >= 2) {
            std::vector<DISPID> twice = {0, 0};
            DISPPARAMS p{rgvarg.data(), twice.data(), static_cast<UINT>(rgvarg.size()), 2};
            EXPECT_EQ(Invoke(m.DispId, get, &p).Hr, DISP_E_PARAMNOTFOUND);
        }
        std::vector<DISPID> many(8, 0);
        DISPPARAMS tooManyNames{rgvarg.data(), many.data(), static_cast<UINT>(rgvarg.size()), 8};
        EXPECT_EQ(Invoke(m.DispId, get, &tooManyNames).Hr, E_INVALIDARG);

        if (m.HasPut()) {
            TArgs put;
            FillGood(m, m.ParamCount + 1u, put);
            std::vector<VARIANT> pv = put.Layout(true);
            // A put whose value is not named DISPID_PROPERTYPUT, or named twice.
            DISPPARAMS unnamed{pv.data(), nullptr, static_cast<UINT>(pv.size()), 0};
            EXPECT_EQ(Invoke(m.DispId, DISPATCH_PROPERTYPUT, &unnamed).Hr, DISP_E_PARAMNOTFOUND);
            std::vector<DISPID> other = {0};
            DISPPARAMS otherName{pv.data(), other.data(), static_cast<UINT>(pv.size()), 1};
            EXPECT_EQ(Invoke(m.DispId, DISPATCH_PROPERTYPUT, &otherName).Hr, DISP_E_PARAMNOTFOUND);
            std::vector<DISPID> twice = {DISPID_PROPERTYPUT, DISPID_PROPERTYPUT};
            if (pv.size() >= 2) {
                DISPPARAMS dup{pv.data(), twice.data(), static_cast<UINT>(pv.size()), 2};
                EXPECT_EQ(Invoke(m.DispId, DISPATCH_PROPERTYPUT, &dup).Hr, DISP_E_PARAMNOTFOUND);
            }
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            EXPECT_EQ(Invoke(m.DispId, DISPATCH_PROPERTYPUT, &none).Hr, DISP_E_PARAMNOTFOUND);
        }
    }
    // DISPIDs that name no member, whatever the flags.
    for (DISPID id : {DISPID{INT_MIN}, DISPID{-1}, DISPID_PROPERTYPUT, DISPID_NEWENUM, DISPID_VALUE,
                      DISPID{200}, DISPID{288}, DISPID{0x10000 + 0xC9}, DISPID{INT_MAX}}) {
        for (WORD flags : kFlagSets) {
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            EXPECT_EQ(Invoke(id, flags, &none).Hr, DISP_E_MEMBERNOTFOUND) << id;
            EXPECT_EQ(Invoke(id, flags, nullptr).Hr, DISP_E_MEMBERNOTFOUND) << id;
        }
    }
    // An interface identifier other than IID_NULL.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(doc_.Dispatch()->Invoke(kFirstDispId, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr,
                                      nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_TRUE(QpdfAccepts("named", StreamBytes()));
}

TEST_F(RobustnessTest, UnknownNames) {
    IDispatch* d = doc_.Dispatch();
    auto idOf = [&](std::u16string_view name, HRESULT* hr) {
        const UniqueBstr text(U16ToBstr(name));
        LPOLESTR names[] = {text.get()};
        DISPID id = 12345;
        *hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        return id;
    };
    HRESULT hr = S_OK;
    for (std::u16string_view name :
         {std::u16string_view(u""), std::u16string_view(u"AddPag"), std::u16string_view(u"AddPages"),
          std::u16string_view(u"\u00C4ddPage"), std::u16string_view(u"Add Page")}) {
        EXPECT_EQ(idOf(name, &hr), DISPID_UNKNOWN);
        EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    }
    const std::u16string longName(100000, u'A');
    EXPECT_EQ(idOf(longName, &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(idOf(u"aDDpAGE", &hr), 0xC9);

    // Null names, null ids, a null first name, parameter names that do not exist.
    DISPID ids[3] = {};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_INVALIDARG);
    LPOLESTR one[] = {const_cast<LPOLESTR>(OLESTR("Locate"))};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, one, 1, 0, nullptr), E_INVALIDARG);
    LPOLESTR nulls[] = {nullptr, nullptr};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, nulls, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    LPOLESTR params[] = {const_cast<LPOLESTR>(OLESTR("Locate")), const_cast<LPOLESTR>(OLESTR("y")),
                         const_cast<LPOLESTR>(OLESTR("Z"))};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, params, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 0xCE);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    EXPECT_EQ(d->GetIDsOfNames(IID_IDispatch, one, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
    if (a.vt != b.vt) return false;
    switch (a.vt) {
    case VT_BSTR:
        return BstrToU16(a.bstrVal) == BstrToU16(b.bstrVal);
    case VT_R8:
        return std::memcmp(&a.dblVal, &b.dblVal, sizeof(double)) == 0;
    case VT_BOOL:
        return a.boolVal == b.boolVal;
    default:
        return a.lVal == b.lVal;
    }
}

// Coercion that fails leaves the property as it was.
TEST_F(RobustnessTest, RejectedPutsKeepTheOldValue) {
    ASSERT_EQ(doc_.Call(u"CreateText").Long(), 1);
    ASSERT_EQ(doc_.Call(u"CreateGraphic").Long(), 2);
    doc_.Call(u"AddPage", {I4(0)});
    const std::vector<THostile> hostile = HostileValues();
    for (const TMemberInfo& m : kMembers) {
        if (!m.HasPut() || m.Name == "CurrentGraphic" || m.Name == "CurrentText") continue;
        SCOPED_TRACE(std::string(m.Name));
        std::vector<TVariant> index;
        if (m.ParamCount == 1) index.push_back(I4(1));
        const std::u16string name(m.Name.begin(), m.Name.end());
        const TCall before = doc_.Get(name, index);
        ASSERT_EQ(before.Hr, S_OK);
        for (const THostile& h : hostile) {
            const TCall current = doc_.Get(name, index);
            TArgs args;
            FillGood(m, m.ParamCount, args);
            h.Make(args.Add());
            const HRESULT hr = CallWith(m, DISPATCH_PROPERTYPUT, args, true);
            if (hr == S_OK) continue;
            const TCall after = doc_.Get(name, index);
            EXPECT_TRUE(SameValue(*current.Value, *after.Value)) << h.Name;
        }
        // Restore so that the next property starts from the defaults of the others.
        TArgs restore;
        FillGood(m, m.ParamCount, restore);
        VariantCopy(&restore.Add(), const_cast<VARIANT*>(&*before.Value));
        EXPECT_EQ(CallWith(m, DISPATCH_PROPERTYPUT, restore, true), S_OK);
    }
}

std::string MonoFont(const fs::path& dir) {
    TSyntheticFont f;
    f.Names = {{1, 0, 0, 6, "Mono500"}};
    f.Advances = {500};
    f.Segments = {{0x20, 0xFF, static_cast<uint16_t>(1 - 0x20), {}}};
    const std::string path = (dir / "mono500.ttf").string();
    f.WriteTo(path);
    return path;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

TEST_F(RobustnessTest, HostileSequencesStillSave) {
    const std::u16string font = Wide(MonoFont(dir_));
    ASSERT_EQ(doc_.Call(u"AddFont", {Str(font)}).Long(), 15);
    ASSERT_EQ(doc_.Call(u"AddFont", {Str(font)}).Long(), 16);
    doc_.Put(u"EmbedFont", {I4(16), Bool(-1)});

    // Many pages and resources, a clear in the middle, then many again.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 600; ++i) doc_.Call(u"AddPage", {I4(i % 3 == 0 ? 1 : 0)});
        for (int i = 0; i < 600; ++i) {
            const LONG g = doc_.Call(u"CreateGraphic").Long();
            doc_.Call(u"DrawLine", {R8(kNaN), R8(kInf), R8(-kInf), R8(1e308)});
            doc_.Call(u"Ellipse", {R8(1e308), R8(-1e308), R8(kNaN), R8(1e300), R8(kInf)});
            doc_.Call(u"ApplyResource", {I4(1 + i % 600), I4(g)});
        }
        if (round == 0) {
            ASSERT_EQ(doc_.Call(u"Clear").Hr, S_OK);
            EXPECT_EQ(doc_.Get(u"CurrentGraphic").Long(), 0);
            ASSERT_EQ(doc_.Call(u"AddFont", {Str(font)}).Long(), 15);
        }
    }
    // CurrentText and CurrentGraphic pointing at nothing, at each other's kind, at extremes.
    const LONG text = doc_.Call(u"CreateText").Long();
    for (LONG current : {LONG{0}, LONG{-1}, LONG{INT_MIN}, LONG{INT_MAX}, LONG{1}, text + 1}) {
        doc_.Put(u"CurrentText", {I4(current)});
        doc_.Put(u"CurrentGraphic", {I4(current == 1 ? text : current)});
        EXPECT_EQ(doc_.Call(u"WriteText", {Str(u"nowhere")}).Hr, S_OK);
        EXPECT_EQ(doc_.Call(u"Rectangle", {R8(0), R8(0), R8(1), R8(1)}).Hr, S_OK);
        EXPECT_EQ(doc_.Put(u"TextSize", {I4(12)}).Hr, S_OK);
        EXPECT_EQ(doc_.Put(u"LineWidth", {I4(3)}).Hr, S_OK);
        EXPECT_EQ(doc_.Get(u"TextBlockWidth").Hr, S_OK);
        EXPECT_EQ(doc_.Get(u"TextBlockHeight").Hr, S_OK);
        EXPECT_EQ(doc_.Get(u"TextLineWidth", {Str(u"x")}).Hr, S_OK);
    }
    doc_.Put(u"CurrentText", {I4(text)});

    // Text with extreme sizes, spacing, widths and skews, in both font kinds.
    const std::u16string tricky =
        std::u16string(u"(unbalanced \\ ) ((\r\n\r\r\n\n\x01\x7F\x1B tab\there \xFF\u4E2D") +
        std::u16string(1, char16_t(0xDC00));
    const std::u16string megabyte(1 << 20, u'w');
    std::u16string megabyteWords;
    for (int i = 0; i < (1 << 17); ++i) megabyteWords += u"word(s) ";
    struct TTextCase {
        LONG Font, Size;
        double Spacing, MaxWidth, Skew;
    };
    const TTextCase cases[] = {
        {15, INT_MAX, kNaN, 1e308, 90}, {15, INT_MIN, -kInf, 1e-300, -90},
        {15, 0, 1e308, kNaN, kNaN},     {15, -1, -1e308, kInf, 1e308},
        {16, 1, -100, 0.001, 45},       {1, INT_MAX, kNaN, 1e308, 90},
        {5, -12, kInf, 1, kInf},        {15, 10, 15, 100, 0},
    };
    for (const TTextCase& c : cases) {
        const LONG t = doc_.Call(u"CreateText").Long();
        doc_.Put(u"TextFont", {I4(c.Font)});
        doc_.Put(u"TextSize", {I4(c.Size)});
        doc_.Put(u"TextLineSpacing", {R8(c.Spacing)});
        doc_.Put(u"TextMaxWidth", {R8(c.MaxWidth)});
        doc_.Put(u"TextSkewX", {R8(c.Skew)});
        doc_.Put(u"TextSkewY", {R8(-c.Skew)});
        doc_.Put(u"TextUnderline", {Bool(-1)});
        doc_.Put(u"TextAlign", {I4(c.Font % 3)});
        doc_.Put(u"LinkSize", {I4(c.Size)});
        doc_.Put(u"LinkFont", {I4(16)});
        for (bool standardLinks : {false, true}) {
            doc_.Put(u"LinkStandardFormat", {Bool(standardLinks ? -1 : 0)});
            doc_.Put(u"LinkBorder", {Bool(standardLinks ? 0 : -1)});
            EXPECT_EQ(doc_.Call(u"WriteText", {Str(tricky)}).Hr, S_OK);
            EXPECT_EQ(doc_.Call(u"WriteLink", {Str(tricky), Str(u"http://x/(a)\\b)\r\n(")}).Hr, S_OK);
            doc_.Put(u"AppendText", {Bool(-1)});
            EXPECT_EQ(doc_.Call(u"WriteLink", {Str(u"(more)"), Str(tricky)}).Hr, S_OK);
            EXPECT_EQ(doc_.Call(u"WriteText", {NullStr()}).Hr, S_OK);
            EXPECT_EQ(doc_.Call(u"WriteLink", {NullStr(), NullStr()}).Hr, S_OK);
            doc_.Put(u"AppendText", {Bool(0)});
        }
        EXPECT_EQ(doc_.Get(u"TextBlockWidth").Hr, S_OK);
        EXPECT_EQ(doc_.Get(u"TextBlockHeight").Hr, S_OK);
        EXPECT_EQ(doc_.Get(u"TextLineWidth", {Str(tricky)}).Hr, S_OK);
        doc_.Call(u"AddPage", {I4(0)});
        const LONG page = doc_.Get(u"PageSize", {I4(1)}).Long() >= 0 ? 1 : 1;
        const LONG placed = doc_.Call(u"ApplyResource", {I4(page), I4(t)}).Long();
        EXPECT_GT(placed, 0);
        doc_.Call(u"Locate", {I4(page), I4(placed), R8(c.MaxWidth), R8(-c.Spacing)});
        doc_.Call(u"ScaleObject", {I4(page), I4(placed), R8(c.Size > 0 ? 1e308 : 1e-300)});
        // Links on placements that are not images are ignored.
        EXPECT_EQ(doc_.Call(u"SetImageLink", {I4(page), I4(placed), Str(u"http://nope/")}).Hr, S_OK);
    }
    // One megabyte lines, in a wrapped font and a standard one, and as document information.
    for (LONG f : {LONG{15}, LONG{1}}) {
        doc_.Call(u"CreateText");
        doc_.Put(u"TextFont", {I4(f)});
        doc_.Put(u"TextMaxWidth", {R8(200)});
        doc_.Call(u"WriteText", {Str(megabyte)});
        doc_.Call(u"WriteText", {Str(megabyteWords)});
        // Every wrapped piece of a link is an annotation with the whole target, so the target stays short.
        doc_.Call(u"WriteLink", {Str(megabyteWords), Str(u"http://long/")});
        doc_.Call(u"WriteLink", {Str(u"short"), Str(megabyte)});
        doc_.Call(u"ApplyResource", {I4(2), doc_.Get(u"CurrentText").Value});
    }
    doc_.Put(u"Title", {Str(megabyte)});
    doc_.Put(u"Author", {Str(tricky)});
    doc_.Put(u"Subject", {Str(std::u16string(u"\0\0)", 3))});
    doc_.Put(u"Keywords", {NullStr()});
    doc_.Put(u"PageWidth", {I4(2), R8(1e308)});
    doc_.Put(u"PageHeight", {I4(3), R8(kNaN)});
    doc_.Put(u"PageSize", {I4(4), I4(INT_MIN)});
    doc_.Put(u"Units", {I4(3)});
    doc_.Put(u"PageWidth", {I4(5), R8(kInf)});
    doc_.Call(u"Rotate", {I4(6), I4(1), R8(1e308)});
    doc_.Call(u"Rotate", {I4(7), I4(1), R8(kNaN)});
    doc_.Put(u"Units", {I4(0)});

    const std::string pdf = StreamBytes();
    EXPECT_TRUE(QpdfAccepts("sequences", pdf));
    // The link targets keep their parentheses balanced by escaping, and their CR as \r.
    EXPECT_NE(pdf.find("/URI (http://x/\\(a\\)\\\\b\\)\\r\n\\()"), std::string::npos);
    // Output does not change the document, and may be repeated.
    EXPECT_EQ(StreamBytes().size(), pdf.size());

    // DeleteAllPages keeps the resources, which can be placed again.
    EXPECT_EQ(doc_.Call(u"DeleteAllPages").Hr, S_OK);
    doc_.Call(u"AddPage", {I4(-5)});
    EXPECT_EQ(doc_.Call(u"ApplyResource", {I4(1), I4(text)}).Long(), 1);
    EXPECT_TRUE(QpdfAccepts("after-delete", StreamBytes()));
}

// Faults the matrix found, each pinned by the smallest call that showed it.
TEST_F(RobustnessTest, MendedFaults) {
    // A font name with a NUL names no file, even when the part before it does.
    const std::u16string font = Wide(MonoFont(dir_));
    EXPECT_EQ(doc_.Call(u"AddFont", {Str(font + std::u16string(1, u'\0') + u"x")}).Long(), 0);
    EXPECT_EQ(doc_.Call(u"AddFont", {Str(font)}).Long(), 15);

    // A VARIANT parameter never passes a value of no valid type, nor a byref, to the member.
    for (VARTYPE bad :
         {VARTYPE{VT_RECORD}, VARTYPE{0xFFFF}, VARTYPE(VT_VECTOR | VT_UI1), VARTYPE{VT_VARIANT}}) {
        TArgs args;
        VARIANT& v = args.Add();
        v.vt = bad;
        EXPECT_EQ(CallWith(kMembers[0xF1 - kFirstDispId], DISPATCH_METHOD, args, false), DISP_E_BADVARTYPE);
    }
    {
        TArgs args;
        VARIANT& v = args.Add();
        v.vt = VT_ARRAY | VT_UI1 | VT_BYREF;
        v.pparray = nullptr;
        EXPECT_EQ(CallWith(kMembers[0xF1 - kFirstDispId], DISPATCH_METHOD, args, false), DISP_E_TYPEMISMATCH);
    }

    // A link far off the page: its area's right edge saturates instead of overflowing.
    doc_.Call(u"AddPage", {I4(0)});
    doc_.Call(u"CreateText");
    doc_.Put(u"TextFont", {I4(15)});
    doc_.Put(u"TextSize", {I4(10)});
    doc_.Call(u"WriteLink", {Str(u"far"), Str(u"http://far/")});
    doc_.Call(u"ApplyResource", {I4(1), I4(1)});
    doc_.Call(u"Locate", {I4(1), I4(1), R8(1e300), R8(0)});
    doc_.Call(u"ScaleObject", {I4(1), I4(1), R8(1e300)});
    const std::string pdf = StreamBytes();
    EXPECT_NE(pdf.find("/Rect [ 9000000000000000000 "), std::string::npos);
    EXPECT_NE(pdf.find(" 9223372036854775807 "), std::string::npos);
    EXPECT_TRUE(QpdfAccepts("far-link", pdf));
}

} // namespace
} // namespace pagelith::test
