// The dual interfaces of the server, laid out as the type library describes them: IDispatch's seven
// entries, then one entry per method and per property accessor in member-table order. IPDFSvrDoc is
// published and never changes; members added later live on IPDFSvrDoc2.
#pragma once

#include "automation/guids.h"
#include "platform/com.h"

namespace pagelith {

using OleColor = ULONG; // OLE_COLOR: 0x00BBGGRR, the same type as the system's typedef

struct IPDFSvrDoc : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE AddPage(LONG Page) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddImageFile(BSTR FileName, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFile(BSTR FileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyResource(LONG Page, LONG Resource, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ScaleObject(LONG Page, LONG Index, double ScaleFactor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Locate(LONG Page, LONG Index, double X, double Y) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateGraphic(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawLine(double X1, double Y1, double X2, double Y2) = 0;
    virtual HRESULT STDMETHODCALLTYPE Rectangle(double X1, double Y1, double X2, double Y2) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateText(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteText(BSTR Text) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteAllPages() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddImageBMPHandle(LONG Handle, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentGraphic(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentGraphic(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentText(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentText(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LineWidth(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LineWidth(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextColor(OleColor* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextColor(OleColor Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LineColor(OleColor* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LineColor(OleColor Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FillColor(OleColor* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FillColor(OleColor Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CompressionBW(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CompressionBW(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CompressionIndexed(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CompressionIndexed(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CompressionRGB(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CompressionRGB(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CompressionGray(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CompressionGray(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UseSourceCompression(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UseSourceCompression(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextFont(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextFont(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextSize(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextSize(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageReadNumber(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ImageReadNumber(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReleaseBMPHandle(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ReleaseBMPHandle(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DefaultPageSize(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DefaultPageSize(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Units(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Units(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageSize(LONG Page, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PageSize(LONG Page, LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageWidth(LONG Page, double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PageWidth(LONG Page, double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageHeight(LONG Page, double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PageHeight(LONG Page, double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG Index, double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageHeight(LONG Index, double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE BinaryWrite() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StreamFileName(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StreamFileName(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StreamInline(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StreamInline(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE StreamData(VARIANT* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddImageBytes(VARIANT ImageData, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddFont(BSTR FontName, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EmbedFont(LONG FontNum, VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_EmbedFont(LONG FontNum, VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Rotate(LONG Page, LONG Index, double Angle) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Title(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Title(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Subject(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Subject(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Author(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Author(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Keywords(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Keywords(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageCount(BSTR FileName, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextLineSpacing(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextLineSpacing(double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextAlign(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextAlign(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextMaxWidth(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextMaxWidth(double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextSkewX(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextSkewX(double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextSkewY(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextSkewY(double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Ellipse(double X, double Y, double RX, double RY, double Angle) = 0;
    virtual HRESULT STDMETHODCALLTYPE Circle(double X, double Y, double R) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextBlockHeight(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFontOffset(LONG FontNum, LONG Offset) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteLink(BSTR Text, BSTR Link) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextUnderline(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextUnderline(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkStandardFormat(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkStandardFormat(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkColor(OleColor* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkColor(OleColor Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkFont(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkFont(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkUnderline(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkUnderline(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkSize(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkSize(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LinkBorder(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LinkBorder(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextLineWidth(BSTR Text, double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetImageLink(LONG Page, LONG Index, BSTR Link) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextBlockWidth(double* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MergeAlpha(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MergeAlpha(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MergeAlphaColor(OleColor* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MergeAlphaColor(OleColor Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AppendText(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AppendText(VARIANT_BOOL Value) = 0;
};

PAGELITH_COM_IID(IPDFSvrDoc);

struct IPDFSvrDoc2 : public IPDFSvrDoc {
    virtual HRESULT STDMETHODCALLTYPE get_UnicodeText(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UnicodeText(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SubsetFonts(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SubsetFonts(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFont(BSTR FileName, LONG FaceIndex, LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FallbackFonts(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FallbackFonts(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StandardFontMetrics(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StandardFontMetrics(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextDirection(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextDirection(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextFeatures(BSTR* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TextFeatures(BSTR Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxImagePixels(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MaxImagePixels(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageOrientation(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ImageOrientation(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_KeepAlpha(VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_KeepAlpha(VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddBookmark(BSTR Title, LONG Page, double Y, LONG Level,
                                                  LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BookmarkOpen(LONG Number, VARIANT_BOOL* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BookmarkOpen(LONG Number, VARIANT_BOOL Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDestination(BSTR Name, LONG Page, double Y) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PageMode(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PageMode(LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_OpenPage(LONG* Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_OpenPage(LONG Value) = 0;
};

PAGELITH_COM_IID(IPDFSvrDoc2);

} // namespace pagelith
