#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks the Debian packages that scripts/package built: lintian reports no error, each package
# holds what it should, and the extracted tool runs the demo update with nothing but the
# extracted libraries.
# Usage: check_packages.sh BUILD_PACKAGE_DIR
set -uo pipefail
dir=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
major=${version%%.*}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=usr/lib/$multiarch
packages=(libflashkit$major libflashkit-dev flashkit)
grep -q '^FLASHKIT_APP:BOOL=ON$' "$dir/CMakeCache.txt" && packages+=(panelflasher)

# Paths each package must hold (shell patterns); the rest of its list is printed for review.
declare -A expected
expected[libflashkit$major]="$lib/libflashkit.so.$major $lib/libflashkit.so.$version
  $lib/libscreenio.so.$major $lib/libksys.so.$major $lib/libkipc.so.$major
  usr/lib/udev/rules.d/70-screenio-monitors.rules usr/share/doc/libflashkit$major/copyright
  usr/share/doc/libflashkit$major/changelog.gz"
expected[libflashkit-dev]="usr/include/flashkit/flashkit.h usr/include/screenio/screenio.h
  usr/include/ksys/ksys.h usr/include/kipc/kipc.h $lib/libflashkit.so $lib/libscreenio.so
  $lib/libksys.so $lib/libkipc.so $lib/cmake/flashkit/flashkitConfig.cmake
  $lib/pkgconfig/flashkit.pc $lib/pkgconfig/screenio.pc usr/share/doc/libflashkit-dev/copyright"
expected[flashkit]="usr/bin/flashkit usr/share/man/man1/flashkit.1.gz
  usr/share/bash-completion/completions/flashkit usr/share/zsh/vendor-completions/_flashkit
  usr/share/doc/flashkit/copyright usr/share/doc/flashkit/examples/demo/manifest.json"
expected[panelflasher]="usr/bin/PanelFlasher usr/share/man/man1/PanelFlasher.1.gz
  usr/share/doc/panelflasher/copyright usr/share/applications/org.flashkit.PanelFlasher.desktop
  usr/share/mime/packages/org.flashkit.PanelFlasher.xml
  usr/share/icons/hicolor/scalable/apps/org.flashkit.PanelFlasher.svg
  usr/share/metainfo/org.flashkit.PanelFlasher.metainfo.xml"
# What must stay out of every package: build paths, static helpers, test programs.
forbidden='(\.a$|/build|_tests?$|^usr/local/|^lib/|\.cmake.in$)'

root=$work/root
mkdir -p "$root"
for package in "${packages[@]}"; do
    deb=$(ls "$dir/${package}_${version}_"*.deb 2>/dev/null | head -1)
    [ -n "$deb" ] || { fail "no package $package in $dir"; continue; }
    echo "== $package ($(du -k "$deb" | cut -f1) KiB)"
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
    cat "$work/lintian.txt"
    grep -q '^E: ' "$work/lintian.txt" && fail "lintian reports errors for $package"
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||; /\/$/d; /^$/d' >"$work/$package.list"
    for path in ${expected[$package]}; do
        grep -qx -- "$path" "$work/$package.list" || fail "$package lacks $path"
    done
    if grep -E "$forbidden" "$work/$package.list"; then fail "$package holds the paths above"; fi
    dpkg-deb -x "$deb" "$root"
done

# Only the packages' libraries: none from the build tree, none installed on the system.
tool=$root/usr/bin/flashkit
export LD_LIBRARY_PATH=$root/$lib
for dep in $(ldd "$tool" | awk '/lib(flashkit|screenio|ksys|kipc)\.so/ {print $3}'); do
    [[ $dep == "$root/"* ]] || fail "flashkit loads $dep from outside the extracted packages"
done
"$tool" --version | grep -qx "flashkit $version" || fail "flashkit --version does not say $version"
demo=$root/usr/share/doc/flashkit/examples/demo/manifest.json
FLASHKIT_TOOL=$tool FLASHKIT_DEMO_MANIFEST=$demo bash "$here/scripts/demo" >"$work/demo.txt" 2>&1 ||
    { cat "$work/demo.txt"; fail "the demo update with the extracted tool failed"; }
grep -q "The update of .* is finished" "$work/demo.txt" || fail "the demo update did not finish"

echo "packages: $failures failure(s)"
[ $failures -eq 0 ]
