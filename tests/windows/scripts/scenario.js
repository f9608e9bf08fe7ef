// Runs the shared scenario (one statement per line, valid JScript and Python) and saves the PDF.
// Arguments: the scenario file, the output file, the TrueType font file, the picture folder, an
// OpenType CFF font file and a CJK font file.
var failures = 0;
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var text = fso.OpenTextFile(WScript.Arguments(0), 1).ReadAll();
    var d = new ActiveXObject("PagelithASP.PDFSvrDoc");
    var fontFile = WScript.Arguments(2);
    var imageDir = WScript.Arguments(3) + "\\";
    var otfFile = WScript.Arguments(4);
    var cjkFile = WScript.Arguments(5);
    var g, t, p, q, r, f, u, s, i1, i2, i3, i4, i5, i6, i7, o, k, x, w;
    eval(text);
    d.SaveToFile(WScript.Arguments(1));
} catch (e) {
    failures++;
    WScript.Echo("FAIL: " + (e.number >>> 0).toString(16) + " " + e.description);
}
WScript.Echo("RESULT scenario.js: " + failures + " failures");
WScript.Quit(failures);
