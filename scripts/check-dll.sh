#!/usr/bin/env bash
# Checks a built plug-in DLL as a host would meet it: a DLL for the expected machine, whose only
# export is `main` (or the entry named), importing only DLLs that every Windows installation has
# (no compiler runtime to ship beside it). Exits non-zero, naming every problem, otherwise.
#
# Usage: scripts/check-dll.sh <vorblexter1.dll> <i386|x86-64> [export]
#   e.g. scripts/check-dll.sh build-win64/vorblexter1.clap x86-64 clap_entry
set -euo pipefail

if [[ $# -ne 2 && $# -ne 3 ]]; then
    echo "usage: $0 <dll> <i386|x86-64> [export]" >&2
    exit 2
fi
dll=$1
entry=${3:-main}
case $2 in
i386) objdump=i686-w64-mingw32-objdump format=pei-i386 magic=010b architecture=i386 ;;
x86-64) objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 magic=020b architecture=i386:x86-64 ;;
*)
    echo "unknown machine '$2' (i386 or x86-64)" >&2
    exit 2
    ;;
esac

headers=$("$objdump" -p "$dll")
file_header=$("$objdump" -f "$dll")
problems=()

grep -q "file format $format\$" <<<"$headers" || problems+=("file format is not $format")
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || problems+=("optional header magic is not $magic")
grep -q "^architecture: $architecture," <<<"$file_header" || problems+=("machine is not $architecture")
grep -Eq "^[[:space:]]+DLL\$" <<<"$headers" || problems+=("not marked as a DLL")

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | paste -sd ' ')
[[ $exports == "$entry" ]] || problems+=("exports are '$exports', not exactly '$entry'")

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
system_dll='^(kernel32|msvcrt|user32|advapi32|ntdll|gdi32|shell32|ole32|oleaut32|ws2_32|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
grep -qix "kernel32.dll" <<<"$imports" || problems+=("no KERNEL32.dll import found")
while read -r import; do
    [[ -z $import ]] && continue
    grep -Eqi "$system_dll" <<<"$import" || problems+=("imports $import, which is not a system DLL")
done <<<"$imports"

if ((${#problems[@]} > 0)); then
    echo "FAIL: $dll:" >&2
    printf '  %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "ok: $dll ($format; exports: $entry; imports: $(paste -sd ' ' <<<"$imports"))"
