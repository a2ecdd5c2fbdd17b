#!/usr/bin/env bash
# Checks the Windows DLL's tables: a 32-bit x86 PE that exports the two
# classes' methods and nothing else, and imports only system DLLs.
set -u
dll=$1
objdump=i686-w64-mingw32-objdump
demangle="i686-w64-mingw32-c++filt --no-strip-underscore"
command -v $objdump >/dev/null || { echo "no $objdump"; exit 77; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

header=$($objdump -f "$dll")
grep -q 'file format pei-i386' <<<"$header" || fail "not PE32 i386: $header"

tables=$($objdump -p "$dll")
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on{on=0}' <<<"$tables" |
  $demangle | sort)
expected=$(sort <<'LIST'
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
LurnDirectInput::Open(void*, void*)
LurnDirectInput::OpenMouse(void*)
LurnDirectInput::OpenKeyboard(void*)
LurnDirectInput::Close()
LurnDirectInput::GetStateKeyboard()
LurnDirectInput::KeyDown(unsigned char)
LurnDirectInput::GetStateMouse()
LurnDirectInput::SyncAcquireKeyboard()
LurnDirectInput::SyncAcquireMouse()
LIST
)
if [ "$exports" != "$expected" ]; then
  fail "exports differ (expected < > actual):"
  diff <(echo "$expected") <(echo "$exports")
fi

imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$tables" | sort -u)
for name in $imports; do
  case $name in
  ddraw.dll | dinput.dll | user32.dll | kernel32.dll | msvcrt.dll) ;;
  *) fail "imports $name" ;;
  esac
done
for name in ddraw.dll dinput.dll user32.dll; do
  grep -qx "$name" <<<"$imports" || fail "does not import $name"
done

# The version resource carries the header's version.
header=$(dirname "$0")/../../include/lurn.h
version=$(sed -n 's/.*LURN_VERSION_STRING "\(.*\)"/\1/p' "$header")
strings -el "$dll" | grep -qx "$version" ||
  fail "no version resource with $version"

echo "exports: $(wc -l <<<"$exports"), imports: $(echo $imports), version: $version"
[ "$failures" -eq 0 ] && echo "dll tables OK"
exit $((failures > 0))
