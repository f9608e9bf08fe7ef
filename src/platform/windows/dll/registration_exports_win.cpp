// The two registration entry points of the DLL; the class-object entry points live with the factory.
#include "automation/server_exports.h"
#include "platform/server_registration.h"

STDAPI DllRegisterServer() {
    return PagelithRegisterServer(true);
}

STDAPI DllUnregisterServer() {
    return PagelithRegisterServer(false);
}
