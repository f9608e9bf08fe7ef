// The automation object: a thin shell around one document builder. Every member forwards to one
// operation or field of the builder (or of the shell's streaming settings) inside the error guard.
#pragma once

#include <mutex>
#include <string>

#include "automation/ipdfsvrdoc.h"
#include "document/pagelith.h"
#include "platform/com.h"

namespace pagelith {

class TPDFSvrDoc final : public IPDFSvrDoc2, public ISupportErrorInfo, public IProvideClassInfo {
public:
    TPDFSvrDoc();
    ~TPDFSvrDoc();
    TPDFSvrDoc(const TPDFSvrDoc&) = delete;
    TPDFSvrDoc& operator=(const TPDFSvrDoc&) = delete;

    // Creates an object and asks it for riid; the new object lives only if that succeeds.
    static HRESULT Create(REFIID riid, void** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, driven by the member table
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // IProvideClassInfo
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

    // IPDFSvrDoc
    HRESULT STDMETHODCALLTYPE AddPage(LONG Page) override;
    HRESULT STDMETHODCALLTYPE AddImageFile(BSTR FileName, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR FileName) override;
    HRESULT STDMETHODCALLTYPE ApplyResource(LONG Page, LONG Resource, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE ScaleObject(LONG Page, LONG Index, double ScaleFactor) override;
    HRESULT STDMETHODCALLTYPE Locate(LONG Page, LONG Index, double X, double Y) override;
    HRESULT STDMETHODCALLTYPE CreateGraphic(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE DrawLine(double X1, double Y1, double X2, double Y2) override;
    HRESULT STDMETHODCALLTYPE Rectangle(double X1, double Y1, double X2, double Y2) override;
    HRESULT STDMETHODCALLTYPE CreateText(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE WriteText(BSTR Text) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE DeleteAllPages() override;
    HRESULT STDMETHODCALLTYPE AddImageBMPHandle(LONG Handle, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_CurrentGraphic(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CurrentGraphic(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_CurrentText(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CurrentText(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_LineWidth(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_LineWidth(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_TextColor(OleColor* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextColor(OleColor Value) override;
    HRESULT STDMETHODCALLTYPE get_LineColor(OleColor* Value) override;
    HRESULT STDMETHODCALLTYPE put_LineColor(OleColor Value) override;
    HRESULT STDMETHODCALLTYPE get_FillColor(OleColor* Value) override;
    HRESULT STDMETHODCALLTYPE put_FillColor(OleColor Value) override;
    HRESULT STDMETHODCALLTYPE get_CompressionBW(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CompressionBW(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_CompressionIndexed(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CompressionIndexed(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_CompressionRGB(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CompressionRGB(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_CompressionGray(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_CompressionGray(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_UseSourceCompression(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_UseSourceCompression(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_TextFont(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextFont(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_TextSize(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextSize(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_ImageReadNumber(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_ImageReadNumber(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_ReleaseBMPHandle(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_ReleaseBMPHandle(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_DefaultPageSize(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_DefaultPageSize(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_Units(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_Units(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_PageSize(LONG Page, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_PageSize(LONG Page, LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_PageWidth(LONG Page, double* Value) override;
    HRESULT STDMETHODCALLTYPE put_PageWidth(LONG Page, double Value) override;
    HRESULT STDMETHODCALLTYPE get_PageHeight(LONG Page, double* Value) override;
    HRESULT STDMETHODCALLTYPE put_PageHeight(LONG Page, double Value) override;
    HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG Index, double* Value) override;
    HRESULT STDMETHODCALLTYPE get_ImageHeight(LONG Index, double* Value) override;
    HRESULT STDMETHODCALLTYPE BinaryWrite() override;
    HRESULT STDMETHODCALLTYPE get_StreamFileName(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_StreamFileName(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_StreamInline(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_StreamInline(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE StreamData(VARIANT* Value) override;
    HRESULT STDMETHODCALLTYPE AddImageBytes(VARIANT ImageData, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE AddFont(BSTR FontName, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_EmbedFont(LONG FontNum, VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_EmbedFont(LONG FontNum, VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE Rotate(LONG Page, LONG Index, double Angle) override;
    HRESULT STDMETHODCALLTYPE get_Title(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Title(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Author(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Author(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Keywords(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Keywords(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_ImageCount(BSTR FileName, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_TextLineSpacing(double* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextLineSpacing(double Value) override;
    HRESULT STDMETHODCALLTYPE get_TextAlign(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextAlign(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_TextMaxWidth(double* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextMaxWidth(double Value) override;
    HRESULT STDMETHODCALLTYPE get_TextSkewX(double* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextSkewX(double Value) override;
    HRESULT STDMETHODCALLTYPE get_TextSkewY(double* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextSkewY(double Value) override;
    HRESULT STDMETHODCALLTYPE Ellipse(double X, double Y, double RX, double RY, double Angle) override;
    HRESULT STDMETHODCALLTYPE Circle(double X, double Y, double R) override;
    HRESULT STDMETHODCALLTYPE get_TextBlockHeight(double* Value) override;
    HRESULT STDMETHODCALLTYPE SetFontOffset(LONG FontNum, LONG Offset) override;
    HRESULT STDMETHODCALLTYPE WriteLink(BSTR Text, BSTR Link) override;
    HRESULT STDMETHODCALLTYPE get_TextUnderline(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextUnderline(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkStandardFormat(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkStandardFormat(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkColor(OleColor* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkColor(OleColor Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkFont(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkFont(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkUnderline(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkUnderline(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkSize(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkSize(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_LinkBorder(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_LinkBorder(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_TextLineWidth(BSTR Text, double* Value) override;
    HRESULT STDMETHODCALLTYPE SetImageLink(LONG Page, LONG Index, BSTR Link) override;
    HRESULT STDMETHODCALLTYPE get_TextBlockWidth(double* Value) override;
    HRESULT STDMETHODCALLTYPE get_MergeAlpha(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_MergeAlpha(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_MergeAlphaColor(OleColor* Value) override;
    HRESULT STDMETHODCALLTYPE put_MergeAlphaColor(OleColor Value) override;
    HRESULT STDMETHODCALLTYPE get_AppendText(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_AppendText(VARIANT_BOOL Value) override;

    // IPDFSvrDoc2
    HRESULT STDMETHODCALLTYPE get_UnicodeText(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_UnicodeText(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_SubsetFonts(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_SubsetFonts(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE LoadFont(BSTR FileName, LONG FaceIndex, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_FallbackFonts(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_FallbackFonts(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_StandardFontMetrics(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_StandardFontMetrics(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_TextDirection(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextDirection(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_TextFeatures(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_TextFeatures(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_MaxImagePixels(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_MaxImagePixels(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_ImageOrientation(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_ImageOrientation(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_KeepAlpha(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_KeepAlpha(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE AddBookmark(BSTR Title, LONG Page, double Y, LONG Level, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_BookmarkOpen(LONG Number, VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_BookmarkOpen(LONG Number, VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE AddDestination(BSTR Name, LONG Page, double Y) override;
    HRESULT STDMETHODCALLTYPE get_PageMode(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_PageMode(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_OpenPage(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_OpenPage(LONG Value) override;

    TPagelith FBuilder;
    std::u16string StreamFileName;
    VARIANT_BOOL StreamInline = VARIANT_TRUE;

private:
    LONG refCount_ = 1;
    // Held for the whole of every member call, through the vtable and IDispatch alike (Invoke reaches
    // the members through the vtable), so calls on one object never overlap.
    std::mutex callLock_;
};

} // namespace pagelith
