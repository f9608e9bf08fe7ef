#include "automation/dispatch.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "automation/member_table.h"
#include "platform/bstr_util.h"

namespace pagelith {

namespace {

// One argument or result of an interface entry, in its declared type.
union TArg {
    LONG Long;
    double Double;
    BSTR String;
    VARIANT_BOOL Boolean;
    OleColor Color;
    VARIANT Variant;
};

using TThunk = HRESULT (*)(IPDFSvrDoc2*, TArg* in, TArg* out);

template <class T> constexpr TValueType TypeOf() {
    if constexpr (std::is_same_v<T, LONG>)
        return TValueType::Long;
    else if constexpr (std::is_same_v<T, double>)
        return TValueType::Double;
    else if constexpr (std::is_same_v<T, BSTR>)
        return TValueType::String;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        return TValueType::Boolean;
    else if constexpr (std::is_same_v<T, OleColor>)
        return TValueType::Color;
    else if constexpr (std::is_same_v<T, VARIANT>)
        return TValueType::Variant;
    else
        return TValueType::None;
}

template <class T> T& Field(TArg& arg) {
    if constexpr (std::is_same_v<T, LONG>)
        return arg.Long;
    else if constexpr (std::is_same_v<T, double>)
        return arg.Double;
    else if constexpr (std::is_same_v<T, BSTR>)
        return arg.String;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        return arg.Boolean;
    else if constexpr (std::is_same_v<T, OleColor>)
        return arg.Color;
    else
        return arg.Variant;
}

// An out parameter is a pointer to one of the declared types (BSTR itself is an input).
template <class T> struct TOut : std::false_type {};
template <class T>
requires(TypeOf<T>() != TValueType::None) struct TOut<T*> : std::true_type {
    using Type = T;
};

template <class T> constexpr TValueType OutTypeOf() {
    if constexpr (TOut<T>::value)
        return TypeOf<typename TOut<T>::Type>();
    else
        return TValueType::None;
}

// The parameter types of an interface entry, for checking against the member table.
struct TSignature {
    uint8_t InCount = 0;
    std::array<TValueType, 6> In{};
    TValueType Out = TValueType::None;
};

template <auto Method> struct Invoker;

// C is the interface that declares the entry: IPDFSvrDoc or IPDFSvrDoc2.
template <class C, class... A, HRESULT (STDMETHODCALLTYPE C::*Method)(A...)> struct Invoker<Method> {
    static constexpr std::size_t N = sizeof...(A);
    using Last = std::tuple_element_t<N == 0 ? 0 : N - 1, std::tuple<A..., void>>;
    static constexpr bool HasOut = N > 0 && TOut<Last>::value;
    static constexpr std::size_t InCount = HasOut ? N - 1 : N;

    template <std::size_t I, class T> static T Pick(TArg* in, TArg* out) {
        if constexpr (I == InCount)
            return &Field<typename TOut<T>::Type>(*out);
        else
            return Field<T>(in[I]);
    }

    template <std::size_t... I>
    static HRESULT Call(IPDFSvrDoc2* object, TArg* in, TArg* out, std::index_sequence<I...>) {
        (void)in;
        (void)out;
        return (object->*Method)(Pick<I, A>(in, out)...);
    }

    static HRESULT Call(IPDFSvrDoc2* object, TArg* in, TArg* out) {
        return Call(object, in, out, std::make_index_sequence<N>{});
    }

    static constexpr TSignature Signature() {
        TSignature s;
        s.InCount = static_cast<uint8_t>(InCount);
        std::size_t i = 0;
        ((i < InCount ? (s.In[i] = TypeOf<A>(), 0) : (s.Out = OutTypeOf<A>(), 0), ++i), ...);
        return s;
    }
};

struct TEntry {
    TThunk Get; // the method itself for methods
    TThunk Put;
    TSignature GetSignature;
    TSignature PutSignature;
    bool HasPut;
};

template <auto Get> constexpr TEntry Entry() {
    return {&Invoker<Get>::Call, nullptr, Invoker<Get>::Signature(), {}, false};
}

template <auto Get, auto Put> constexpr TEntry Entry() {
    return {&Invoker<Get>::Call, &Invoker<Put>::Call, Invoker<Get>::Signature(), Invoker<Put>::Signature(),
            true};
}

// clang-format off
constexpr std::array<TEntry, kMembers.size()> kEntries = {{
    Entry<&IPDFSvrDoc::AddPage>(),
    Entry<&IPDFSvrDoc::AddImageFile>(),
    Entry<&IPDFSvrDoc::SaveToFile>(),
    Entry<&IPDFSvrDoc::ApplyResource>(),
    Entry<&IPDFSvrDoc::ScaleObject>(),
    Entry<&IPDFSvrDoc::Locate>(),
    Entry<&IPDFSvrDoc::CreateGraphic>(),
    Entry<&IPDFSvrDoc::DrawLine>(),
    Entry<&IPDFSvrDoc::Rectangle>(),
    Entry<&IPDFSvrDoc::CreateText>(),
    Entry<&IPDFSvrDoc::WriteText>(),
    Entry<&IPDFSvrDoc::Clear>(),
    Entry<&IPDFSvrDoc::DeleteAllPages>(),
    Entry<&IPDFSvrDoc::AddImageBMPHandle>(),
    Entry<&IPDFSvrDoc::get_CurrentGraphic, &IPDFSvrDoc::put_CurrentGraphic>(),
    Entry<&IPDFSvrDoc::get_CurrentText, &IPDFSvrDoc::put_CurrentText>(),
    Entry<&IPDFSvrDoc::get_LineWidth, &IPDFSvrDoc::put_LineWidth>(),
    Entry<&IPDFSvrDoc::get_TextColor, &IPDFSvrDoc::put_TextColor>(),
    Entry<&IPDFSvrDoc::get_LineColor, &IPDFSvrDoc::put_LineColor>(),
    Entry<&IPDFSvrDoc::get_FillColor, &IPDFSvrDoc::put_FillColor>(),
    Entry<&IPDFSvrDoc::get_CompressionBW, &IPDFSvrDoc::put_CompressionBW>(),
    Entry<&IPDFSvrDoc::get_CompressionIndexed, &IPDFSvrDoc::put_CompressionIndexed>(),
    Entry<&IPDFSvrDoc::get_CompressionRGB, &IPDFSvrDoc::put_CompressionRGB>(),
    Entry<&IPDFSvrDoc::get_CompressionGray, &IPDFSvrDoc::put_CompressionGray>(),
    Entry<&IPDFSvrDoc::get_UseSourceCompression, &IPDFSvrDoc::put_UseSourceCompression>(),
    Entry<&IPDFSvrDoc::get_TextFont, &IPDFSvrDoc::put_TextFont>(),
    Entry<&IPDFSvrDoc::get_TextSize, &IPDFSvrDoc::put_TextSize>(),
    Entry<&IPDFSvrDoc::get_ImageReadNumber, &IPDFSvrDoc::put_ImageReadNumber>(),
    Entry<&IPDFSvrDoc::get_ReleaseBMPHandle, &IPDFSvrDoc::put_ReleaseBMPHandle>(),
    Entry<&IPDFSvrDoc::get_DefaultPageSize, &IPDFSvrDoc::put_DefaultPageSize>(),
    Entry<&IPDFSvrDoc::get_Units, &IPDFSvrDoc::put_Units>(),
    Entry<&IPDFSvrDoc::get_PageSize, &IPDFSvrDoc::put_PageSize>(),
    Entry<&IPDFSvrDoc::get_PageWidth, &IPDFSvrDoc::put_PageWidth>(),
    Entry<&IPDFSvrDoc::get_PageHeight, &IPDFSvrDoc::put_PageHeight>(),
    Entry<&IPDFSvrDoc::get_ImageWidth>(),
    Entry<&IPDFSvrDoc::get_ImageHeight>(),
    Entry<&IPDFSvrDoc::BinaryWrite>(),
    Entry<&IPDFSvrDoc::get_StreamFileName, &IPDFSvrDoc::put_StreamFileName>(),
    Entry<&IPDFSvrDoc::get_StreamInline, &IPDFSvrDoc::put_StreamInline>(),
    Entry<&IPDFSvrDoc::StreamData>(),
    Entry<&IPDFSvrDoc::AddImageBytes>(),
    Entry<&IPDFSvrDoc::AddFont>(),
    Entry<&IPDFSvrDoc::get_EmbedFont, &IPDFSvrDoc::put_EmbedFont>(),
    Entry<&IPDFSvrDoc::Rotate>(),
    Entry<&IPDFSvrDoc::get_Title, &IPDFSvrDoc::put_Title>(),
    Entry<&IPDFSvrDoc::get_Subject, &IPDFSvrDoc::put_Subject>(),
    Entry<&IPDFSvrDoc::get_Author, &IPDFSvrDoc::put_Author>(),
    Entry<&IPDFSvrDoc::get_Keywords, &IPDFSvrDoc::put_Keywords>(),
    Entry<&IPDFSvrDoc::get_ImageCount>(),
    Entry<&IPDFSvrDoc::get_TextLineSpacing, &IPDFSvrDoc::put_TextLineSpacing>(),
    Entry<&IPDFSvrDoc::get_TextAlign, &IPDFSvrDoc::put_TextAlign>(),
    Entry<&IPDFSvrDoc::get_TextMaxWidth, &IPDFSvrDoc::put_TextMaxWidth>(),
    Entry<&IPDFSvrDoc::get_TextSkewX, &IPDFSvrDoc::put_TextSkewX>(),
    Entry<&IPDFSvrDoc::get_TextSkewY, &IPDFSvrDoc::put_TextSkewY>(),
    Entry<&IPDFSvrDoc::Ellipse>(),
    Entry<&IPDFSvrDoc::Circle>(),
    Entry<&IPDFSvrDoc::get_TextBlockHeight>(),
    Entry<&IPDFSvrDoc::SetFontOffset>(),
    Entry<&IPDFSvrDoc::WriteLink>(),
    Entry<&IPDFSvrDoc::get_TextUnderline, &IPDFSvrDoc::put_TextUnderline>(),
    Entry<&IPDFSvrDoc::get_LinkStandardFormat, &IPDFSvrDoc::put_LinkStandardFormat>(),
    Entry<&IPDFSvrDoc::get_LinkColor, &IPDFSvrDoc::put_LinkColor>(),
    Entry<&IPDFSvrDoc::get_LinkFont, &IPDFSvrDoc::put_LinkFont>(),
    Entry<&IPDFSvrDoc::get_LinkUnderline, &IPDFSvrDoc::put_LinkUnderline>(),
    Entry<&IPDFSvrDoc::get_LinkSize, &IPDFSvrDoc::put_LinkSize>(),
    Entry<&IPDFSvrDoc::get_LinkBorder, &IPDFSvrDoc::put_LinkBorder>(),
    Entry<&IPDFSvrDoc::get_TextLineWidth>(),
    Entry<&IPDFSvrDoc::SetImageLink>(),
    Entry<&IPDFSvrDoc::get_TextBlockWidth>(),
    Entry<&IPDFSvrDoc::get_MergeAlpha, &IPDFSvrDoc::put_MergeAlpha>(),
    Entry<&IPDFSvrDoc::get_MergeAlphaColor, &IPDFSvrDoc::put_MergeAlphaColor>(),
    Entry<&IPDFSvrDoc::get_AppendText, &IPDFSvrDoc::put_AppendText>(),
    Entry<&IPDFSvrDoc2::get_UnicodeText, &IPDFSvrDoc2::put_UnicodeText>(),
    Entry<&IPDFSvrDoc2::get_SubsetFonts, &IPDFSvrDoc2::put_SubsetFonts>(),
    Entry<&IPDFSvrDoc2::LoadFont>(),
    Entry<&IPDFSvrDoc2::get_FallbackFonts, &IPDFSvrDoc2::put_FallbackFonts>(),
    Entry<&IPDFSvrDoc2::get_StandardFontMetrics, &IPDFSvrDoc2::put_StandardFontMetrics>(),
    Entry<&IPDFSvrDoc2::get_TextDirection, &IPDFSvrDoc2::put_TextDirection>(),
    Entry<&IPDFSvrDoc2::get_TextFeatures, &IPDFSvrDoc2::put_TextFeatures>(),
    Entry<&IPDFSvrDoc2::get_MaxImagePixels, &IPDFSvrDoc2::put_MaxImagePixels>(),
    Entry<&IPDFSvrDoc2::get_ImageOrientation, &IPDFSvrDoc2::put_ImageOrientation>(),
    Entry<&IPDFSvrDoc2::get_KeepAlpha, &IPDFSvrDoc2::put_KeepAlpha>(),
    Entry<&IPDFSvrDoc2::AddBookmark>(),
    Entry<&IPDFSvrDoc2::get_BookmarkOpen, &IPDFSvrDoc2::put_BookmarkOpen>(),
    Entry<&IPDFSvrDoc2::AddDestination>(),
    Entry<&IPDFSvrDoc2::get_PageMode, &IPDFSvrDoc2::put_PageMode>(),
    Entry<&IPDFSvrDoc2::get_OpenPage, &IPDFSvrDoc2::put_OpenPage>(),
}};
// clang-format on

// Every interface entry takes exactly the member's declared parameters (and the value) in order.
constexpr bool EntriesMatchMembers() {
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
        const TMemberInfo& m = kMembers[i];
        const TEntry& e = kEntries[i];
        if (e.HasPut != m.HasPut()) return false;
        if (e.GetSignature.InCount != m.ParamCount || e.GetSignature.Out != m.Result) return false;
        for (std::size_t p = 0; p < m.ParamCount; ++p)
            if (e.GetSignature.In[p] != m.Params[p].Type) return false;
        if (m.HasPut()) {
            if (e.PutSignature.InCount != m.ParamCount + 1 || e.PutSignature.Out != TValueType::None)
                return false;
            for (std::size_t p = 0; p < m.ParamCount; ++p)
                if (e.PutSignature.In[p] != m.Params[p].Type) return false;
            if (e.PutSignature.In[m.ParamCount] != m.Result) return false;
        }
    }
    return true;
}
static_assert(EntriesMatchMembers(), "The interfaces and the member table disagree");

constexpr std::size_t kMaxArgs = 6;

VARTYPE VarTypeOf(TValueType t) {
    switch (t) {
    case TValueType::Long:
        return VT_I4;
    case TValueType::Double:
        return VT_R8;
    case TValueType::String:
        return VT_BSTR;
    case TValueType::Boolean:
        return VT_BOOL;
    case TValueType::Color:
        return VT_UI4;
    case TValueType::Variant:
        return VT_VARIANT;
    case TValueType::None:
        break;
    }
    return VT_EMPTY;
}

// Copies the value of v, whose type is want (or want | VT_BYREF), into arg.
bool TakeExact(const VARIANT& v, TValueType t, TArg& arg) {
    const VARTYPE want = VarTypeOf(t);
    if (V_VT(&v) == want) {
        switch (t) {
        case TValueType::Long:
            arg.Long = V_I4(&v);
            return true;
        case TValueType::Double:
            arg.Double = V_R8(&v);
            return true;
        case TValueType::String:
            arg.String = V_BSTR(&v);
            return true;
        case TValueType::Boolean:
            arg.Boolean = V_BOOL(&v);
            return true;
        case TValueType::Color:
            arg.Color = V_UI4(&v);
            return true;
        default:
            return false;
        }
    }
    if (V_VT(&v) == (want | VT_BYREF) && V_BYREF(&v)) {
        switch (t) {
        case TValueType::Long:
            arg.Long = *V_I4REF(&v);
            return true;
        case TValueType::Double:
            arg.Double = *V_R8REF(&v);
            return true;
        case TValueType::String:
            arg.String = *V_BSTRREF(&v);
            return true;
        case TValueType::Boolean:
            arg.Boolean = *V_BOOLREF(&v);
            return true;
        case TValueType::Color:
            arg.Color = *V_UI4REF(&v);
            return true;
        default:
            return false;
        }
    }
    // Script integers: small literals arrive as VT_I2, colours as signed VT_I4 bit patterns.
    if (V_VT(&v) == VT_I2 && (t == TValueType::Long || t == TValueType::Double)) {
        if (t == TValueType::Long)
            arg.Long = V_I2(&v);
        else
            arg.Double = V_I2(&v);
        return true;
    }
    if (V_VT(&v) == VT_I4 && t == TValueType::Double) {
        arg.Double = V_I4(&v);
        return true;
    }
    if (V_VT(&v) == VT_I4 && t == TValueType::Color) {
        arg.Color = static_cast<OleColor>(V_I4(&v));
        return true;
    }
    return false;
}

// The shapes of image data that a member reads in place: a string or an array. Everything else is
// copied first, which also refuses types that are no value at all.
bool IsBorrowable(VARTYPE vt) {
    return vt == VT_BSTR || vt == (VT_ARRAY | VT_UI1) || vt == (VT_ARRAY | VT_VARIANT);
}

// Coerces one argument to its declared type. A converted value that owns memory stays in temp, which
// the caller clears after the call.
HRESULT Coerce(VARIANT* source, TValueType t, TArg& arg, VARIANT& temp) {
    VARIANT* v = source;
    if (V_VT(v) == (VT_VARIANT | VT_BYREF)) {
        v = V_VARIANTREF(v);
        if (!v) return DISP_E_TYPEMISMATCH;
    }
    if (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
    if (t == TValueType::Variant) {
        if (IsBorrowable(V_VT(v))) {
            arg.Variant = *v; // borrowed: the member copies what it keeps
            return S_OK;
        }
        // Byref values reach the member as an owned copy of what they point to; types that are
        // no value at all (records, vectors, unknown bits) stop here.
        const HRESULT hr = VariantCopyInd(&temp, v);
        if (hr < 0) {
            VariantClear(&temp);
            return hr == DISP_E_BADVARTYPE || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
        }
        arg.Variant = temp;
        return S_OK;
    }
    if (TakeExact(*v, t, arg)) return S_OK;
    HRESULT hr = VariantChangeType(&temp, v, 0, VarTypeOf(t));
    if (hr < 0 && t == TValueType::Color) {
        hr = VariantChangeType(&temp, v, 0, VT_I4);
        if (hr >= 0) V_VT(&temp) = VT_UI4; // the same 32 bits
    }
    if (hr < 0) {
        VariantClear(&temp);
        return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
    }
    TakeExact(temp, t, arg);
    return S_OK;
}

void StoreResult(TValueType t, TArg& out, VARIANT* result) {
    if (!result) {
        if (t == TValueType::String) SysFreeString(out.String);
        if (t == TValueType::Variant) VariantClear(&out.Variant);
        return;
    }
    switch (t) {
    case TValueType::Long:
        V_VT(result) = VT_I4;
        V_I4(result) = out.Long;
        break;
    case TValueType::Double:
        V_VT(result) = VT_R8;
        V_R8(result) = out.Double;
        break;
    case TValueType::String:
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = out.String;
        break;
    case TValueType::Boolean:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = out.Boolean;
        break;
    case TValueType::Color:
        // Scripts handle VT_I4 best; values beyond its range keep the declared unsigned type.
        if (out.Color <= 0x7FFFFFFFu) {
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(out.Color);
        } else {
            V_VT(result) = VT_UI4;
            V_UI4(result) = out.Color;
        }
        break;
    case TValueType::Variant:
        *result = out.Variant;
        break;
    case TValueType::None:
        break;
    }
}

HRESULT Exception(HRESULT hr, EXCEPINFO* exception) {
    if (!exception) return DISP_E_EXCEPTION;
    *exception = EXCEPINFO{};
    exception->scode = hr;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
        info->GetHelpFile(&exception->bstrHelpFile);
        info->GetHelpContext(&exception->dwHelpContext);
        SetErrorInfo(0, info); // reading took it; the caller may still ask for it
        info->Release();
    }
    if (!exception->bstrSource) {
        try {
            exception->bstrSource = U16ToBstr(kProgId);
        } catch (const std::bad_alloc&) {
            // the description alone still tells what failed
        }
    }
    return DISP_E_EXCEPTION;
}

// Compares an OLE name with an ASCII member name, ignoring the case of ASCII letters.
std::u16string_view NameView(const OLECHAR* name, char16_t (&buffer)[64]) {
    std::size_t n = 0;
    while (name[n] != 0) {
        if (n == std::size(buffer)) return {};
        buffer[n] = static_cast<char16_t>(name[n]);
        ++n;
    }
    return {buffer, n};
}

} // namespace

