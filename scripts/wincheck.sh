#!/usr/bin/env bash
# Syntax-checks every Windows-only source (*_win.cpp) with the MinGW-w64 cross compiler, so the
# code that only a Windows build compiles is at least parsed against the Windows SDK headers.
# Usage: scripts/wincheck.sh [build folder, whose generated headers are added to the include path]
# Exit status: 0 all passed, 1 a file failed, 77 no cross compiler (skipped).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-}

cxx=${WINCHECK_CXX:-x86_64-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null; then
    echo "wincheck: $cxx not found (Debian package g++-mingw-w64-x86-64-posix); skipped"
    exit 77
fi

qt=/usr/include/x86_64-linux-gnu/qt5
includes=(-I"$qt")
for module in QtCore QtGui QtWidgets QtSerialPort QtPrintSupport QtXml; do
    [ -d "$qt/$module" ] && includes+=(-I"$qt/$module")
done
# Every source folder, so a Windows file may include its neighbours' headers as the build allows.
for dir in meter records export app plugins/uartix; do
    [ -d "$root/$dir" ] && includes+=(-I"$root/$dir")
done
# Declaration-only stand-ins for Windows-only Qt modules that Debian does not package (ActiveQt);
# searched last, so real headers win wherever they exist.
includes+=(-idirafter "$root/tests/platform/winshim")
if [ -n "$build" ] && [ -d "$build" ]; then
    while IFS= read -r dir; do
        includes+=(-I"$dir")
    done < <(find "$build" -type d -path '*_autogen/include' 2>/dev/null | sort)
fi

mapfile -t files < <(find "$root" \( -path "$root/.git" -o -path "$root/build*" -o -path "$root/out" \) -prune \
    -o -type f -name '*_win.cpp' -print | sort)
if [ ${#files[@]} -eq 0 ]; then
    echo "wincheck: no Windows-only sources found"
    exit 0
fi

failed=0
for file in "${files[@]}"; do
    if "$cxx" -std=c++17 -fsyntax-only -Wno-attributes -DUNICODE -D_UNICODE -DQT_CORE_LIB -DQT_GUI_LIB \
        -DQT_WIDGETS_LIB -I"$(dirname "$file")" "${includes[@]}" "$file"; then
        echo "ok   ${file#"$root"/}"
    else
        echo "FAIL ${file#"$root"/}"
        failed=1
    fi
done
exit $failed
