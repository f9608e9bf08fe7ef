#include "automation/automation_error.h"

#include <new>
#include <stdexcept>
#include <string>

#include "automation/guids.h"
#include "output/native_text.h"
#include "platform/bstr_util.h"
#include "platform/ole_error.h"

namespace pagelith {

HRESULT SetAutomationError(HRESULT hr, std::u16string_view description) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (CreateErrorInfo(&create) < 0 || !create) return E_UNEXPECTED;
    HRESULT result = hr;
    try {
        const UniqueBstr source(U16ToBstr(kProgId));
        const UniqueBstr text(U16ToBstr(description));
        create->SetGUID(IID_IPDFSvrDoc);
        create->SetSource(source.get());
        create->SetDescription(text.get());
        create->SetHelpContext(0);
        IErrorInfo* info = nullptr;
        if (create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)) >= 0 && info) {
            SetErrorInfo(0, info);
            info->Release();
        } else {
            result = E_UNEXPECTED;
        }
    } catch (...) {
        result = E_UNEXPECTED;
    }
    create->Release();
    return result;
}

HRESULT ErrorFromCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const EOleSysError& e) {
            return SetAutomationError(e.Code() < 0 ? e.Code() : E_UNEXPECTED, e.Description());
        } catch (const std::bad_alloc&) {
            return SetAutomationError(E_OUTOFMEMORY, u"Out of memory.");
        } catch (const std::exception& e) {
            return SetAutomationError(E_UNEXPECTED, NativeTextToWide(e.what()));
        } catch (...) {
            return SetAutomationError(E_UNEXPECTED, u"Unexpected error.");
        }
    } catch (...) {
        return E_UNEXPECTED; // converting the message itself failed
    }
}

} // namespace pagelith
