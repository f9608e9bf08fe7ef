' A new object's defaults, the boolean and 8-bit conversions and the indexed properties, as a
' late-bound VBScript client sees them (number literals arrive as VT_I2, variables by reference).
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim d : Set d = CreateObject("PagelithASP.PDFSvrDoc")
Check TypeName(d) = "IPDFSvrDoc2", "type name " & TypeName(d)

' Defaults
Check d.Units = 0, "Units " & d.Units
Check d.DefaultPageSize = 1, "DefaultPageSize " & d.DefaultPageSize
Check d.StreamInline = True, "StreamInline"
Check CInt(d.StreamInline) = -1, "StreamInline is -1"
Check d.StreamFileName = "", "StreamFileName"
Check d.CurrentGraphic = 0 And d.CurrentText = 0, "no current resources"
Check d.CompressionBW = 1 And d.CompressionIndexed = 2 And d.CompressionRGB = 2 And d.CompressionGray = 2, "compressions"
Check d.UseSourceCompression = True And d.ReleaseBMPHandle = True, "source compression, release handle"
Check d.ImageReadNumber = 1, "ImageReadNumber"
Check d.LinkStandardFormat = True And d.LinkUnderline = True And d.LinkBorder = False, "link flags"
Check d.LinkSize = 10 And d.LinkFont = 15 And d.LinkColor = &HFF0000, "link settings"
Check d.MergeAlpha = False And d.MergeAlphaColor = &HFFFFFF And d.AppendText = False, "alpha, append"
Check d.PageSize(1) = 0, "PageSize of a missing page"
Check d.Title = "" And d.Author = "" And d.Subject = "" And d.Keywords = "", "information strings"

' Booleans: any non-zero value is true and reads back -1. (StreamInline keeps the 16-bit value it is
' given, but a late-bound put coerces the script's number to a boolean first.)
d.MergeAlpha = 1
Check CInt(d.MergeAlpha) = -1, "MergeAlpha 1 reads -1: " & CInt(d.MergeAlpha)
d.LinkBorder = 5
Check CInt(d.LinkBorder) = -1, "LinkBorder 5 reads -1"
d.AppendText = False
Check CInt(d.AppendText) = 0, "AppendText False"
d.StreamInline = 1
Check CInt(d.StreamInline) <> 0, "StreamInline 1 is true"
Dim v : v = 0
d.StreamInline = v
Check CInt(d.StreamInline) = 0, "StreamInline from a variable"

' 8-bit settings keep the low byte.
d.Units = 257
Check d.Units = 1, "Units 257 -> 1: " & d.Units
d.Units = 256
Check d.Units = 0, "Units 256 -> 0"
d.DefaultPageSize = 258
Check d.DefaultPageSize = 2, "DefaultPageSize 258 -> 2"
d.CompressionBW = 3
Check d.CompressionBW = 1, "CompressionBW ignores 3"
d.CompressionRGB = 3
Check d.CompressionRGB = 3, "CompressionRGB 3"
d.DefaultPageSize = 1

' Indexed properties and 1-based pages.
d.AddPage 0
d.AddPage 0
Check d.PageWidth(1) = 595 And d.PageHeight(1) = 842, "A4 in points: " & d.PageWidth(1) & " x " & d.PageHeight(1)
Dim page : page = 2
d.PageSize(page) = 2
Check d.PageSize(2) = 2, "PageSize(2) = 2: " & d.PageSize(2)
d.PageSize(1) = 255
Check d.PageSize(1) <= 127, "PageSize never above 127: " & d.PageSize(1)
d.PageWidth(2) = 300
Check d.PageWidth(2) = 300, "PageWidth(2) = 300"
d.Units = 1
Check d.PageWidth(2) > 4.16 And d.PageWidth(2) < 4.17, "inches " & d.PageWidth(2)
Check d.PageWidth(9) = 0, "missing page width 0"

' Colours pass unchanged.
Dim g : g = d.CreateGraphic()
Check g = 1 And d.CurrentGraphic = 1, "first resource is 1"
d.LineColor = &H123456
Check d.LineColor = &H123456, "LineColor"
d.FillColor = 16777215
Check d.FillColor = 16777215, "FillColor"

' Information strings (Wine's VBScript has no ChrW: ASCII only here, wide text in members.js).
d.Title = "A title"
Check d.Title = "A title", "Title"
d.StreamFileName = "report.pdf"
Check d.StreamFileName = "report.pdf", "StreamFileName"

' The settings IPDFSvrDoc2 adds: defaults, puts of the script types, and Clear, which keeps
' settings as it keeps the document's others.
Dim d2 : Set d2 = CreateObject("PagelithASP.PDFSvrDoc")
Check d2.UnicodeText = False, "UnicodeText default"
Check d2.SubsetFonts = False, "SubsetFonts default"

