// Runs the shared scenario (one statement per line, valid JScript and Python) and saves the PDF.
// Arguments: the scenario file, the output file, the TrueType font file.
var failures = 0;
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var text = fso.OpenTextFile(WScript.Arguments(0), 1).ReadAll();
    var d = new ActiveXObject("PagelithASP.PDFSvrDoc");
    var fontFile = WScript.Arguments(2);
    var g, t, p, q, r, f, u, s;
    eval(text);
    d.SaveToFile(WScript.Arguments(1));
} catch (e) {
    failures++;
    WScript.Echo("FAIL: " + (e.number >>> 0).toString(16) + " " + e.description);
}
WScript.Echo("RESULT scenario.js: " + failures + " failures");
WScript.Quit(failures);
