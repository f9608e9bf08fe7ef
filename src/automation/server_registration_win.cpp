// The registration entry points of the Windows DLL: the class's identity, written by the platform's
// registry code.
#ifdef _WIN32

#include "automation/guids.h"
#include "automation/server_exports.h"
#include "platform/server_registration.h"

namespace {
constexpr pagelith::TServerIdentity kServer{pagelith::CLSID_PDFSvrDoc, pagelith::kProgId, u"PDFSvrDoc Object",
                                            u"Both"};
} // namespace

STDAPI DllRegisterServer() {
    return pagelith::RegisterServer(kServer, true);
}

STDAPI DllUnregisterServer() {
    return pagelith::RegisterServer(kServer, false);
}

#endif
