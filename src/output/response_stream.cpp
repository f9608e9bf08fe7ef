#include "output/response_stream.h"

#include <cstdint>
#include <string>

#include "base/ansi_text.h"
#include "base/utf8_text.h"
#include "output/byte_array.h"
#include "platform/bstr_util.h"
#include "platform/ole_error.h"

namespace pagelith {

namespace {

// Owns the VARIANT arguments of one call.
class TArgs {
public:
    TArgs() = default;
    ~TArgs() {
        for (VARIANT& v : values_) VariantClear(&v);
    }
    TArgs(const TArgs&) = delete;
    TArgs& operator=(const TArgs&) = delete;

    // Arguments are added in declaration order and handed over last first, as DISPPARAMS wants.
    void AddString(std::u16string_view text) {
        VARIANT& v = Next();
        V_BSTR(&v) = U16ToBstr(text);
        V_VT(&v) = VT_BSTR;
    }
    void AddBytes(std::string_view bytes) { MakeByteArray(bytes, Next()); }

    DISPPARAMS Params(DISPID* named, UINT namedCount) {
        for (UINT i = 0; i < count_; ++i) ordered_[i] = values_[count_ - 1 - i];
        return DISPPARAMS{ordered_, named, count_, namedCount};
    }

private:
    VARIANT& Next() {
        VARIANT& v = values_[count_++];
        VariantInit(&v);
        return v;
    }
    VARIANT values_[2] = {};
    VARIANT ordered_[2] = {};
    UINT count_ = 0;
};

[[noreturn]] void Fail(HRESULT hr, EXCEPINFO* info, std::u16string_view member) {
    std::u16string description;
    if (info) {
        if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
        if (info->scode < 0) hr = info->scode;
        if (info->bstrDescription) description = BstrToU16(info->bstrDescription);
        SysFreeString(info->bstrSource);
        SysFreeString(info->bstrDescription);
        SysFreeString(info->bstrHelpFile);
    } else {
        IErrorInfo* error = nullptr;
        if (GetErrorInfo(0, &error) == S_OK && error) {
            BSTR text = nullptr;
            if (error->GetDescription(&text) >= 0 && text) description = BstrToU16(text);
            SysFreeString(text);
            error->Release();
        }
    }
    if (description.empty())
        description = u"The response object's " + std::u16string(member) + u" call failed.";
    throw EOleSysError(hr, std::move(description));
}

void Invoke(IDispatch* response, std::u16string_view member, WORD flags, TArgs& args) {
    const UniqueBstr name(U16ToBstr(member));
    LPOLESTR names[] = {name.get()};
    DISPID id = DISPID_UNKNOWN;
    SetErrorInfo(0, nullptr); // only what this call reports counts
    HRESULT hr = response->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr < 0) Fail(hr, nullptr, member);
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
    DISPPARAMS params = args.Params(isPut ? &put : nullptr, isPut ? 1 : 0);
    EXCEPINFO info = {};
    VARIANT result;
    VariantInit(&result);
    UINT argError = 0;
    hr = response->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &info, &argError);
    VariantClear(&result);
    if (hr == DISP_E_EXCEPTION) Fail(hr, &info, member);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (hr < 0) Fail(hr, nullptr, member);
}

bool BreaksHeader(char16_t c) {
    return c < 0x20 || c == 0x7F || c == u'"' || c == u'\\';
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The last path component, at most kMaxDispositionName units long; a cut keeps the extension and
// never splits a surrogate pair.
std::u16string_view ShortName(std::u16string_view name, std::u16string& storage) {
    const std::size_t slash = name.find_last_of(u"/\\");
    if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
    if (name.size() <= kMaxDispositionName) return name;
    std::u16string_view extension;
    const std::size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string_view::npos && name.size() - dot <= 16) extension = name.substr(dot);
    std::size_t keep = kMaxDispositionName - extension.size();
    if (keep > 0 && IsHighSurrogate(name[keep - 1])) --keep;
    storage.assign(name.substr(0, keep));
    storage.append(extension);
    return storage;
}

// RFC 5987 value characters; every other byte of the UTF-8 form is percent-encoded.
bool IsAttrChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

std::u16string ExtendedValue(std::u16string_view name) {
    const std::string utf8 = WideToUtf8(name); // a lone surrogate becomes U+FFFD
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::u16string out = u"UTF-8''";
    for (const char c : utf8) {
        if (IsAttrChar(c)) {
            out += static_cast<char16_t>(c);
        } else {
            const auto b = static_cast<uint8_t>(c);
            out += u'%';
            out += static_cast<char16_t>(kHex[b >> 4]);
            out += static_cast<char16_t>(kHex[b & 15]);
        }
    }
    return out;
}

} // namespace

std::u16string ContentDisposition(std::u16string_view fileName, bool inlineDisposition) {
    std::u16string text = inlineDisposition ? u"inline" : u"attachment";
    std::u16string storage;
    fileName = ShortName(fileName, storage);
    if (fileName.empty()) return text;
    // Keep what the code page holds, '?' for what it lacks: one output byte per character.
    const std::string ansi = WideToAnsi(fileName);
    std::u16string name;
    name.reserve(fileName.size());
    bool wide = false;
    std::size_t b = 0;
    for (std::size_t i = 0; i < fileName.size(); ++i, ++b) {
        const char16_t c = fileName[i];
        wide = wide || c >= 0x80;
        const bool pair = IsHighSurrogate(c) && i + 1 < fileName.size() && IsLowSurrogate(fileName[i + 1]);
        const bool lost = b < ansi.size() && ansi[b] == '?' && c != u'?';
        if (lost || pair) {
            name += u'?';
            if (pair) ++i;
        } else {
            name += BreaksHeader(c) ? u'_' : c;
        }
    }
    text += u"; filename=\"" + name + u"\"";
    if (wide) {
        // The exact name for clients that read it, beside the code-page one for those that do not.
        std::u16string exact(fileName);
        for (char16_t& c : exact)
            if (BreaksHeader(c)) c = u'_';
        text += u"; filename*=" + ExtendedValue(exact);
    }
    return text;
}

void SendToResponse(IDispatch* response, std::string_view pdf, std::u16string_view fileName,
                    bool inlineDisposition) {
    if (!response) throw EOleSysError(E_POINTER, u"No response object.");
    {
        TArgs args;
        args.AddString(u"application/pdf");
        Invoke(response, u"ContentType", DISPATCH_PROPERTYPUT, args);
    }
    {
        TArgs args;
        args.AddString(u"Content-Disposition");
        args.AddString(ContentDisposition(fileName, inlineDisposition));
        Invoke(response, u"AddHeader", DISPATCH_METHOD, args);
    }
    {
        TArgs args;
        args.AddString(u"Content-Length");
        const std::string size = std::to_string(pdf.size());
        args.AddString(std::u16string(size.begin(), size.end()));
        Invoke(response, u"AddHeader", DISPATCH_METHOD, args);
    }
    const std::size_t chunks = pdf.size() / kResponseChunkSize + 1;
    for (std::size_t i = 0; i < chunks; ++i) {
        {
            TArgs args;
            args.AddBytes(pdf.substr(i * kResponseChunkSize, kResponseChunkSize));
            Invoke(response, u"BinaryWrite", DISPATCH_METHOD, args);
        }
        TArgs none;
        Invoke(response, u"Flush", DISPATCH_METHOD, none);
    }
}

} // namespace pagelith