HRESULT DispatchGetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    char16_t buffer[64];
    const TMemberInfo* member = names[0] ? FindMemberByName(NameView(names[0], buffer)) : nullptr;
    HRESULT hr = S_OK;
    ids[0] = member ? member->DispId : DISPID_UNKNOWN;
    if (!member) hr = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
        const int position = member && names[i] ? FindParamByName(*member, NameView(names[i], buffer)) : -1;
        ids[i] = position >= 0 ? position : DISPID_UNKNOWN;
        if (position < 0) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchInvoke(IPDFSvrDoc2* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError) {
    const TMemberInfo* member = FindMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    const TEntry& entry = kEntries[static_cast<std::size_t>(id - kFirstDispId)];
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    TThunk thunk = nullptr;
    if (put)
        thunk = entry.Put;
    else if (member->Kind == TMemberKind::Method ? (flags & DISPATCH_METHOD) : (flags & DISPATCH_PROPERTYGET))
        thunk = entry.Get;
    if (!thunk) return DISP_E_MEMBERNOTFOUND;

    const UINT argCount = params->cArgs;
    const UINT namedCount = params->cNamedArgs;
    if (namedCount > argCount || (argCount && !params->rgvarg) || (namedCount && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (put && (namedCount == 0 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTFOUND;
    const UINT declared = member->ParamCount + (put ? 1u : 0u);
    if (argCount != declared) return DISP_E_BADPARAMCOUNT;

    // Where each declared parameter sits in rgvarg: positional ones last first, then the named ones.
    std::array<int, kMaxArgs> source;
    source.fill(-1);
    const UINT positional = argCount - namedCount;
    for (UINT k = 0; k < positional; ++k) source[k] = static_cast<int>(argCount - 1 - k);
    for (UINT n = 0; n < namedCount; ++n) {
        const DISPID name = params->rgdispidNamedArgs[n];
        const int64_t position = put && name == DISPID_PROPERTYPUT ? int64_t{declared} - 1 : int64_t{name};
        if (position < 0 || position >= int64_t{declared} ||
            source[static_cast<std::size_t>(position)] >= 0) {
            if (argError) *argError = n;
            return DISP_E_PARAMNOTFOUND;
        }
        source[static_cast<std::size_t>(position)] = static_cast<int>(n);
    }

    std::array<TArg, kMaxArgs> in;
    std::array<VARIANT, kMaxArgs> temp;
    HRESULT hr = S_OK;
    UINT ready = 0; // temporaries initialised
    while (ready < declared) {
        const TValueType type = ready < member->ParamCount ? member->Params[ready].Type : member->Result;
        VariantInit(&temp[ready]);
        hr = Coerce(&params->rgvarg[source[ready]], type, in[ready], temp[ready]);
        if (hr < 0 && argError) *argError = static_cast<UINT>(source[ready]);
        ++ready;
        if (hr < 0) break;
    }
    const bool coercionFailed = hr < 0;
    if (!coercionFailed) {
        if (result) VariantInit(result);
        TArg out;
        out.Variant = VARIANT{};
        hr = thunk(object, in.data(), &out);
        if (hr >= 0 && !put) StoreResult(member->Result, out, result);
    }
    for (UINT i = 0; i < ready; ++i)
        if (V_VT(&temp[i]) != VT_EMPTY) VariantClear(&temp[i]);
    if (coercionFailed) return hr;
    return hr < 0 ? Exception(hr, exception) : S_OK;
}

} // namespace pagelith
