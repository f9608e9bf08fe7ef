#include "automation/pdf_svr_doc.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "automation/class_factory.h"
#include "automation/dispatch.h"
#include "base/ansi_text.h"
#include "base/byte_stream.h"
#include "base/pdf_error.h"
#include "base/utf8_text.h"
#include "output/byte_array.h"
#include "output/native_text.h"
#include "output/response_stream.h"
#include "output/save_to_file.h"
#include "platform/bitmap_handles.h"
#include "platform/bstr_util.h"
#include "platform/com_ptr.h"
#include "platform/object_context.h"
#include "platform/ole_error.h"
#include "platform/type_library.h"

namespace pagelith {

namespace {

VARIANT_BOOL AsBool(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

std::string Ansi(BSTR text) {
    return WideToAnsi(BstrToU16(text));
}

// Runs a member's body in the error guard with the object's lock held: a host may call one object from
// several threads at once, and the document is not built for that.
template <class F> HRESULT Serialized(std::mutex& lock, F&& body) noexcept {
    return Guarded([&] {
        const std::lock_guard<std::mutex> hold(lock);
        body();
    });
}

// Reads a value in the guard and stores it only once it is complete.
template <class T, class F> HRESULT GetValue(std::mutex& lock, T* out, F&& read) noexcept {
    if (!out) return E_POINTER;
    return Serialized(lock, [&] {
        const T value = read();
        *out = value;
    });
}

// Runs an operation that has a result; the result is written after the operation has returned.
template <class T, class F> HRESULT RunWithResult(std::mutex& lock, T* out, F&& operation) noexcept {
    return Serialized(lock, [&] {
        const T value = operation();
        if (out) *out = value;
    });
}

HRESULT GetString(std::mutex& lock, BSTR* out, const std::u16string& value) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Serialized(lock, [&] { *out = U16ToBstr(value); });
}

// The picture file a script hands over: a string's 8-bit bytes, or the first dimension of an array,
// never more bytes than the array holds.
std::vector<uint8_t> VariantBytes(const VARIANT& data) {
    if (V_VT(&data) == VT_BSTR) {
        const std::string text = Ansi(V_BSTR(&data));
        return {text.begin(), text.end()};
    }
    SAFEARRAY* array = nullptr;
    if (V_VT(&data) & VT_ARRAY) array = (V_VT(&data) & VT_BYREF) ? *V_ARRAYREF(&data) : V_ARRAY(&data);
    if (!array) throw EOleSysError(DISP_E_TYPEMISMATCH, u"Invalid variant type conversion");
    LONG lower = 0, upper = -1;
    if (SafeArrayGetLBound(array, 1, &lower) < 0 || SafeArrayGetUBound(array, 1, &upper) < 0)
        throw EOleSysError(DISP_E_BADINDEX, u"Invalid array bounds");
    const int64_t count = int64_t{upper} - lower + 1;
    if (count <= 0) return {};
    uint64_t held = array->cbElements;
    for (UINT d = 0; d < array->cDims; ++d) held *= array->rgsabound[d].cElements;
    void* bytes = nullptr;
    const HRESULT hr = SafeArrayAccessData(array, &bytes);
    if (hr < 0) throw EOleSysError(hr, u"The array cannot be locked");
    const auto* first = static_cast<const uint8_t*>(bytes);
    std::vector<uint8_t> out;
    try {
        out.assign(first, first + std::min<uint64_t>(uint64_t(count), held));
    } catch (...) {
        SafeArrayUnaccessData(array);
        throw;
    }
    SafeArrayUnaccessData(array);
    return out;
}

} // namespace

TPDFSvrDoc::TPDFSvrDoc() {
    ServerObjectCreated();
}

TPDFSvrDoc::~TPDFSvrDoc() {
    ServerObjectDestroyed();
}

HRESULT TPDFSvrDoc::Create(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    TPDFSvrDoc* doc = nullptr;
    try {
        doc = new TPDFSvrDoc();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = doc->QueryInterface(riid, object);
    doc->Release();
    return hr;
}

// IUnknown

HRESULT TPDFSvrDoc::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IPDFSvrDoc) || IsEqualIID(riid, IID_IPDFSvrDoc2))
        *object = static_cast<IPDFSvrDoc2*>(this);
    else if (IsEqualIID(riid, IID_ISupportErrorInfo))
        *object = static_cast<ISupportErrorInfo*>(this);
    else if (IsEqualIID(riid, IID_IProvideClassInfo))
        *object = static_cast<IProvideClassInfo*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TPDFSvrDoc::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG TPDFSvrDoc::Release() {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// IDispatch

HRESULT TPDFSvrDoc::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
#ifdef _WIN32
    *count = 1; // the embedded type library describes the default interface
#else
    *count = 0; // names and calls come from the member table; the type library is optional
#endif
    return S_OK;
}

