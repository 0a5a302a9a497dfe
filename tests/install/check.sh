#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the build into a scratch prefix, then builds and runs a consumer through the CMake
# package configuration and through pkg-config.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/include/flashkit/flashkit.h"
test -f "$work/prefix/include/screenio/screenio.h"
test -f "$work/prefix/include/ksys/ksys.h"
test -f "$work/prefix/include/kipc/kipc.h"
# The udev rule holds this build's vendor id as the kernel names HID devices (4 upper-case hex
# digits), and is installed where udev looks below the prefix: plain lib/, not the multiarch one.
vendor=$(sed -n 's/^SCREENIO_USB_VENDOR_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
rule="$work/prefix/lib/udev/rules.d/70-screenio-monitors.rules"
cmp "$build/libscreenio/udev/70-screenio-monitors.rules" "$rule"
hex=$(printf '%04X' "$vendor")
expected="SUBSYSTEM==\"hidraw\", SUBSYSTEMS==\"hid\", KERNELS==\"0003:$hex:*\", TAG+=\"uaccess\""
[ "$(grep -v "^#" "$rule")" = "$expected" ] || { echo "bad udev rule:"; cat "$rule"; exit 1; }
# And udev itself reads it without complaint: `udevadm verify` where udev has it (253 on);
# before that `udevadm test` reads only the rule folders, so a copy stays in /run/udev/rules.d
# for the run (root only), and any message naming the copy fails the check.
if ! command -v udevadm >/dev/null; then
  echo "udevadm is missing: the udev rule is not checked by udev (bash scripts/setup installs udev)"
elif udevadm verify --help >/dev/null 2>&1; then
  udevadm verify --resolve-names=never "$rule"
elif [ "$(id -u)" = 0 ] && [ -d /sys/class/mem/null ]; then
  copy=/run/udev/rules.d/70-screenio-install-check-$$.rules
  mkdir -p /run/udev/rules.d && cp "$rule" "$copy"
  messages=$(udevadm test --action=add /class/mem/null 2>&1 | grep -F "$copy" || true)
  rm -f "$copy"
  [ "$messages" = "Reading rules file: $copy" ] ||
    { echo "udev does not read the rule cleanly:"; echo "$messages"; exit 1; }
else
  echo "udevadm $(udevadm --version) has no verify and only root may run udevadm test: not checked"
fi

# The tool runs from the installed tree alone: it finds its libraries beside it.
env -u LD_LIBRARY_PATH "$work/prefix/bin/flashkit" --version

# The desktop updater, when the build has it: installed beside the tool, finding the installed
# libraries through its RUNPATH, with its text tables inside the program (no loose .qm files).
if grep -q '^FLASHKIT_APP:BOOL=ON$' "$build/CMakeCache.txt"; then
  app="$work/prefix/bin/PanelFlasher"
  test -x "$app"
  runpath=$(readelf -d "$app" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  case $runpath in
    '$ORIGIN/../lib'*) ;;
    *) echo "PanelFlasher RUNPATH is '$runpath', not relative to the program"; exit 1 ;;
  esac
  for lib in flashkit screenio ksys kipc; do
    found=$(env -u LD_LIBRARY_PATH ldd "$app" | grep "lib$lib\.so")
    [[ $found =~ "=> $work/prefix/"(bin/\.\./)?lib/ ]] ||
      { echo "PanelFlasher does not find the installed lib$lib: $found"; exit 1; }
  done
  [ -z "$(find "$work/prefix" -name '*.qm')" ] ||
    { echo "loose translation files installed"; exit 1; }
  for table in PanelFlasher_en.qm PanelFlasher_de.qm; do
    # Resource names are stored as UTF-16.
    perl -0777 -ne 'BEGIN { $n = join "", map { "\0$_" } split //, shift }
                    exit(index($_, $n) < 0 ? 1 : 0)' "$table" "$app" ||
      { echo "PanelFlasher lacks the embedded $table"; exit 1; }
  done
  # It starts from the installed folder: as the only copy (a runtime folder of its own, so no
  # other copy of this user counts) it shows its first window and runs until it is stopped.
  mkdir -m 700 "$work/runtime"
  status=0
  env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" \
    SCREENIO_SIM=demo timeout -s TERM 3 "$app" 2>"$work/app.log" || status=$?
  [ "$status" = 124 ] || {
    echo "PanelFlasher ended by itself (status $status) instead of running:"; cat "$work/app.log"
    exit 1
  }
fi

cmake -S "$here/consumer" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/cmake/consumer"

libdir=$(find "$work/prefix" -name flashkit.pc -printf '%h\n')
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs flashkit)
cc -std=c11 -pedantic -Werror "$here/consumer/main.c" $flags -o "$work/pkgconfig-consumer"
LD_LIBRARY_PATH="$(dirname "$libdir"):${LD_LIBRARY_PATH:-}" "$work/pkgconfig-consumer"

flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs screenio)
cc -std=c11 -pedantic -Werror "$here/consumer/monitor.c" $flags -o "$work/screenio-consumer"
# The system information and IPC libraries are found the same way.
PKG_CONFIG_PATH="$libdir" pkg-config --exists ksys kipc
LD_LIBRARY_PATH="$(dirname "$libdir"):${LD_LIBRARY_PATH:-}" env -u SCREENIO_SIM "$work/screenio-consumer"

# Only the documented functions leave the shared libraries.
for lib in flashkit screenio ksys kipc; do
  case $lib in flashkit) prefix=FW ;; screenio) prefix=Km ;; ksys) prefix=KSys ;; kipc) prefix=IPC_ ;; esac
  others=$(nm -D --defined-only "$(find "$work/prefix" -name "lib$lib.so" | head -1)" |
           awk '$2 ~ /^[A-Z]$/ {print $3}' | grep -v "^$prefix" || true)
  [ -z "$others" ] || { echo "lib$lib exports more than $prefix*: $others"; exit 1; }
done
