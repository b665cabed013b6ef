#!/usr/bin/env bash
# The zip a Windows user gets: Velmar/ with the programs and README.txt (CR
# LF), no DLL, and programs that import only DLLs every Windows has.
# Usage: package_test.sh path/to/Velmar-windows-x64.zip PROGRAM...
set -u
zip=$(realpath "$1"); shift
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ -f "$zip" ] || fail "no $zip (tools/windows/build.sh makes it)"
(cd "$dir" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
for program in "$@"; do
  [ -f "$dir/Velmar/$program" ] || fail "the zip holds no Velmar/$program"
done
[ -z "$(find "$dir" -iname '*.dll')" ] || fail "the zip holds a DLL: $(find "$dir" -iname '*.dll')"
readme=$dir/Velmar/README.txt
[ -f "$readme" ] || fail "the zip holds no Velmar/README.txt"
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] || fail "README.txt has line ends without CR"

allowed='^(kernel32|user32|gdi32|shell32|advapi32|bcrypt|comctl32|ole32|msvcrt|ucrtbase|api-ms-win-crt-[a-z-]+-l1-1-0)\.dll$'
for exe in "$dir"/Velmar/*.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || fail "objdump found no imports in $exe"
  while read -r dll; do
    [[ $dll =~ $allowed ]] || fail "$(basename "$exe") imports $dll"
  done <<<"$imports"
  echo "$(basename "$exe") imports: $(echo $imports)"
done