HRESULT TPDFSvrDoc::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
#ifdef _WIN32
    if (index == 0) return PagelithModuleTypeInfo(IID_IPDFSvrDoc2, info);
#else
    (void)index;
#endif
    return DISP_E_BADINDEX;
}

HRESULT TPDFSvrDoc::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispatchGetIDsOfNames(names, count, ids);
}

HRESULT TPDFSvrDoc::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispatchInvoke(this, id, flags, params, result, exception, argError);
}

// ISupportErrorInfo

HRESULT TPDFSvrDoc::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IPDFSvrDoc) || IsEqualIID(riid, IID_IPDFSvrDoc2) ||
                   IsEqualIID(riid, IID_IDispatch)
               ? S_OK
               : S_FALSE;
}

// IProvideClassInfo: there is no type information where the system has no type libraries.

HRESULT TPDFSvrDoc::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
#ifdef _WIN32
    return PagelithModuleTypeInfo(CLSID_PDFSvrDoc, info);
#else
    return E_NOTIMPL;
#endif
}

// Pages and placements

HRESULT TPDFSvrDoc::AddPage(LONG Page) {
    return Serialized(callLock_, [&] { FBuilder.AddPage(Page); });
}

HRESULT TPDFSvrDoc::ApplyResource(LONG Page, LONG Resource, LONG* Value) {
    return RunWithResult(callLock_, Value, [&] { return FBuilder.ApplyResource(Page, Resource); });
}

HRESULT TPDFSvrDoc::ScaleObject(LONG Page, LONG Index, double ScaleFactor) {
    return Serialized(callLock_, [&] { FBuilder.ScaleObject(Page, Index, ScaleFactor); });
}

HRESULT TPDFSvrDoc::Locate(LONG Page, LONG Index, double X, double Y) {
    return Serialized(callLock_, [&] { FBuilder.Locate(Page, Index, X, Y); });
}

HRESULT TPDFSvrDoc::Rotate(LONG Page, LONG Index, double Angle) {
    return Serialized(callLock_, [&] { FBuilder.Rotate(Page, Index, Angle); });
}

HRESULT TPDFSvrDoc::Clear() {
    return Serialized(callLock_, [&] { FBuilder.Clear(); });
}

HRESULT TPDFSvrDoc::DeleteAllPages() {
    return Serialized(callLock_, [&] { FBuilder.DeleteAllPages(); });
}

HRESULT TPDFSvrDoc::get_DefaultPageSize(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.DefaultPageSize}; });
}

HRESULT TPDFSvrDoc::put_DefaultPageSize(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.DefaultPageSize = static_cast<uint8_t>(Value); });
}

HRESULT TPDFSvrDoc::get_Units(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.Units}; });
}

HRESULT TPDFSvrDoc::put_Units(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.Units = static_cast<uint8_t>(Value); });
}

HRESULT TPDFSvrDoc::get_PageSize(LONG Page, LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetPageSize(Page) & 0x7F}; });
}

HRESULT TPDFSvrDoc::put_PageSize(LONG Page, LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetPageSize(Page, Value & 0xFF); });
}

