#!/usr/bin/env bash
# The kernel test bench: boots a real Debian kernel in QEMU with the panel as
# a USB HID gadget (dummy_hcd, configfs, usb_f_hid) and runs, inside it, the
# HID layer and device link against the real hidraw node, the window through
# a whole session under Xvfb, and the transfer benchmark.
#   bash scripts/kernel-bench.sh [--crash] [build directory, default build-test]
#   bash scripts/kernel-bench.sh --wine <Windows build> [Linux build]
#   ZARVEX_KERNEL_PACKAGE=linux-image-6.1.0-50-amd64 picks another kernel.
# --wine runs, instead, the Windows programs under Wine in the guest against
# the same gadget panel (served by the Linux build's zarvex-panel-gadget),
# beside the Linux CLI and figures; results in <Windows build>/kernel-results-wine.
# Needs the build directory built; installs what it needs; fails loudly.
# A kernel oops ends the guest at once (oops=panic) and is reported as a
# crash; --crash makes the guest oops on purpose, to prove that path.
# Results (test log, screenshots, figures) go to <build>/kernel-results.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
crash=0 windows=""
[ "${1:-}" = --crash ] && { crash=1; shift; }
[ "${1:-}" = --wine ] && { windows=$(realpath "${2:?--wine needs the Windows build}"); shift 2; }
build=$(realpath "${1:-build-test}")
die() { echo "kernel-bench: $*" >&2; exit 1; }
if [ -n "$windows" ]; then
  for program in sim/zarvex-panel-gadget src/cli/zarvex-cli bench/bench_panel_transfer; do
    [ -x "$build/$program" ] || die "build $build first (no $program)"
  done
  for program in dist/zarvex-cli.exe bench/bench_panel_transfer.exe \
                 tests/kernel/kernel_window_session_external.exe; do
    [ -f "$windows/$program" ] || die "build $windows first (bash scripts/windows-build.sh; no $program)"
  done
  bash scripts/install-deps.sh kernel windows >/dev/null
else
  for program in kernel_tests kernel_window_session; do
    [ -x "$build/tests/kernel/$program" ] || die "build $build first (no tests/kernel/$program)"
  done
  bash scripts/install-deps.sh kernel >/dev/null
fi

# The kernel: the one package linux-image-amd64 depends on, unpacked once.
cache=/var/tmp/zarvex-kernel
package=${ZARVEX_KERNEL_PACKAGE:-$(apt-cache depends linux-image-amd64 |
  sed -n 's/^ *Depends: \(linux-image-[0-9].*\)/\1/p' | head -1)}
[ -n "$package" ] || die "apt-cache knows no linux-image-amd64"
tree=$cache/$package
if [ ! -d "$tree/lib/modules" ]; then
  mkdir -p "$cache" && chmod 777 "$cache"
  (cd "$cache" && rm -f "$package"_*.deb && apt-get download "$package" >/dev/null) ||
    die "cannot download $package"
  rm -rf "$tree.partial" && dpkg -x "$cache/$package"_*.deb "$tree.partial" && mv "$tree.partial" "$tree"
fi
version=$(ls "$tree/lib/modules")
debian_version=$(sed -n 's/^Version: //p' "$tree.version" 2>/dev/null || true)
if [ -z "$debian_version" ]; then
  debian_version=$(dpkg-deb -f "$cache/$package"_*.deb Version 2>/dev/null || echo unknown)
  echo "Version: $debian_version" > "$tree.version"
fi
depmod -b "$tree" "$version"

