#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The desktop integration files of PanelFlasher as the desktop's own validators read them.
# Usage: desktop_check.sh DESKTOP_DIR
set -uo pipefail
dir=$1
failures=0
check() {  # description, command...
    local what=$1; shift
    if ! output=$("$@" 2>&1); then
        echo "FAIL: $what:"; echo "$output"; failures=$((failures + 1))
    elif [ -n "$output" ]; then
        echo "$what: $output"
    fi
}
id=org.flashkit.PanelFlasher
check "desktop-file-validate" desktop-file-validate "$dir/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net --strict "$dir/$id.metainfo.xml"
check "xmllint (MIME type)" xmllint --noout "$dir/$id.mime.xml"
check "xmllint (icon)" xmllint --noout "$dir/$id.svg"
# The MIME database compiles the type without complaint.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mime/packages"
cp "$dir/$id.mime.xml" "$work/mime/packages/"
check "update-mime-database" env XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" update-mime-database "$work/mime"
grep -qx 'application/x-kfw2' "$work/mime/types" 2>/dev/null ||
    { echo "FAIL: the MIME database does not list application/x-kfw2"; failures=$((failures + 1)); }
# The desktop file offers to open the type the MIME file defines.
grep -qx 'MimeType=application/x-kfw2;' "$dir/$id.desktop" ||
    { echo "FAIL: the desktop file does not open application/x-kfw2"; failures=$((failures + 1)); }
echo "desktop files: $failures failure(s)"
[ $failures -eq 0 ]