HRESULT TPDFSvrDoc::get_PageWidth(LONG Page, double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetPageWidth(Page); });
}

HRESULT TPDFSvrDoc::put_PageWidth(LONG Page, double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetPageWidth(Page, Value); });
}

HRESULT TPDFSvrDoc::get_PageHeight(LONG Page, double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetPageHeight(Page); });
}

HRESULT TPDFSvrDoc::put_PageHeight(LONG Page, double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetPageHeight(Page, Value); });
}

HRESULT TPDFSvrDoc::get_CurrentGraphic(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CurrentGraphic}; });
}

HRESULT TPDFSvrDoc::put_CurrentGraphic(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.CurrentGraphic = Value; });
}

HRESULT TPDFSvrDoc::get_CurrentText(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CurrentText}; });
}

HRESULT TPDFSvrDoc::put_CurrentText(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.CurrentText = Value; });
}

// Graphics

HRESULT TPDFSvrDoc::CreateGraphic(LONG* Value) {
    return RunWithResult(callLock_, Value, [&] { return FBuilder.CreateGraphic(); });
}

HRESULT TPDFSvrDoc::DrawLine(double X1, double Y1, double X2, double Y2) {
    return Serialized(callLock_, [&] { FBuilder.DrawLine(X1, Y1, X2, Y2); });
}

HRESULT TPDFSvrDoc::Rectangle(double X1, double Y1, double X2, double Y2) {
    return Serialized(callLock_, [&] { FBuilder.Rectangle(X1, Y1, X2, Y2); });
}

HRESULT TPDFSvrDoc::Ellipse(double X, double Y, double RX, double RY, double Angle) {
    return Serialized(callLock_, [&] { FBuilder.Ellipse(X, Y, RX, RY, Angle); });
}

HRESULT TPDFSvrDoc::Circle(double X, double Y, double R) {
    return Serialized(callLock_, [&] { FBuilder.Circle(X, Y, R); });
}

HRESULT TPDFSvrDoc::get_LineWidth(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetLineWidth()}; });
}

HRESULT TPDFSvrDoc::put_LineWidth(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetLineWidth(Value); });
}

HRESULT TPDFSvrDoc::get_LineColor(OleColor* Value) {
    return GetValue(callLock_, Value, [&] { return OleColor{FBuilder.GetLineColor()}; });
}

HRESULT TPDFSvrDoc::put_LineColor(OleColor Value) {
    return Serialized(callLock_, [&] { FBuilder.SetLineColor(Value); });
}

HRESULT TPDFSvrDoc::get_FillColor(OleColor* Value) {
    return GetValue(callLock_, Value, [&] { return OleColor{FBuilder.GetFillColor()}; });
}

HRESULT TPDFSvrDoc::put_FillColor(OleColor Value) {
    return Serialized(callLock_, [&] { FBuilder.SetFillColor(Value); });
}

// Text

HRESULT TPDFSvrDoc::CreateText(LONG* Value) {
    return RunWithResult(callLock_, Value, [&] { return FBuilder.CreateText(); });
}

HRESULT TPDFSvrDoc::WriteText(BSTR Text) {
    return Serialized(callLock_, [&] { FBuilder.WriteText(BstrToU16(Text)); });
}

HRESULT TPDFSvrDoc::WriteLink(BSTR Text, BSTR Link) {
    return Serialized(callLock_, [&] { FBuilder.WriteLink(BstrToU16(Text), Ansi(Link)); });
}

HRESULT TPDFSvrDoc::SetImageLink(LONG Page, LONG Index, BSTR Link) {
    return Serialized(callLock_, [&] { FBuilder.SetImageLink(Page, Index, Ansi(Link)); });
}

HRESULT TPDFSvrDoc::get_TextColor(OleColor* Value) {
    return GetValue(callLock_, Value, [&] { return OleColor{FBuilder.GetTextColor()}; });
}

HRESULT TPDFSvrDoc::put_TextColor(OleColor Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextColor(Value); });
}