# The initramfs: busybox, the modules in dependency order, the init script.
work=$(mktemp -d /var/tmp/zarvex-guest.XXXXXX)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root"/{bin,proc,sys,dev,modules}
cp /bin/busybox "$root/bin/busybox"
cp tests/kernel/guest-init.sh "$root/init"
chmod +x "$root/init"
moddir=$tree/lib/modules/$version
declare -A loaded=()
order=()
load() {  # module name as modules.dep knows it (path relative to moddir)
  local path=$1 dep
  [ -n "${loaded[$path]:-}" ] && return
  loaded[$path]=1
  for dep in $(sed -n "s|^$path: *||p" "$moddir/modules.dep"); do load "$dep"; done
  order+=("$path")
}
for name in usbcore udc-core dummy_hcd configfs libcomposite usb_f_hid hid usbhid hid-generic \
            virtio virtio_ring virtio_pci 9pnet 9pnet_virtio 9p; do
  path=$(grep -E "(^|/)${name//-/[-_]}\.ko(\.[a-z]+)?:" "$moddir/modules.dep" | head -1 | cut -d: -f1)
  [ -n "$path" ] || die "module $name is not in $package"
  load "$path"
done
for path in "${order[@]}"; do
  file=$(basename "$path")
  case $file in
    *.xz) xz -dc "$moddir/$path" > "$root/modules/${file%.xz}"; file=${file%.xz} ;;
    *.zst) zstd -qdc "$moddir/$path" > "$root/modules/${file%.zst}"; file=${file%.zst} ;;
    *) cp "$moddir/$path" "$root/modules/$file" ;;
  esac
  # Two gadget controllers: the panel and a keyboard.
  [ "$file" = dummy_hcd.ko ] && file="$file num=2"
  echo "$file" >> "$root/modules/order"
done
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initrd.gz"

results=$build/kernel-results
[ "$crash" = 1 ] && results=$build/kernel-results-crash
[ -n "$windows" ] && results=$windows/kernel-results-wine
rm -rf "$results" && mkdir -p "$results"
chmod 777 "$results"
limit=840
if [ -n "$windows" ]; then
  # Made once on the host (a first start under TCG takes minutes), copied so
  # that the guest's registry writes never reach the kept prefix.
  prefix=$(bash scripts/wine-prefix.sh)
  cp -a "$prefix" "$results/wine-prefix"
  trap 'rm -rf "$work" "$results/wine-prefix"' EXIT
  limit=1500
fi
accel=tcg
echo "kernel-bench: booting $package ($debian_version) under QEMU ($accel)"
start=$(date +%s)
# oops=panic with panic=-1 and -no-reboot: a kernel bug ends QEMU at once
# instead of leaving the guest in soft lockups until the time limit.
timeout "$limit" qemu-system-x86_64 -accel "$accel" -m 2048 -smp 2 -nographic -no-reboot \
  -kernel "$tree/boot/vmlinuz-$version" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 oops=panic panic=-1 softlockup_panic=1 quiet zarvex.crash=$crash zarvex.results=$results zarvex.script=$repo/tests/kernel/guest-run.sh zarvex.build=$build${windows:+ zarvex.windows=$windows}" \
  -virtfs local,path=/,mount_tag=host,readonly=on,security_model=none,multidevs=remap \
  -virtfs local,path="$results",mount_tag=results,security_model=none \
  > "$results/console.log" 2>&1 || true
echo "kernel-bench: guest ran $(( $(date +%s) - start )) s"
oops="BUG|Oops|corruption|general protection fault|Kernel panic|soft lockup"
if grep -qE "$oops" "$results/console.log"; then
  echo "kernel-bench: first lines of the trace:" >&2
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g; s/^\x1bc//' "$results/console.log" | grep -m1 -A24 -E "$oops" >&2
  die "the guest kernel crashed ($package, $debian_version, $version)"
fi
[ -f "$results/exit-code" ] || { tail -40 "$results/console.log"; die "the guest ended without a result"; }
cat "$results/bench.log" 2>/dev/null || true
code=$(cat "$results/exit-code")
[ "$code" = 0 ] || { tail -60 "$results/console.log"; die "the bench failed in the guest (exit $code)"; }
echo "kernel-bench: passed; results in $results"
