#!/usr/bin/env bash
# Checks the Windows DLL's tables (check_dll.sh DLL 32|64 [LIB...]): a PE
# of that width that exports the header's methods under GCC's names and, at
# the same addresses, MSVC's (__thiscall on 32-bit), its free functions
# under their C names, nothing else, and imports only system DLLs. Each
# import library LIB given (GCC's liblurn.dll.a, MSVC's lurn.lib) imports
# the free functions under the name that compiler's clients look for.
set -u
export LC_ALL=C
dll=$1
bits=${2:-32}
libraries=("${@:3}")
if [ "$bits" = 64 ]; then
  target=x86_64-w64-mingw32 format=pei-x86-64 convention=__cdecl
else
  target=i686-w64-mingw32 format=pei-i386 convention=__thiscall
fi
objdump=$target-objdump
readobj=$(command -v llvm-readobj || command -v llvm-readobj-14)
undname=$(command -v llvm-undname || command -v llvm-undname-14)
nm=$(command -v llvm-nm || command -v llvm-nm-14)
command -v $objdump >/dev/null && [ -n "$readobj" ] && [ -n "$undname" ] &&
  [ -n "$nm" ] ||
  { echo "no $objdump or LLVM tools"; exit 77; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

header=$($objdump -f "$dll")
grep -q "file format $format" <<<"$header" || fail "not $format: $header"

# "name rva" for every export; each name becomes "signature rva".
named=$("$readobj" --coff-exports "$dll" | awk '/Name:/{n=$2} /RVA:/{print n, $2}')
gcc=$(grep '^_Z' <<<"$named")
msvc=$(grep '^?' <<<"$named")
functions=$(grep -v -e '^_Z' -e '^?' <<<"$named" | cut -d' ' -f1)
[ "$functions" = LurnSetSetting ] ||
  fail "free functions: expected 'LurnSetSetting', got '$functions'"
# A C client's import: decorated with an underscore on 32-bit only.
underscore=$([ "$bits" = 32 ] && echo _)
for library in "${libraries[@]}"; do
  for name in $functions; do
    "$nm" "$library" 2>/dev/null | grep -q " __imp_$underscore$name\$" ||
      fail "$(basename "$library") does not import $name as __imp_$underscore$name"
  done
done
gcc_sigs=$(paste -d' ' <(cut -d' ' -f1 <<<"$gcc" | c++filt | tr -d ' ') \
  <(cut -d' ' -f2 <<<"$gcc") | sort)
msvc_sigs=$(paste -d' ' <(cut -d' ' -f1 <<<"$msvc" | "$undname" | grep -v '^?' |
  grep . | sed -E "s/^public: .* $convention //; s/\(void\)/()/" | tr -d ' ') \
  <(cut -d' ' -f2 <<<"$msvc") | sort)
exports=$(cut -d' ' -f1 <<<"$gcc_sigs")
expected=$(tr -d ' ' <<'LIST' | sort
LurnDirectDraw::Open(void*, unsigned short, unsigned short, unsigned char, unsigned char)
LurnDirectDraw::Close()
LurnDirectDraw::GetDD()
LurnDirectDraw::GetPrimarySurface()
LurnDirectDraw::GetRenderSurface()
LurnDirectDraw::LockSecondaryBuffer()
LurnDirectDraw::UnlockSecondaryBuffer()
LurnDirectDraw::ClearSecondaryBuffer()
LurnDirectDraw::UpdatePrimaryBuffer()
LurnDirectDraw::RestoreSurfaces()
LurnDirectDraw::GetCursorPosition(long*, long*)
LurnDirectInput::Open(void*, void*)
LurnDirectInput::OpenMouse(void*)
LurnDirectInput::OpenKeyboard(void*)
LurnDirectInput::Close()
LurnDirectInput::GetStateKeyboard()
LurnDirectInput::KeyDown(unsigned char)
LurnDirectInput::KeyPresses(unsigned char)
LurnDirectInput::KeyStrokes(unsigned char)
LurnDirectInput::ButtonPresses(int)
LurnDirectInput::ReadText(char*, int)
LurnDirectInput::GetStateMouse()
LurnDirectInput::SyncAcquireKeyboard()
LurnDirectInput::SyncAcquireMouse()
LIST
)
if [ "$exports" != "$expected" ]; then
  fail "GCC exports differ (expected < > actual):"
  diff <(echo "$expected") <(echo "$exports")
fi
if [ "$msvc_sigs" != "$gcc_sigs" ]; then
  fail "MSVC exports ($convention) are not the GCC ones at the same RVA" \
    "(GCC < > MSVC):"
  diff <(echo "$gcc_sigs") <(echo "$msvc_sigs")
fi

tables=$($objdump -p "$dll")

imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$tables" | sort -u)
for name in $imports; do
  case $name in
  ddraw.dll | dinput.dll | user32.dll | comctl32.dll | gdi32.dll | kernel32.dll | msvcrt.dll) ;;
  *) fail "imports $name" ;;
  esac
done
for name in ddraw.dll dinput.dll user32.dll comctl32.dll gdi32.dll; do
  grep -qx "$name" <<<"$imports" || fail "does not import $name"
done

# The version resource carries the header's version.
header=$(dirname "$0")/../../include/lurn.h
version=$(sed -n 's/.*LURN_VERSION_STRING "\(.*\)"/\1/p' "$header")
strings -el "$dll" | grep -qx "$version" ||
  fail "no version resource with $version"

echo "exports: $(wc -l <<<"$named") ($(wc -l <<<"$gcc") GCC, $(wc -l <<<"$msvc") MSVC, $functions), imports: $(echo $imports), version: $version"
[ "$failures" -eq 0 ] && echo "dll tables OK"
exit $((failures > 0))
