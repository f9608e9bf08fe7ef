// Drives the server the way a script host does: class object, factory, IDispatch, names and Invoke.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/guids.h"
#include "automation/server_exports.h"
#include "platform/bstr_util.h"
#include "platform/com.h"

namespace pagelith::test {

class TVariant {
public:
    TVariant() { VariantInit(&v_); }
    TVariant(const TVariant& other) : TVariant() { VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }
    TVariant& operator=(const TVariant& other) {
        if (this != &other) {
            VariantClear(&v_);
            VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
        }
        return *this;
    }
    ~TVariant() { VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }
    VARTYPE vt() const { return v_.vt; }

private:
    VARIANT v_;
};

inline TVariant I4(LONG value) {
    TVariant v;
    v.get()->vt = VT_I4;
    v.get()->lVal = value;
    return v;
}
inline TVariant I2(SHORT value) {
    TVariant v;
    v.get()->vt = VT_I2;
    v.get()->iVal = value;
    return v;
}
inline TVariant R8(double value) {
    TVariant v;
    v.get()->vt = VT_R8;
    v.get()->dblVal = value;
    return v;
}
inline TVariant Bool(VARIANT_BOOL value) {
    TVariant v;
    v.get()->vt = VT_BOOL;
    v.get()->boolVal = value;
    return v;
}
inline TVariant Str(std::u16string_view text) {
    TVariant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = U16ToBstr(text);
    return v;
}
inline TVariant NullStr() {
    TVariant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = nullptr;
    return v;
}
inline TVariant Missing() {
    TVariant v;
    v.get()->vt = VT_ERROR;
    v.get()->scode = DISP_E_PARAMNOTFOUND;
    return v;
}

struct TCall {
    HRESULT Hr = S_OK;
    TVariant Value;
    SCODE Scode = 0;
    std::u16string Source;
    std::u16string Description;
    UINT ArgError = 0xFFFFFFFF;

    LONG Long() const { return (*Value).vt == VT_I4 ? (*Value).lVal : -999999; }
    double Double() const { return (*Value).vt == VT_R8 ? (*Value).dblVal : -999999.0; }
    VARIANT_BOOL Boolean() const { return (*Value).vt == VT_BOOL ? (*Value).boolVal : VARIANT_BOOL{42}; }
    std::u16string String() const {
        return (*Value).vt == VT_BSTR ? BstrToU16((*Value).bstrVal) : u"<not a string>";
    }
};

// One object created through DllGetClassObject and IClassFactory, used through IDispatch only.
class TScriptObject {
public:
    TScriptObject() {
        IClassFactory* factory = nullptr;
        if (DllGetClassObject(CLSID_PDFSvrDoc, IID_IClassFactory, reinterpret_cast<void**>(&factory)) >= 0) {
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
            factory->Release();
        }
    }
    ~TScriptObject() {
        if (dispatch_) dispatch_->Release();
    }
    TScriptObject(const TScriptObject&) = delete;
    TScriptObject& operator=(const TScriptObject&) = delete;

    IDispatch* Dispatch() const { return dispatch_; }

    DISPID Id(std::u16string_view name) const {
        const UniqueBstr text(U16ToBstr(name));
        LPOLESTR names[] = {text.get()};
        DISPID id = 0;
        return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) >= 0 ? id
                                                                                           : DISPID_UNKNOWN;
    }

    // Arguments in declared order; DISPPARAMS gets them last first, as script hosts pass them.
    TCall InvokeId(DISPID id, WORD flags, std::vector<TVariant> args, std::vector<DISPID> named = {},
                   bool withExcepInfo = true) const {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        DISPPARAMS params{reversed.data(), named.empty() ? nullptr : named.data(),
                          static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
        TCall call;
        EXCEPINFO info{};
        call.Hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, call.Value.get(),
                                    withExcepInfo ? &info : nullptr, &call.ArgError);
        call.Scode = info.scode;
        call.Source = BstrToU16(info.bstrSource);
        call.Description = BstrToU16(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        return call;
    }

    TCall Call(std::u16string_view name, std::vector<TVariant> args = {}) const {
        return InvokeId(Id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
    }
    TCall Get(std::u16string_view name, std::vector<TVariant> args = {}) const {
        return InvokeId(Id(name), DISPATCH_PROPERTYGET, std::move(args));
    }
    // The value comes last, named DISPID_PROPERTYPUT, as hosts pass it.
    TCall Put(std::u16string_view name, std::vector<TVariant> args) const {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), &named, static_cast<UINT>(args.size()), 1};
        TCall call;
        EXCEPINFO info{};
        call.Hr = dispatch_->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                    nullptr, &info, &call.ArgError);
        call.Scode = info.scode;
        call.Description = BstrToU16(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        return call;
    }

private:
    IDispatch* dispatch_ = nullptr;
};

// The thread's current error information, read (and so taken) once.
struct TErrorInfo {
    bool Present = false;
    GUID Guid{};
    std::u16string Source;
    std::u16string Description;
};

inline TErrorInfo TakeErrorInfo() {
    TErrorInfo result;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return result;
    result.Present = true;
    info->GetGUID(&result.Guid);
    BSTR text = nullptr;
    info->GetSource(&text);
    result.Source = BstrToU16(text);
    SysFreeString(text);
    text = nullptr;
    info->GetDescription(&text);
    result.Description = BstrToU16(text);
    SysFreeString(text);
    info->Release();
    return result;
}

} // namespace pagelith::test
