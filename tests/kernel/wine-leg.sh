#!/bin/sh
# Runs inside the guest: the Windows programs under Wine against the gadget
# panel that zarvex-panel-gadget serves, through Wine's HID stack (winebus
# presents the hidraw node to them), beside the Linux programs on the same
# panel. Every case lands in <results>/bench.log; exit 0 only when all held.
#   wine-leg.sh <results> <Linux build> <Windows build> <Wine prefix>
results=$1 build=$2 windows=$3 prefix=$4
here=$(cd "$(dirname "$0")" && pwd)
log() { echo "$*" | tee -a "$results/bench.log"; }
failures=0
check() {  # condition-result description
  if [ "$1" = 0 ]; then log "ok   $2"; else log "FAIL $2"; failures=$((failures + 1)); fi
}

# Quiet, but for a DLL a program cannot find: that is told.
export WINEPREFIX=$prefix WINEDEBUG=${ZARVEX_WINEDEBUG:--all,err+module}
# libpq.dll, beside the shipped programs, for the test programs elsewhere in the build.
WINEPATH="Z:$(echo "$windows/dist" | tr / '\\')"
export WINEPATH
wine=/usr/lib/wine/wine64
cli_exe=$windows/dist/zarvex-cli.exe
linux_cli=$build/src/cli/zarvex-cli
work=$results/wine
mkdir -p "$work" && cd "$work" || exit 1
# Wine takes a relative name against its Z: drive, which is this folder.

# One display for every Windows program: a Wine server started without one
# would keep their windows from ever showing.
Xvfb :7 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:7

panel_pid=""
plug() {
  sh "$here/gadget.sh" bind panel
  "$build/sim/zarvex-panel-gadget" --model first --version 430 --keys 5 &
  panel_pid=$!
  for _ in $(seq 1 100); do ls /dev/hidraw* >/dev/null 2>&1 && return 0; sleep 0.2; done
  log "no hidraw node after the plug"
  return 1
}
unplug() {  # the node closed before the unbind, as a real unplug leaves it
  kill "$panel_pid" 2>/dev/null
  wait "$panel_pid" 2>/dev/null
  sh "$here/gadget.sh" unbind panel
}
# Runs a Windows program, bounded; its output in $work/<name>.log.
win() {  # name seconds program args...
  name=$1 seconds=$2
  shift 2
  timeout "$seconds" "$wine" "$@" > "$work/$name.log" 2>&1
}
# Waits for a program started in the background to end: `code` is its exit
# code, or "hang" (and it is killed) after the given number of half-seconds.
await_exit() {  # pid half-seconds
  code=hang
  for _ in $(seq 1 "$2"); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; code=$?; return; }
    sleep 0.5
  done
  kill "$1" 2>/dev/null
}
# Wine presents the hidraw node a while after its server starts; no case may
# pass or fail on that, so the cases wait until the CLI lists the panel.
await_panel() {  # name seconds
  deadline=$(( $(date +%s) + $2 ))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    win "$1" 120 "$cli_exe" list && grep -q . "$work/$1.log" && return 0
    sleep 2
  done
  return 1
}

sh "$here/gadget.sh" create
plug || exit 1
log "wine: $("$wine" --version 2>/dev/null), prefix $prefix"

# Linux first, on the same panel and kernel: the file and figures to match.
"$linux_cli" read -o linux.cfg > linux-read.log 2>&1
check $? "Linux: read -o linux.cfg"
"$build/bench/bench_panel_transfer" 20 3 > linux-figures.log 2>&1
check $? "Linux: read and write figures"

/usr/lib/wine/wineserver -p
start=$(date +%s)
await_panel list 300
check $? "Windows: list names the panel ($(( $(date +%s) - start )) s after Wine's server started)"
sed 's/^/  /' list.log | tee -a "$results/bench.log"

win read 300 "$cli_exe" read -o windows.cfg
check $? "Windows: read -o windows.cfg"
cmp -s linux.cfg windows.cfg
check $? "Windows: the file read equals the Linux build's, byte for byte"

awk 'NR == 14 { print "wine.apn\r"; next } { print }' linux.cfg > site.cfg
win write-verify 300 "$cli_exe" write site.cfg --verify
code=$?
check $code "Windows: write site.cfg --verify (exit $code: $(tail -1 write-verify.log))"
"$linux_cli" read -o after.cfg > /dev/null 2>&1 && sed -n 14p after.cfg | grep -q '^wine\.apn'
check $? "Linux: the panel holds the access point the Windows build wrote"

# Unplugged in the middle of a write: told, never hung, then plugged again.
"$wine" "$cli_exe" write linux.cfg > unplug.log 2>&1 &
writer=$!
for _ in $(seq 1 600); do grep -q "Запись: [1-9]" unplug.log && break; sleep 0.1; done
unplug
await_exit "$writer" 120
test "$code" = 1 -o "$code" = 5
check $? "Windows: unplugged during a write: exit $code, $(tail -1 unplug.log)"
grep -q "Запись прервана\|не отвечает\|не найдена" unplug.log
check $? "Windows: the cut write is told"
plug
await_panel replug-list 120 && win replug-read 300 "$cli_exe" read -o replugged.cfg
check $? "Windows: plugged again and read"

# Two zarvex-cli.exe on one panel: the first, frozen in the middle of a
# write, keeps its claim; the second is refused as busy and sends nothing.
"$wine" "$cli_exe" write linux.cfg > first.log 2>&1 &
first=$!
for _ in $(seq 1 600); do grep -q "Запись: [1-9]" first.log && break; sleep 0.1; done
kill -STOP "$first"
win second 300 "$cli_exe" read
code=$?
kill -CONT "$first"
test "$code" = 4 && grep -q "занята другой программой" second.log
check $? "Windows: a second zarvex-cli on a panel the first holds is refused as busy (exit $code: $(tail -1 second.log))"
await_exit "$first" 240
test "$code" != hang
check $? "Windows: the first zarvex-cli ends once let go (exit $code: $(tail -1 first.log))"

win windows-figures 600 "$windows/bench/bench_panel_transfer.exe" 60 3
check $? "Windows: read and write figures"
log "figures on this guest, 56 ticks of 10 ms each:"
log "  Linux:           $(grep FIGURES linux-figures.log)"
log "  Windows on Wine: $(grep FIGURES windows-figures.log)"

# The window, unplugged and plugged again near its end: Wine's arrival and
# removal notifications must reach it.
timeout 900 "$wine" "$windows/tests/kernel/kernel_window_session_external.exe" "Z:$work" 430 5 120 \
  > window.log 2>&1 &
window=$!
await_line() {  # text: true once the window printed it, false if it ended first
  for _ in $(seq 1 1800); do
    grep -q "$1" window.log && return 0
    kill -0 "$window" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}
busy=1
if await_line "UNPLUG NOW"; then
  # The window holds the panel: zarvex-cli must keep out of it.
  win window-busy 300 "$cli_exe" read
  code=$?
  test "$code" = 4 && grep -q "занята другой программой" window-busy.log
  busy=$?
  unplug && await_line "PLUG AGAIN" && plug
fi
check $busy "Windows: zarvex-cli on the panel the window holds is refused as busy"
wait "$window"
check $? "Windows: the window's session (connect, read, write, read back, keys, unplug, replug)"
grep -E "^(ok|FAIL)" window.log | sed 's/^/  window: /' | tee -a "$results/bench.log"

/usr/lib/wine/wineserver -k 2>/dev/null
unplug
kill "$xvfb" 2>/dev/null
log "wine leg: $failures failed"
[ "$failures" = 0 ]