HRESULT TPDFSvrDoc::get_TextFont(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetTextFont()}; });
}

HRESULT TPDFSvrDoc::put_TextFont(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextFont(Value); });
}

HRESULT TPDFSvrDoc::get_TextSize(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetTextSize()}; });
}

HRESULT TPDFSvrDoc::put_TextSize(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextSize(Value); });
}

HRESULT TPDFSvrDoc::get_TextLineSpacing(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetTextLineSpacing(); });
}

HRESULT TPDFSvrDoc::put_TextLineSpacing(double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextLineSpacing(Value); });
}

HRESULT TPDFSvrDoc::get_TextAlign(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetTextAlign() & 0x7F}; });
}

HRESULT TPDFSvrDoc::put_TextAlign(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextAlign(Value & 0xFF); });
}

HRESULT TPDFSvrDoc::get_TextMaxWidth(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetTextMaxWidth(); });
}

HRESULT TPDFSvrDoc::put_TextMaxWidth(double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextMaxWidth(Value); });
}

HRESULT TPDFSvrDoc::get_TextSkewX(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetTextSkewX(); });
}

HRESULT TPDFSvrDoc::put_TextSkewX(double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextSkewX(Value); });
}

HRESULT TPDFSvrDoc::get_TextSkewY(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.GetTextSkewY(); });
}

HRESULT TPDFSvrDoc::put_TextSkewY(double Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextSkewY(Value); });
}

HRESULT TPDFSvrDoc::get_TextUnderline(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.GetTextUnderline()); });
}

HRESULT TPDFSvrDoc::put_TextUnderline(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextUnderline(Value != 0); });
}

HRESULT TPDFSvrDoc::get_TextBlockHeight(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.TextBlockHeight(); });
}

HRESULT TPDFSvrDoc::get_TextBlockWidth(double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.TextBlockWidth(); });
}

HRESULT TPDFSvrDoc::get_TextLineWidth(BSTR Text, double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.TextLineWidth(BstrToU16(Text)); });
}

HRESULT TPDFSvrDoc::get_AppendText(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.AppendText); });
}

HRESULT TPDFSvrDoc::put_AppendText(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.AppendText = Value != 0; });
}

HRESULT TPDFSvrDoc::get_UnicodeText(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.UnicodeText); });
}

HRESULT TPDFSvrDoc::put_UnicodeText(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.UnicodeText = Value != 0; });
}

// Fonts

HRESULT TPDFSvrDoc::AddFont(BSTR FontName, LONG* Value) {
    return RunWithResult(callLock_, Value,
                         [&] { return FBuilder.AddFont(NativeFileName(BstrToU16(FontName))); });
}

HRESULT TPDFSvrDoc::get_EmbedFont(LONG FontNum, VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.GetEmbedFont(FontNum)); });
}

HRESULT TPDFSvrDoc::put_EmbedFont(LONG FontNum, VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.SetEmbedFont(FontNum, Value != 0); });
}

HRESULT TPDFSvrDoc::SetFontOffset(LONG FontNum, LONG Offset) {
    return Serialized(callLock_, [&] {
        FBuilder.SetFontOffset(FontNum, static_cast<int16_t>(static_cast<uint16_t>(Offset)));
    });
}

HRESULT TPDFSvrDoc::get_SubsetFonts(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.SubsetFonts); });
}

HRESULT TPDFSvrDoc::put_SubsetFonts(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.SubsetFonts = Value != 0; });
}

HRESULT TPDFSvrDoc::LoadFont(BSTR FileName, LONG FaceIndex, LONG* Value) {
    return RunWithResult(callLock_, Value, [&] {
        return LONG{FBuilder.LoadFont(NativeFileName(BstrToU16(FileName)), FaceIndex)};
    });
}

HRESULT TPDFSvrDoc::get_FallbackFonts(BSTR* Value) {
    if (!Value) return E_POINTER;
    *Value = nullptr;
    return Serialized(callLock_, [&] {
        const std::string numbers = FBuilder.GetFallbackFonts(); // digits and blanks
        *Value = U16ToBstr(std::u16string(numbers.begin(), numbers.end()));
    });
}

