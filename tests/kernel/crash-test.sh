#!/usr/bin/env bash
# The bench with a guest that oopses on purpose must fail, say the kernel
# crashed, and show the trace; the guest ends on the oops, not on a timeout.
set -uo pipefail
here=$(dirname "$0")
start=$(date +%s)
output=$(bash "$here/../../scripts/kernel-bench.sh" --crash "$1" 2>&1)
code=$?
echo "$output"
echo "crash-test: bench exit $code after $(( $(date +%s) - start )) s"
[ "$code" -ne 0 ] || { echo "crash-test: the bench passed a crashed guest"; exit 1; }
grep -q "the guest kernel crashed" <<<"$output" || { echo "crash-test: no crash reported"; exit 1; }
grep -q "sysrq" <<<"$output" || { echo "crash-test: the trace is missing"; exit 1; }
