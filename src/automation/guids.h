// The identifiers of the server. Fixed for good: registered clients and type libraries depend on them.
// Tools read the lines below of the form "// GUID <name> {<value>}".

// GUID LIBID_PagelithASP {841FFC22-2655-412A-A30C-1DE930430EBD}
// GUID IID_IPDFSvrDoc {FEDBDE77-E1DB-4F61-BB70-6623CACB8B49}
// GUID IID_IPDFSvrDoc2 {36A99A5A-7B9F-4468-BD44-952D2471A16B}
// GUID CLSID_PDFSvrDoc {1473525B-3B29-4D4C-A7DF-B533111ADB7A}

#pragma once

#include <string_view>

#include "platform/com.h"

namespace pagelith {

// type library PagelithASP (version: base/version.h)
inline constexpr GUID LIBID_PagelithASP = {
    0x841FFC22, 0x2655, 0x412A, {0xA3, 0x0C, 0x1D, 0xE9, 0x30, 0x43, 0x0E, 0xBD}};
// interface IPDFSvrDoc
inline constexpr GUID IID_IPDFSvrDoc = {
    0xFEDBDE77, 0xE1DB, 0x4F61, {0xBB, 0x70, 0x66, 0x23, 0xCA, 0xCB, 0x8B, 0x49}};
// interface IPDFSvrDoc2
inline constexpr GUID IID_IPDFSvrDoc2 = {
    0x36A99A5A, 0x7B9F, 0x4468, {0xBD, 0x44, 0x95, 0x2D, 0x24, 0x71, 0xA1, 0x6B}};
// coclass PDFSvrDoc
inline constexpr GUID CLSID_PDFSvrDoc = {
    0x1473525B, 0x3B29, 0x4D4C, {0xA7, 0xDF, 0xB5, 0x33, 0x11, 0x1A, 0xDB, 0x7A}};

// The one spelling of the ProgID; the build reads it from this line for the Python module.
inline constexpr std::u16string_view kProgId = u"PagelithASP.PDFSvrDoc";

} // namespace pagelith
