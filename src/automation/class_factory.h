// The one class factory of PDFSvrDoc and the server's counts that decide DllCanUnloadNow.
#pragma once

#include "platform/com.h"

namespace pagelith {

// Live objects plus outstanding server locks.
void ServerObjectCreated();
void ServerObjectDestroyed();
LONG ServerObjectCount();

// References held to the factory.
LONG FactoryReferenceCount();

// The factory lives as long as the library; asking for it adds a reference like any QueryInterface.
HRESULT GetPDFSvrDocFactory(REFIID riid, void** object);

} // namespace pagelith
