#!/usr/bin/env bash
# Compiles the Windows branches of the sources without a Windows machine:
# every source under src/ that has one (Q_OS_WIN) goes through the MinGW
# cross compiler with -fsyntax-only, against the Qt 6 headers installed for
# Linux (they pick their Windows branches from the compiler). Warnings are
# errors, as in the real build.
#
#   tools/windows-syntax-check.sh [QT_HEADERS]
#
# QT_HEADERS defaults to the Debian Qt 6 header folder. MINGW_CXX names
# another cross compiler. Exits 77 (skipped) when the compiler is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
qt=${1:-/usr/include/x86_64-linux-gnu/qt6}

if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "windows syntax check skipped: $compiler is missing (Debian package g++-mingw-w64-x86-64-posix)"
  exit 77
fi
if [[ ! -f $qt/QtCore/qglobal.h ]]; then
  echo "windows syntax check: no Qt 6 headers in $qt" >&2
  exit 1
fi

# What Qt's CMake package defines for a MinGW build.
defines=(-DUNICODE -D_UNICODE -DWIN32 -DWIN64 -D_ENABLE_EXTENDED_ALIGNED_STORAGE
         -DMINGW_HAS_SECURE_API=1)
includes=(-Isrc -isystem "$qt")
for module in "$qt"/Qt*/; do
  includes+=(-isystem "${module%/}")
done
# The project's warning set (cmake/CompilerWarnings.cmake).
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
          -Woverloaded-virtual -Wimplicit-fallthrough -Werror)

mapfile -t sources < <(grep -rl --include='*.cpp' --include='*.h' Q_OS_WIN src | sort)
if ((${#sources[@]} == 0)); then
  echo "windows syntax check: no source has a Windows branch" >&2
  exit 1
fi

failed=0
for source in "${sources[@]}"; do
  if "$compiler" -std=c++20 -x c++ -fsyntax-only "${defines[@]}" "${includes[@]}" \
      "${warnings[@]}" "$source"; then
    echo "windows syntax ok: $source"
  else
    echo "windows syntax FAILED: $source" >&2
    failed=1
  fi
done
exit "$failed"
