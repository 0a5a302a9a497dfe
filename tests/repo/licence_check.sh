#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every source, header, script and CMake file of the tree names its licence in its first lines.
# Usage: licence_check.sh SOURCE_DIR (skipped, status 77, outside a git checkout)
set -uo pipefail
cd "$1" || exit 1
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "not a git checkout"; exit 77; }
missing=0
while IFS= read -r -d '' file; do
    case $file in
    *.c | *.h | *.cpp | *.cmake | *.cmake.in | */CMakeLists.txt | CMakeLists.txt | *.sh | *.bash | \
        *.map | *.pc.in | *.rules.in | *.scd | scripts/* | .ci/* | completions/*) ;;
    *) continue ;;
    esac
    [ -f "$file" ] || continue
    if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: Apache-2.0'; then
        echo "no licence line: $file"
        missing=$((missing + 1))
    fi
done < <(git ls-files -z)
echo "$missing file(s) without a licence line"
[ $missing -eq 0 ]
