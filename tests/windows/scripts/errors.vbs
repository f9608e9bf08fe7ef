' Errors as a script sees them: number, description and source; BinaryWrite outside ASP.
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim d : Set d = CreateObject("PagelithASP.PDFSvrDoc")
d.AddPage 0

On Error Resume Next
Dim r : r = d.AddImageFile("C:\no such folder\missing.png")
Check Err.Number = &H8000FFFF, "AddImageFile number " & Hex(Err.Number)
Check Err.Description = "File not found", "AddImageFile description '" & Err.Description & "'"
Check Err.Source = "PagelithASP.PDFSvrDoc", "AddImageFile source '" & Err.Source & "'"
Err.Clear

d.SaveToFile "C:\no such folder\out.pdf"
Check Err.Number <> 0, "SaveToFile into a missing folder fails"
Check InStr(Err.Description, "Cannot create file") = 1, "SaveToFile description '" & Err.Description & "'"
Err.Clear

d.BinaryWrite
Check Err.Number <> 0 And Err.Number < 0, "BinaryWrite outside ASP fails: " & Hex(Err.Number)
Check Err.Source = "PagelithASP.PDFSvrDoc", "BinaryWrite source"
Check Len(Err.Description) > 0, "BinaryWrite description"
Err.Clear

' The object still works after errors.
d.AddPage 0
Check Err.Number = 0, "AddPage after errors"
Check d.PageWidth(2) = 595, "second page"
On Error GoTo 0

WScript.Echo "RESULT errors.vbs: " & failures & " failures"
WScript.Quit failures
