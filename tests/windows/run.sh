#!/usr/bin/env bash
# Windows tests under Wine, after the CTest programs: registration of PagelithASP.dll (from a folder
# whose name holds a blank), a compiled client of the registered server, the script scenarios through
# cscript, the byte comparison of one scenario with the Linux build, and unregistration.
# Environment: WIN_BUILD_DIR (default build-windows), WINEPREFIX (default $WIN_BUILD_DIR/wine, made
# once), PAGELITH_LINUX_BUILD_DIR (a Linux build with the Python module; default build, then build-asan).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
HERE=$ROOT/tests/windows
WIN_BUILD_DIR=${WIN_BUILD_DIR:-$ROOT/build-windows}

if ! command -v wine >/dev/null; then
    echo "windows tests: wine is not installed, skipping"
    exit 0
fi
[[ -f $WIN_BUILD_DIR/PagelithASP.dll ]] || { echo "windows tests: $WIN_BUILD_DIR/PagelithASP.dll is not built" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$WIN_BUILD_DIR/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY # headless: no window, no dialog
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "windows tests: creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
fi

failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# Wine's tools end lines with CR LF.
wine_out() { wine "$@" 2>/dev/null | tr -d '\r'; }

work=$WIN_BUILD_DIR/wine-tests
rm -rf "$work"
mkdir -p "$work/server folder" "$work/out"
cp "$WIN_BUILD_DIR/PagelithASP.dll" "$work/server folder/"
dll=$(winpath "$work/server folder/PagelithASP.dll")

CLSID='{1473525B-3B29-4D4C-A7DF-B533111ADB7A}'
LIBID='{841FFC22-2655-412A-A30C-1DE930430EBD}'
IID2='{36A99A5A-7B9F-4468-BD44-952D2471A16B}'
PROGID='PagelithASP.PDFSvrDoc'

# Leftovers of an interrupted run would hide what this registration writes.
wine regsvr32 /u /s "$dll" >/dev/null 2>&1 || true

# --- Registration ---
if wine regsvr32 /s "$dll" >/dev/null 2>&1; then pass "regsvr32"; else fail "regsvr32 failed"; fi
query() { wine_out reg query "$@"; }
value_of() { # key, value name ("" for the default value): prints the REG_SZ data
    local lines
    if [[ -z $2 ]]; then lines=$(query "$1" /ve) || return 1; else lines=$(query "$1" /v "$2") || return 1; fi
    printf '%s\n' "$lines" | awk -F'    ' '/REG_SZ/ { print $NF; exit }'
}
expect_value() { # key, value name, expected data
    local got
    if ! got=$(value_of "$1" "$2"); then fail "missing key $1"; return; fi
    if [[ $got == "$3" ]]; then pass "$1 ${2:-(Default)} = $got"; else fail "$1 ${2:-(Default)} = '$got', expected '$3'"; fi
}
echo "--- reg query HKCR\\CLSID\\$CLSID /s"
query "HKCR\\CLSID\\$CLSID" /s || true
echo "--- reg query HKCR\\$PROGID /s"
query "HKCR\\$PROGID" /s || true

expect_value "HKCR\\CLSID\\$CLSID" "" "PDFSvrDoc Object"
server=$(value_of "HKCR\\CLSID\\$CLSID\\InprocServer32" "" || true)
if [[ -n $server && $server != *" "* && ${server,,} == *.dll && $server != "$dll" ]]; then
    pass "InprocServer32 holds the short path $server"
else
    fail "InprocServer32 = '$server', expected the short form of $dll"
fi
expect_value "HKCR\\CLSID\\$CLSID\\InprocServer32" ThreadingModel Both
expect_value "HKCR\\$PROGID" "" "PDFSvrDoc Object"
expect_value "HKCR\\$PROGID\\Clsid" "" "$CLSID"
expect_value "HKCR\\CLSID\\$CLSID\\ProgID" "" "$PROGID"
expect_value "HKCR\\CLSID\\$CLSID\\Version" "" "2.3"
expect_value "HKCR\\CLSID\\$CLSID\\TypeLib" "" "$LIBID"
expect_value "HKCR\\TypeLib\\$LIBID\\2.3" "" "PagelithASP Library"
expect_value "HKCR\\TypeLib\\$LIBID\\2.3\\409\\win64" "" "$dll"
expect_value "HKCR\\Interface\\$IID2" "" "IPDFSvrDoc2"
expect_value "HKCR\\Interface\\$IID2\\TypeLib" "" "$LIBID"
subkeys=$(query "HKCR\\CLSID\\$CLSID" /s | grep -c "^HKEY_CLASSES_ROOT" || true)
[[ $subkeys == 5 ]] && pass "class key and its four sub-keys" || fail "class key tree has $subkeys keys, expected 5"

# --- A compiled early-bound client of the registered server ---
checks=$WIN_BUILD_DIR/tests/windows/pagelith_registered_server_checks.exe
if [[ ! -f $checks ]]; then
    fail "$checks is not built"
else
    set +e
    output=$(wine_out "$checks")
    status=$?
    set -e
    if [[ $status -eq 0 ]]; then
        printf '%s\n' "$output" | grep -E '^\[  PASSED  \]' | sed 's/^/    [registered checks] /' || true
        pass "registered server checks"
    else
        printf '%s\n' "$output" | sed 's/^/    [registered checks] /'
        fail "registered server checks (exit $status)"
    fi
fi

# --- Script scenarios: each must print its RESULT line last and exit with its failure count ---
run_script() { # script file, arguments...
    local name output status last
    name=$(basename "$1")
    set +e
    output=$(wine_out cscript.exe //nologo "$(winpath "$1")" "${@:2}")
    status=$?
    set -e
    last=$(printf '%s\n' "$output" | grep -v '^$' | tail -n 1 || true) # a script that never ran prints nothing
    printf '%s\n' "$output" | grep -v '^RESULT' | sed "s/^/    [$name] /" || true
    if [[ $status -eq 0 && $last == "RESULT $name: 0 failures" ]]; then
        pass "$name"
    else
        fail "$name (exit $status, last line '$last')"
    fi
}
for script in "$HERE"/scripts/*.vbs "$HERE"/scripts/*.js; do
    [[ $(basename "$script") == scenario.js ]] && continue
    run_script "$script" "$(winpath "$work/out")"
done

# --- The shared scenario on both platforms: the same bytes apart from the creation date ---
windows_pdf=$work/out/scenario-windows.pdf
linux_pdf=$work/out/scenario-linux.pdf
font_file=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
otf_file=/usr/share/fonts/opentype/freefont/FreeSerif.otf
cjk_file=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
run_script "$HERE/scripts/scenario.js" "$(winpath "$HERE/scenario.txt")" "$(winpath "$windows_pdf")" \
    "$(winpath "$font_file")" "$(winpath "$HERE/images")" "$(winpath "$otf_file")" "$(winpath "$cjk_file")"
if grep -qa "/BaseFont /DejaVuSans" "$windows_pdf" && grep -qaF "/URI (http://example.com/\\(x\\))" "$windows_pdf"
then pass "scenario has its TrueType font and escaped link"
else fail "scenario lacks the TrueType font or the link: $windows_pdf"; fi
if grep -qaE "/BaseFont /[A-Z]{6}\+DejaVuSans" "$windows_pdf" && grep -qa "/Encoding /Identity-H" "$windows_pdf" &&
    pdftotext -raw -enc UTF-8 "$windows_pdf" - | grep -q "→ ✓ 12 €"
then pass "scenario has its Unicode paragraph in a subset composite font"
else fail "scenario lacks the Unicode paragraph or its subset font: $windows_pdf"; fi
if grep -qa "/Subtype /CIDFontType0C" "$windows_pdf" &&
    pdftotext -enc UTF-8 "$windows_pdf" - | grep -q "日本語のテキスト"
then pass "scenario has its OpenType font, and its fallback font draws the Japanese"
else fail "scenario lacks the OpenType font or the fallback: $windows_pdf"; fi
if grep -qaF "/URI (http://example.com/helvetica)" "$windows_pdf" &&
    pdftotext -enc UTF-8 "$windows_pdf" - | grep -q "and linked"
then pass "scenario has its measured Helvetica paragraph with its link"
else fail "scenario lacks the Helvetica paragraph or its link: $windows_pdf"; fi
images=$(grep -ac "/Subtype /Image" "$windows_pdf" || true)
[[ $images == 10 ]] && pass "scenario has its nine pictures and a soft mask" || fail "scenario has $images pictures, expected 10"
if head -c 8 "$windows_pdf" | grep -q "%PDF-1.4" && grep -qa "/SMask" "$windows_pdf" &&
    grep -qa "/DecodeParms << /Predictor 15" "$windows_pdf"
then pass "scenario has its soft-masked logo (PDF 1.4) and PNG data with its predictor"
else fail "scenario lacks the soft mask, PDF 1.4 or the PNG predictor: $windows_pdf"; fi
if grep -qa "/Outlines" "$windows_pdf" && grep -qa "/S /GoTo /D /pictures" "$windows_pdf" &&
    grep -qa "/PageMode /UseOutlines" "$windows_pdf"
then pass "scenario has its two bookmarks and its links inside the document"
else fail "scenario lacks the outline or the internal links: $windows_pdf"; fi

linux_build=""
for dir in ${PAGELITH_LINUX_BUILD_DIR:-} "$ROOT/build" "$ROOT/build-asan"; do
    if [[ -n $dir && -f $dir/python/pagelith/_config.py ]]; then linux_build=$dir; break; fi
done
if [[ -z $linux_build ]]; then
    echo "SKIP: no Linux build with the Python module (build or build-asan): no byte comparison"
else
    py_env=(PYTHONPATH="$linux_build/python" PYTHONDONTWRITEBYTECODE=1)
    if grep -q '^SANITIZED = True' "$linux_build/python/pagelith/_config.py"; then
        py_env+=(LD_PRELOAD="$(g++ -print-file-name=libasan.so)" ASAN_OPTIONS=detect_leaks=0)
    fi
    if env "${py_env[@]}" python3 "$HERE/scenario_linux.py" "$HERE/scenario.txt" "$linux_pdf" "$font_file" \
        "$HERE/images" "$otf_file" "$cjk_file"; then
        if python3 - "$windows_pdf" "$linux_pdf" <<'PY'
import re, sys
def masked(path):
    with open(path, "rb") as f:
        return re.sub(rb"/CreationDate \(D:[^)]*\)", b"/CreationDate ()", f.read())
a, b = masked(sys.argv[1]), masked(sys.argv[2])
print(f"    windows {len(a)} bytes, linux {len(b)} bytes")
sys.exit(0 if a == b and a else 1)
PY
        then pass "scenario PDFs identical apart from the creation date ($linux_build)"
        else fail "scenario PDFs differ: $windows_pdf $linux_pdf"; fi
    else
        fail "scenario through Python on $linux_build"
    fi
fi
if command -v qpdf >/dev/null && [[ -f $windows_pdf ]]; then
    # Exit 0 and not one warning.
    set +e
    report=$(qpdf --check "$windows_pdf" 2>&1)
    status=$?
    set -e
    [[ $status -eq 0 && $report != *WARNING* ]] && pass "qpdf --check scenario-windows.pdf" \
        || fail "qpdf --check $windows_pdf: $report"
fi

# --- Unregistration removes every key ---
if wine regsvr32 /u /s "$dll" >/dev/null 2>&1; then pass "regsvr32 /u"; else fail "regsvr32 /u failed"; fi
for key in "HKCR\\CLSID\\$CLSID" "HKCR\\$PROGID" "HKCR\\TypeLib\\$LIBID" "HKCR\\Interface\\$IID2"; do
    if query "$key" >/dev/null 2>&1; then fail "$key still there"; else pass "$key removed"; fi
done

echo "windows: $passes passed, $failures failed"
[[ $failures -eq 0 ]]
