#!/usr/bin/env bash
# Fails when a Windows program or DLL imports a DLL that is not part of Windows itself
# (libstdc++-6.dll, libgcc_s, libwinpthread-1.dll, zlib1.dll, libjpeg-62.dll ...).
# Usage: check-imports.sh FILE...
set -euo pipefail

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
system_dll='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shell32|shlwapi|comctl32|comdlg32|ws2_32|wsock32|winmm|version|rpcrt4|secur32|crypt32|bcrypt|ntdll|uuid|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|mscoree)\.dll$'

status=0
for file in "$@"; do
    dlls=$("$objdump" -p "$file" | awk '/DLL Name:/ { print $3 }')
    bad=$(printf '%s\n' "$dlls" | tr 'A-Z' 'a-z' | grep -Ev "$system_dll" | grep -v '^$' || true)
    if [[ -n $bad ]]; then
        echo "check-imports: $file imports non-system DLLs: $(echo $bad)" >&2
        status=1
    else
        echo "check-imports: $(basename "$file") imports only: $(echo $dlls)"
    fi
done
exit $status