d2.UnicodeText = True
Check d2.UnicodeText = True And CInt(d2.UnicodeText) = -1, "UnicodeText True"
Check d2.SubsetFonts = False, "SubsetFonts untouched"
d2.subsetfonts = 1
Check d2.SubsetFonts = True, "SubsetFonts from 1"
Dim flag : flag = False
d2.UnicodeText = flag
Check d2.UnicodeText = False, "UnicodeText from a variable"
d2.UnicodeText = "True"
Check d2.UnicodeText = True, "UnicodeText from a string"

d2.AddPage 0
d2.Clear
Check d2.UnicodeText = True And d2.SubsetFonts = True, "settings survive Clear"

On Error Resume Next
d2.SubsetFonts = "maybe"
Check Err.Number = 13 Or Err.Number = &H80020005, "type mismatch: " & Hex(Err.Number)
Err.Clear
Dim x : x = d2.SubsetFonts(1)
Check Err.Number <> 0, "no index"
Err.Clear
On Error GoTo 0
Check d2.SubsetFonts = True, "a refused put keeps the value"

' The font members: defaults, a loaded face's number, and the reasons a load or a put fails.
Check d2.StandardFontMetrics = False And d2.FallbackFonts = "", "font settings' defaults"
d2.StandardFontMetrics = True
Check d2.StandardFontMetrics = True, "StandardFontMetrics True"
Check d2.LoadFont("Z:\usr\share\fonts\truetype\dejavu\DejaVuSans.ttf", 0) = 15, "LoadFont numbers like AddFont"
d2.FallbackFonts = "15"
Check d2.FallbackFonts = "15", "FallbackFonts"
On Error Resume Next
d2.FallbackFonts = "16"
Check Err.Number <> 0 And InStr(Err.Description, "not a loaded TrueType font") > 0, "FallbackFonts names loaded fonts"
Err.Clear
x = d2.LoadFont("Z:\usr\share\fonts\truetype\dejavu\DejaVuSans.ttf", 1)
Check Err.Number <> 0 And InStr(Err.Description, "out of range") > 0, "LoadFont says why: " & Err.Description
Err.Clear
On Error GoTo 0

' Shaping settings: TextDirection is the current text's, TextFeatures the document's.
Check d2.TextDirection = 0 And d2.TextFeatures = "", "shaping settings' defaults"
d2.CreateText
d2.TextDirection = 2
d2.TextFeatures = "-kern,+smcp"
Check d2.TextDirection = 2 And d2.TextFeatures = "-kern,+smcp", "TextDirection and TextFeatures"
On Error Resume Next
d2.TextDirection = 3
Check Err.Number <> 0 And InStr(Err.Description, "TextDirection must be") > 0, "TextDirection says why"
Err.Clear
d2.TextFeatures = "kern=x"
Check Err.Number <> 0 And InStr(Err.Description, "not an OpenType feature") > 0, "TextFeatures says why"
Err.Clear
On Error GoTo 0

' Picture settings.
Check d2.MaxImagePixels = 178956970 And Not d2.ImageOrientation And Not d2.KeepAlpha, "picture settings' defaults"
d2.MaxImagePixels = 0
d2.ImageOrientation = True
d2.KeepAlpha = True
Check d2.MaxImagePixels = 0 And d2.ImageOrientation And d2.KeepAlpha, "picture settings"
On Error Resume Next
d2.MaxImagePixels = -1
Check Err.Number <> 0 And InStr(Err.Description, "MaxImagePixels must be") > 0 And d2.MaxImagePixels = 0, "MaxImagePixels says why"
Err.Clear
On Error GoTo 0

' Navigation: small literals arrive as VT_I2 for the Long and Double arguments.
Check d2.PageMode = 0 And d2.OpenPage = 0, "navigation defaults"
Dim top : top = 1
Check d2.AddBookmark("Chapter", 1, 700, 0) = 1 And d2.AddBookmark("Nested", 1, 500.5, top) = 2, "AddBookmark numbers"
Check Not d2.BookmarkOpen(1), "bookmark closed by default"
d2.BookmarkOpen(1) = True
Check d2.BookmarkOpen(1) And Not d2.BookmarkOpen(2) And Not d2.BookmarkOpen(9), "BookmarkOpen"
d2.AddDestination "intro", 1, 700
d2.PageMode = 1
d2.OpenPage = 2
Check d2.PageMode = 1 And d2.OpenPage = 2, "PageMode, OpenPage"

WScript.Echo "RESULT defaults_conversions.vbs: " & failures & " failures"
WScript.Quit failures