HRESULT TPDFSvrDoc::put_FallbackFonts(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.SetFallbackFonts(WideToUtf8(BstrToU16(Value))); });
}

HRESULT TPDFSvrDoc::get_StandardFontMetrics(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.StandardFontMetrics); });
}

HRESULT TPDFSvrDoc::put_StandardFontMetrics(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.StandardFontMetrics = Value != 0; });
}

HRESULT TPDFSvrDoc::get_TextDirection(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.GetTextDirection()}; });
}

HRESULT TPDFSvrDoc::put_TextDirection(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextDirection(Value); });
}

HRESULT TPDFSvrDoc::get_TextFeatures(BSTR* Value) {
    if (!Value) return E_POINTER;
    *Value = nullptr;
    return Serialized(callLock_, [&] {
        const std::string features = FBuilder.GetTextFeatures(); // ASCII
        *Value = U16ToBstr(std::u16string(features.begin(), features.end()));
    });
}

HRESULT TPDFSvrDoc::put_TextFeatures(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.SetTextFeatures(WideToUtf8(BstrToU16(Value))); });
}

HRESULT TPDFSvrDoc::get_MaxImagePixels(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.MaxImagePixels}; });
}

HRESULT TPDFSvrDoc::put_MaxImagePixels(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetMaxImagePixels(Value); });
}

HRESULT TPDFSvrDoc::get_ImageOrientation(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.ImageOrientation); });
}

HRESULT TPDFSvrDoc::put_ImageOrientation(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.ImageOrientation = Value != 0; });
}

HRESULT TPDFSvrDoc::get_KeepAlpha(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.KeepAlpha); });
}

HRESULT TPDFSvrDoc::put_KeepAlpha(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.KeepAlpha = Value != 0; });
}

// Navigation

HRESULT TPDFSvrDoc::AddBookmark(BSTR Title, LONG Page, double Y, LONG Level, LONG* Value) {
    return RunWithResult(callLock_, Value,
                         [&] { return LONG{FBuilder.AddBookmark(BstrToU16(Title), Page, Y, Level)}; });
}

HRESULT TPDFSvrDoc::get_BookmarkOpen(LONG Number, VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.GetBookmarkOpen(Number)); });
}

HRESULT TPDFSvrDoc::put_BookmarkOpen(LONG Number, VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.SetBookmarkOpen(Number, Value != 0); });
}

HRESULT TPDFSvrDoc::AddDestination(BSTR Name, LONG Page, double Y) {
    return Serialized(callLock_, [&] { FBuilder.AddDestination(Ansi(Name), Page, Y); });
}

HRESULT TPDFSvrDoc::get_PageMode(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.PageMode}; });
}

HRESULT TPDFSvrDoc::put_PageMode(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetPageMode(Value); });
}

HRESULT TPDFSvrDoc::get_OpenPage(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.OpenPage}; });
}

HRESULT TPDFSvrDoc::put_OpenPage(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetOpenPage(Value); });
}

// Links

HRESULT TPDFSvrDoc::get_LinkStandardFormat(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.LinkStandardFormat); });
}

HRESULT TPDFSvrDoc::put_LinkStandardFormat(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.LinkStandardFormat = Value != 0; });
}

HRESULT TPDFSvrDoc::get_LinkColor(OleColor* Value) {
    return GetValue(callLock_, Value, [&] { return OleColor{FBuilder.LinkColor}; });
}

HRESULT TPDFSvrDoc::put_LinkColor(OleColor Value) {
    return Serialized(callLock_, [&] { FBuilder.LinkColor = Value; });
}

HRESULT TPDFSvrDoc::get_LinkFont(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.LinkFont}; });
}

