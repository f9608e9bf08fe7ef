// The same object from JScript: numbers arrive as VT_I4 and VT_R8, booleans as VT_BOOL, errors as
// exceptions.
var failures = 0;
function check(ok, what) {
    if (!ok) {
        failures++;
        WScript.Echo("FAIL: " + what);
    }
}

// Wine's script host stays silent about an uncaught error: report it as a failure.
try {
    var d = new ActiveXObject("PagelithASP.PDFSvrDoc");
    check(d.Units === 0 && d.DefaultPageSize === 1, "defaults " + d.Units + " " + d.DefaultPageSize);
    check(d.StreamInline === true, "StreamInline true");
    d.MergeAlpha = true;
    check(d.MergeAlpha === true, "MergeAlpha true");
    d.MergeAlpha = false;
    check(d.MergeAlpha === false, "MergeAlpha false");
    d.Units = 513;
    check(d.Units === 1, "Units 513 -> 1: " + d.Units);
    d.Units = 0;

    d.AddPage(0);
    d.AddPage(1);
    check(d.PageWidth(2) === 595, "page width " + d.PageWidth(2));
    var g = d.CreateGraphic();
    d.DrawLine(0, 0, 100.5, 100.25);
    d.FillColor = 0x00FF00;
    check(d.FillColor === 0x00FF00, "FillColor");
    var t = d.CreateText();
    d.WriteText("JScript text");
    check(d.ApplyResource(1, t) === 1, "ApplyResource");
    check(d.ApplyResource(3, t) === 0, "missing page");
    d.Title = "JScript \u00e9";
    check(d.Title === "JScript \u00e9", "Title");

    // StreamData is left to the VBScript and C++ checks: Wine's JScript cannot take a safe array.

    try {
        d.AddImageFile("C:\\no such folder\\missing.png");
        check(false, "AddImageFile of a missing file succeeded");
    } catch (e) {
        check((e.number >>> 0) === 0x8000FFFF, "number " + (e.number >>> 0).toString(16));
        check(e.description === "File not found", "description '" + e.description + "'");
    }
    try {
        d.BinaryWrite();
        check(false, "BinaryWrite outside ASP succeeded");
    } catch (e) {
        check(e.number < 0 && e.description.length > 0, "BinaryWrite error " + e.number + " " + e.description);
    }
} catch (e) {
    check(false, "uncaught error " + (e.number >>> 0).toString(16) + " " + e.description);
}

WScript.Echo("RESULT members.js: " + failures + " failures");
WScript.Quit(failures);
