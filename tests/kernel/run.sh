#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Boots Debian's current kernel under qemu with the HID modules (hid, hid-generic, uhid) and a
# busybox initramfs, runs one static test program as its only process, and prints the serial
# console.
#
#   run.sh TEST-PROGRAM WORK-DIR [PROGRAM-ARGUMENTS...]
#
# WORK-DIR keeps the downloaded packages, and what the initramfs takes from them, between runs.
# Exit status: 0 when the program printed "KERNEL-TEST PASS", 1 on a failure or timeout, 77
# (skipped) when qemu or the packages cannot be had. KERNEL_TEST_TIMEOUT (seconds, default 180)
# bounds the boot and the test.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 TEST-PROGRAM WORK-DIR [PROGRAM-ARGUMENTS...]" >&2
  exit 2
fi
program=$1
work=$2
shift 2
timeout_s=${KERNEL_TEST_TIMEOUT:-180}
# The program gets what is left of the overall time, less the boot.
program_timeout_s=$((timeout_s > 60 ? timeout_s - 30 : timeout_s / 2))
modules=(hid hid-generic uhid)

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "KERNEL-TEST FAIL $*"; exit 1; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

[ "$(uname -m)" = x86_64 ] || skip "the kernel test runs on x86_64 hosts only (this is $(uname -m))"
command -v qemu-system-x86_64 >/dev/null ||
  skip "qemu-system-x86_64 is missing (bash scripts/setup installs qemu-system-x86)"
for tool in apt-get apt-cache dpkg-deb cpio sha256sum; do
  command -v "$tool" >/dev/null || skip "$tool is missing (bash scripts/setup installs it)"
done
[ -x "$program" ] || fail "no test program at $program"
if command -v readelf >/dev/null && readelf -l "$program" | grep -q 'program interpreter'; then
  fail "$program is not linked statically; the initramfs has no C library"
fi

mkdir -p "$work/cache" || fail "cannot create $work/cache"
work=$(cd "$work" && pwd)
cache=$work/cache

# --- Packages -----------------------------------------------------------------------------

# The package the metapackage points to now; it changes with every kernel update of Debian 12.
kernel_package=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }')
[ -n "$kernel_package" ] ||
  skip "apt knows no linux-image-amd64 (no Debian package lists: run apt-get update)"

# As root apt drops to its _apt user, which may not write here; it would only warn. A network
# that swallows packets fails within a minute, not after apt's default retries.
apt_options=(-q -o "APT::Sandbox::User=$(id -un)" -o Acquire::http::Timeout=30
  -o Acquire::Retries=1)
download_seconds=0