HRESULT TPDFSvrDoc::put_LinkFont(LONG Value) {
    return Serialized(callLock_, [&] {
        // Only an added TrueType font (15 upward) can carry link text.
        if (Value >= 15 && static_cast<int64_t>(Value) - 14 <= FBuilder.Fonts.Count())
            FBuilder.LinkFont = Value;
    });
}

HRESULT TPDFSvrDoc::get_LinkUnderline(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.LinkUnderline); });
}

HRESULT TPDFSvrDoc::put_LinkUnderline(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.LinkUnderline = Value != 0; });
}

HRESULT TPDFSvrDoc::get_LinkSize(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.LinkSize}; });
}

HRESULT TPDFSvrDoc::put_LinkSize(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.LinkSize = Value; });
}

HRESULT TPDFSvrDoc::get_LinkBorder(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.LinkBorder); });
}

HRESULT TPDFSvrDoc::put_LinkBorder(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.LinkBorder = Value != 0; });
}

// Images

HRESULT TPDFSvrDoc::AddImageFile(BSTR FileName, LONG* Value) {
    return RunWithResult(callLock_, Value, [&] {
        const std::string name = NativeFileName(BstrToU16(FileName));
        if (!NativeFileExists(name)) throw EPDFError("File not found");
        return FBuilder.AddImageFile(name);
    });
}

HRESULT TPDFSvrDoc::AddImageBytes(VARIANT ImageData, LONG* Value) {
    return RunWithResult(callLock_, Value, [&] {
        const std::vector<uint8_t> bytes = VariantBytes(ImageData);
        return FBuilder.AddImageBytes(bytes);
    });
}

HRESULT TPDFSvrDoc::AddImageBMPHandle(LONG Handle, LONG* Value) {
    return RunWithResult(callLock_, Value,
                         [&] { return FBuilder.AddImageBMPHandle(Handle, PlatformBitmapHandles()); });
}

HRESULT TPDFSvrDoc::get_ImageCount(BSTR FileName, LONG* Value) {
    return GetValue(callLock_, Value, [&] {
        const std::string name = NativeFileName(BstrToU16(FileName));
        if (!NativeFileExists(name)) throw EPDFError("File not found: " + name);
        return LONG{FBuilder.ImageCount(name)};
    });
}

HRESULT TPDFSvrDoc::get_ImageWidth(LONG Index, double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.ImageWidth(Index); });
}

HRESULT TPDFSvrDoc::get_ImageHeight(LONG Index, double* Value) {
    return GetValue(callLock_, Value, [&] { return FBuilder.ImageHeight(Index); });
}

HRESULT TPDFSvrDoc::get_ImageReadNumber(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.ImageReadNumber}; });
}

HRESULT TPDFSvrDoc::put_ImageReadNumber(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetImageReadNumber(Value); });
}

HRESULT TPDFSvrDoc::get_ReleaseBMPHandle(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.ReleaseBMPHandle); });
}

HRESULT TPDFSvrDoc::put_ReleaseBMPHandle(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.ReleaseBMPHandle = Value != 0; });
}

HRESULT TPDFSvrDoc::get_CompressionBW(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CompressionBW}; });
}

HRESULT TPDFSvrDoc::put_CompressionBW(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetCompressionBW(Value); });
}

HRESULT TPDFSvrDoc::get_CompressionIndexed(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CompressionIndexed}; });
}

HRESULT TPDFSvrDoc::put_CompressionIndexed(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetCompressionIndexed(Value); });
}

HRESULT TPDFSvrDoc::get_CompressionRGB(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CompressionRGB}; });
}

HRESULT TPDFSvrDoc::put_CompressionRGB(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetCompressionRGB(Value); });
}

HRESULT TPDFSvrDoc::get_CompressionGray(LONG* Value) {
    return GetValue(callLock_, Value, [&] { return LONG{FBuilder.CompressionGray}; });
}

HRESULT TPDFSvrDoc::put_CompressionGray(LONG Value) {
    return Serialized(callLock_, [&] { FBuilder.SetCompressionGray(Value); });
}

