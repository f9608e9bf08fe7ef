// The entry points a COM runtime (or the Linux host) finds by name.
#include "automation/server_exports.h"
#include "automation/class_factory.h"
#include "automation/guids.h"

STDAPI PAGELITH_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, pagelith::CLSID_PDFSvrDoc)) return CLASS_E_CLASSNOTAVAILABLE;
    return pagelith::GetPDFSvrDocFactory(riid, ppv);
}

STDAPI PAGELITH_EXPORT DllCanUnloadNow() {
    return pagelith::ServerObjectCount() == 0 && pagelith::FactoryReferenceCount() == 0 ? S_OK : S_FALSE;
}
