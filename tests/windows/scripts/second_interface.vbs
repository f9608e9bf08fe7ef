' The settings IPDFSvrDoc2 adds, late-bound as a script reaches them: defaults, puts of the script
' types, and Clear, which keeps settings as it keeps the document's others.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim d : Set d = CreateObject("PagelithASP.PDFSvrDoc")
Check d.UnicodeText = False, "UnicodeText default"
Check d.SubsetFonts = False, "SubsetFonts default"

d.UnicodeText = True
Check d.UnicodeText = True And CInt(d.UnicodeText) = -1, "UnicodeText True"
Check d.SubsetFonts = False, "SubsetFonts untouched"
d.subsetfonts = 1
Check d.SubsetFonts = True, "SubsetFonts from 1"
Dim flag : flag = False
d.UnicodeText = flag
Check d.UnicodeText = False, "UnicodeText from a variable"
d.UnicodeText = "True"
Check d.UnicodeText = True, "UnicodeText from a string"

d.AddPage 0
d.Clear
Check d.UnicodeText = True And d.SubsetFonts = True, "settings survive Clear"

On Error Resume Next
d.SubsetFonts = "maybe"
Check Err.Number = 13 Or Err.Number = &H80020005, "type mismatch: " & Hex(Err.Number)
Err.Clear
Dim x : x = d.SubsetFonts(1)
Check Err.Number <> 0, "no index"
Err.Clear
On Error GoTo 0
Check d.SubsetFonts = True, "a refused put keeps the value"

WScript.Echo "RESULT second_interface.vbs: " & failures & " failures"
WScript.Quit failures