HRESULT TPDFSvrDoc::get_UseSourceCompression(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.UseSourceCompression); });
}

HRESULT TPDFSvrDoc::put_UseSourceCompression(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.UseSourceCompression = Value != 0; });
}

HRESULT TPDFSvrDoc::get_MergeAlpha(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return AsBool(FBuilder.MergeAlpha); });
}

HRESULT TPDFSvrDoc::put_MergeAlpha(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { FBuilder.MergeAlpha = Value != 0; });
}

HRESULT TPDFSvrDoc::get_MergeAlphaColor(OleColor* Value) {
    return GetValue(callLock_, Value, [&] { return OleColor{FBuilder.MergeAlphaColor}; });
}

HRESULT TPDFSvrDoc::put_MergeAlphaColor(OleColor Value) {
    return Serialized(callLock_, [&] { FBuilder.MergeAlphaColor = Value; });
}

// Document information

HRESULT TPDFSvrDoc::get_Title(BSTR* Value) {
    return GetString(callLock_, Value, FBuilder.Title);
}

HRESULT TPDFSvrDoc::put_Title(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.Title = BstrToU16(Value); });
}

HRESULT TPDFSvrDoc::get_Subject(BSTR* Value) {
    return GetString(callLock_, Value, FBuilder.Subject);
}

HRESULT TPDFSvrDoc::put_Subject(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.Subject = BstrToU16(Value); });
}

HRESULT TPDFSvrDoc::get_Author(BSTR* Value) {
    return GetString(callLock_, Value, FBuilder.Author);
}

HRESULT TPDFSvrDoc::put_Author(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.Author = BstrToU16(Value); });
}

HRESULT TPDFSvrDoc::get_Keywords(BSTR* Value) {
    return GetString(callLock_, Value, FBuilder.Keywords);
}

HRESULT TPDFSvrDoc::put_Keywords(BSTR Value) {
    return Serialized(callLock_, [&] { FBuilder.Keywords = BstrToU16(Value); });
}

// Output

HRESULT TPDFSvrDoc::SaveToFile(BSTR FileName) {
    return Serialized(callLock_, [&] { pagelith::SaveToFile(FBuilder, BstrToU16(FileName)); });
}

HRESULT TPDFSvrDoc::StreamData(VARIANT* Value) {
    if (Value) std::memset(static_cast<void*>(Value), 0, sizeof(VARIANT));
    return Serialized(callLock_, [&] {
        TMemoryStream pdf;
        FBuilder.SaveToStream(pdf);
        VARIANT array;
        VariantInit(&array);
        MakeByteArray(pdf.Data, array);
        if (Value)
            *Value = array;
        else
            VariantClear(&array);
    });
}

HRESULT TPDFSvrDoc::BinaryWrite() {
    return Serialized(callLock_, [&] {
        TMemoryStream pdf;
        FBuilder.SaveToStream(pdf);
        TComPtr<IDispatch> response;
        const HRESULT hr = PagelithGetContextResponse(response.Put());
        if (hr < 0 || !response)
            throw EOleSysError(
                hr < 0 ? hr : E_UNEXPECTED,
                u"BinaryWrite needs the Response object of an ASP page, and this call has none.");
        SendToResponse(response.Get(), pdf.Data, StreamFileName, StreamInline != 0);
    });
}

HRESULT TPDFSvrDoc::get_StreamFileName(BSTR* Value) {
    return GetString(callLock_, Value, StreamFileName);
}

HRESULT TPDFSvrDoc::put_StreamFileName(BSTR Value) {
    return Serialized(callLock_, [&] { StreamFileName = BstrToU16(Value); });
}

HRESULT TPDFSvrDoc::get_StreamInline(VARIANT_BOOL* Value) {
    return GetValue(callLock_, Value, [&] { return StreamInline; });
}

HRESULT TPDFSvrDoc::put_StreamInline(VARIANT_BOOL Value) {
    return Serialized(callLock_, [&] { StreamInline = Value; });
}

} // namespace pagelith