# Sets `deb` to the package's .deb in the cache, downloading it unless a copy with the size and
# SHA-256 that apt expects is there. Broken copies and other versions are removed.
fetch() {
  local package=$1 listing uri file size sum started
  deb=""
  listing=$(mkdir -p "$cache/listing" && cd "$cache/listing" &&
    apt-get download "${apt_options[@]}" --print-uris "$package" 2>/dev/null | head -n 1)
  [ -n "$listing" ] || return 1
  read -r uri file size sum <<<"$listing"
  sum=${sum#SHA256:}
  if ! { [ -f "$cache/$file" ] && [ "$(stat -c %s "$cache/$file")" = "$size" ] &&
    echo "$sum  $cache/$file" | sha256sum -c --status; }; then
    rm -f "$cache/${package}_"*.deb
    started=$(now)
    (cd "$cache" && apt-get download "${apt_options[@]}" "$package") || return 2
    download_seconds=$(awk -v a="$download_seconds" -v b="$(since "$started")" \
      'BEGIN { print a + b }')
    echo "$sum  $cache/$file" | sha256sum -c --status || return 2
    echo "downloaded $file ($((size / 1024)) KiB)"
  fi
  deb=$cache/$file
  local other
  for other in "$cache/${package}_"*.deb; do
    [ "$other" = "$deb" ] || rm -f "$other"
  done
}

fetch "$kernel_package" || skip "cannot download $kernel_package (no network?)"
kernel_deb=$deb
fetch busybox-static || skip "cannot download busybox-static (no network?)"
busybox_deb=$deb
echo "kernel package: $(basename "$kernel_deb"); busybox: $(basename "$busybox_deb")"
echo "download: $download_seconds s (0 when both came from $cache)"

# --- Kernel, modules, busybox ---------------------------------------------------------------

# What the packages give the initramfs is kept in $work/prepared, marked with the package files
# it came from, so later runs skip unpacking 400 MB; any other mark (or none) prepares it anew.
prepared=$work/prepared
mark="$(basename "$kernel_deb") $(basename "$busybox_deb") ${modules[*]}"
started=$(now)
if [ "$(cat "$prepared/mark" 2>/dev/null)" != "$mark" ]; then
  root=$work/root
  rm -rf "$root" "$prepared"
  mkdir -p "$root" "$prepared/modules"
  dpkg-deb -x "$kernel_deb" "$root" || fail "cannot unpack $kernel_deb"
  dpkg-deb -x "$busybox_deb" "$root" || fail "cannot unpack $busybox_deb"

  vmlinuz=$(ls "$root"/boot/vmlinuz-* 2>/dev/null | head -n 1)
  [ -n "$vmlinuz" ] || fail "no vmlinuz in $kernel_deb"
  module_dir=$(ls -d "$root"/lib/modules/* "$root"/usr/lib/modules/* 2>/dev/null | head -n 1)
  [ -n "$module_dir" ] || fail "no modules in $kernel_deb"
  [ -x "$root/bin/busybox" ] || fail "no busybox in $busybox_deb"

  # Module files by module name; the kernel names modules with '_' where files may have '-'.
  declare -A module_file
  while IFS= read -r file; do
    name=$(basename "$file")
    name=${name%%.ko*}
    module_file[${name//-/_}]=$file
  done < <(find "$module_dir" -name '*.ko' -o -name '*.ko.xz' -o -name '*.ko.zst' \
    -o -name '*.ko.gz')

  # Writes a module uncompressed: busybox insmod takes plain ELF only.
  unpack_module() {  # source, destination
    case $1 in
      *.ko.xz) xz -dc "$1" >"$2" ;;
      *.ko.zst) zstd -dcq "$1" >"$2" ;;
      *.ko.gz) gzip -dc "$1" >"$2" ;;
      *) cp "$1" "$2" ;;
    esac
  }

  # Debian's package carries no modules.dep (depmod writes it on installation), so the
  # dependencies come from each module's own "depends=" entry, which is what depmod reads.
  declare -A module_added
  load_order=()
  add_module() {
    local name=${1//-/_} file dependency
    [ -n "${module_added[$name]:-}" ] && return 0
    module_added[$name]=1
    file=${module_file[$name]:-}
    [ -n "$file" ] || fail "module $name is not in $(basename "$kernel_deb")"
    case $file in
      *.xz) command -v xz >/dev/null || skip "xz is needed to unpack the kernel's modules" ;;
      *.zst) command -v zstd >/dev/null || skip "zstd is needed to unpack the kernel's modules" ;;
    esac
    unpack_module "$file" "$prepared/modules/$name.ko" || fail "cannot unpack $file"
    for dependency in $(tr '\0' '\n' <"$prepared/modules/$name.ko" |
      sed -n 's/^depends=//p' | head -n 1 | tr ',' ' '); do
      add_module "$dependency"
    done
    load_order+=("$name")
  }
  for m in "${modules[@]}"; do add_module "$m"; done

  cp "$vmlinuz" "$prepared/vmlinuz" && cp "$root/bin/busybox" "$prepared/busybox" ||
    fail "cannot copy the kernel or busybox"
  echo "${load_order[*]}" >"$prepared/load-order"
  echo "modules from $(basename "$module_dir"): $(cd "$module_dir" &&
    for m in "${load_order[@]}"; do echo -n "${module_file[$m]#"$module_dir/"} "; done)"
  rm -rf "$root"
  echo "$mark" >"$prepared/mark"
fi
read -r -a load_order <"$prepared/load-order"
echo "modules: ${load_order[*]}"

initramfs=$work/initramfs
rm -rf "$initramfs" "$work/initramfs.cpio"
mkdir -p "$initramfs"/{bin,dev,proc,sys,tmp,lib/modules}
cp "$prepared"/modules/*.ko "$initramfs/lib/modules/" &&
  cp "$prepared/busybox" "$initramfs/bin/busybox" || fail "cannot fill the initramfs"
ln -s busybox "$initramfs/bin/sh"
if command -v strip >/dev/null; then
  strip -o "$initramfs/test" "$program" || fail "cannot copy $program"
else
  cp "$program" "$initramfs/test" || fail "cannot copy $program"
fi

quoted_args=$(printf ' %q' "$@")
[ $# -gt 0 ] || quoted_args=""
# /init mounts what the test needs, loads the modules, runs the program and powers off.
cat >"$initramfs/init" <<EOF
#!/bin/sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# The archive has no /dev/console: the kernel started init without one.
exec </dev/console >/dev/console 2>&1
seconds() { cut -d" " -f1 /proc/uptime; }
# The firmware's last line has no line end.
echo
echo "KERNEL-TEST boot: init started at \$(seconds) s of uptime"
for m in ${load_order[*]}; do
  insmod /lib/modules/\$m.ko || { echo "KERNEL-TEST FAIL insmod \$m"; poweroff -f; }
done
timeout $program_timeout_s /test$quoted_args
status=\$?
echo "KERNEL-TEST program exit status \$status at \$(seconds) s of uptime"
[ \$status = 0 ] || echo "KERNEL-TEST FAIL program exit status \$status"
poweroff -f
EOF
chmod +x "$initramfs/init"

(cd "$initramfs" && find . | LC_ALL=C sort | cpio -o -H newc --quiet >"$work/initramfs.cpio") ||
  fail "cannot write the initramfs"
rm -rf "$initramfs"
echo "initramfs: $(($(stat -c %s "$work/initramfs.cpio") / 1024)) KiB," \
  "prepared in $(since "$started") s"

# --- Boot -----------------------------------------------------------------------------------

# Software emulation: a /dev/kvm that is there is not always usable (nested virtualisation can
# hang the guest silently), so KVM is taken only when asked for with KERNEL_TEST_ACCEL=kvm.
accel=${KERNEL_TEST_ACCEL:-tcg}
# "-cpu max" gives the guest RDRAND, which seeds the kernel's random pool at boot; the default
# CPU has none, and getrandom() (UUIDs, OpenSSL) then blocks for seconds under emulation.
echo "booting $(basename "$kernel_deb") (qemu, $accel, timeout $timeout_s s)"
console=$work/console.log
started=$(now)
timeout -k 10 "$timeout_s" qemu-system-x86_64 -nographic -no-reboot -m 512 -smp 1 \
  -accel "$accel" -cpu max -nic none \
  -kernel "$prepared/vmlinuz" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 panic=-1 quiet" </dev/null 2>&1 |
  sed -u 's/\r//g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' | tee "$console"
qemu_status=${PIPESTATUS[0]}
echo "boot + test: $(since "$started") s (qemu exit status $qemu_status)"

if grep -q 'KERNEL-TEST FAIL' "$console"; then
  grep -m 1 -o 'KERNEL-TEST FAIL.*' "$console"
  exit 1
fi
if grep -q 'KERNEL-TEST PASS' "$console"; then
  exit 0
fi
[ "$qemu_status" = 124 ] && fail "timeout: no result within $timeout_s s"
fail "no result line on the console (qemu exit status $qemu_status)"
