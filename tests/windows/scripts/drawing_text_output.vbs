' Drawing, text, placements, StreamData and SaveToFile through VBScript. Argument 0: an output folder.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim folder : folder = WScript.Arguments(0)
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim d : Set d = CreateObject("PagelithASP.PDFSvrDoc")

' A document without pages: SaveToFile succeeds and creates nothing.
d.SaveToFile folder & "\empty"
Check Not fso.FileExists(folder & "\empty.pdf"), "no file without pages"

d.AddPage 0
Dim g : g = d.CreateGraphic()
d.LineWidth = 3
Check d.LineWidth = 3, "LineWidth"
d.DrawLine 10, 10, 200, 10
d.Rectangle 20, 20, 120, 80
d.Ellipse 300, 300, 50, 20, 0.3
d.Circle 100, 400, 40
Dim t : t = d.CreateText()
Check g = 1 And t = 2 And d.CurrentText = 2, "resource numbers " & g & " " & t
d.TextFont = 3
d.TextSize = 18
Check d.TextFont = 3 And d.TextSize = 18, "text font and size"
d.WriteText "Hello from VBScript"
d.WriteLink "A link", "http://example.com/"
Check d.TextBlockHeight > 0, "text block height " & d.TextBlockHeight
Dim p1 : p1 = d.ApplyResource(1, g)
Dim p2 : p2 = d.ApplyResource(1, t)
Check p1 = 1 And p2 = 2, "placements " & p1 & " " & p2
Check d.ApplyResource(5, g) = 0 And d.ApplyResource(1, 99) = 0, "missing page or resource gives 0"
d.Locate 1, p2, 72, 700
d.Rotate 1, p2, 10
d.ScaleObject 1, p2, 120

' StreamData: a byte array (Wine's VBScript can neither index nor bound one, and names every
' array "Variant()"; the bounds are checked from C++).
Dim bytes : bytes = d.StreamData()
Check VarType(bytes) = 8209, "StreamData VarType " & VarType(bytes)

' SaveToFile appends .pdf unless the name has it.
d.SaveToFile folder & "\drawing"
Check fso.FileExists(folder & "\drawing.pdf"), "drawing.pdf written"
d.SaveToFile folder & "\other.PDF"
Check fso.FileExists(folder & "\other.PDF"), "other.PDF kept"
Check Not fso.FileExists(folder & "\other.PDF.pdf"), "no second extension"
If fso.FileExists(folder & "\drawing.pdf") Then
    Check fso.GetFile(folder & "\drawing.pdf").Size > 500, "drawing.pdf size"
    Dim head : head = fso.OpenTextFile(folder & "\drawing.pdf").Read(8)
    Check Left(head, 5) = "%PDF-", "PDF header " & head
End If

WScript.Echo "RESULT drawing_text_output.vbs: " & failures & " failures"
WScript.Quit failures
