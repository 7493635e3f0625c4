#!/usr/bin/env bash
# Fails when any C++ file of the project differs from what clang-format makes of it (.clang-format).
# scripts/format-check.sh --fix rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format || command -v clang-format-14 || true)
if [ -z "$formatter" ]; then
    echo "clang-format is not installed (scripts/deps.sh installs it)" >&2
    exit 1
fi
# New files count before they are added: a check that passes only after the commit is no check.
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' 2>/dev/null \
    || find . -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
    "$formatter" -i "${files[@]}"
    exit 0
fi
if ! "$formatter" --dry-run --Werror "${files[@]}"; then
    echo "Formatting differs from .clang-format: run scripts/format-check.sh --fix" >&2
    exit 1
fi
echo "clang-format: ${#files[@]} files clean"
