#!/bin/sh
# Runs inside the guest, in the host's tree, as root: starts udev, plugs the
# gadgets and runs the bench's parts. Writes only to the results folder ($1).
results=$1
build=$(sed -n 's/.*zarvex\.build=\([^ ]*\).*/\1/p' /proc/cmdline)
here=$(dirname "$0")
exec > "$results/guest.log" 2>&1
log() { echo "$*" | tee -a "$results/bench.log"; }

# udev first, so the HID layer's monitor sees events after the rules ran.
/lib/systemd/systemd-udevd --daemon || { log "udevd did not start"; exit 1; }
status=0
if grep -q "zarvex.crash=1" /proc/cmdline; then
  log "crashing the kernel on purpose"
  sync
  echo c > /proc/sysrq-trigger
fi
log "kernel $(uname -r), controllers: $(ls /sys/class/udc | tr '\n' ' ')"

# The Windows leg instead: the Windows programs under Wine on the same panel.
windows=$(sed -n 's/.*zarvex\.windows=\([^ ]*\).*/\1/p' /proc/cmdline)
if [ -n "$windows" ]; then
  sh "$here/wine-leg.sh" "$results" "$build" "$windows" "$results/wine-prefix"
  exit $?
fi

"$build/tests/kernel/kernel_tests" --gtest_output="xml:$results/kernel_tests.xml" \
  > "$results/kernel_tests.log" 2>&1 || status=1
grep -E "^\[  (PASSED|FAILED) |^\[  FAILED  \]|FIGURES" "$results/kernel_tests.log" | tee -a "$results/bench.log"

# The window, as the installer sees it, on the same kernel.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/kernel/kernel_window_session" "$results" > "$results/window_session.log" 2>&1 || status=1
grep -E "^FAIL|window session" "$results/window_session.log" | tee -a "$results/bench.log"
exit $status
