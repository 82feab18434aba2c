#!/usr/bin/env bash
# The Windows command line under wine against the Linux one, on the same paced simulator: the
# samples per second of a 20 s Advanced log as a share of what the wire carries, and the time
# Write All takes: the command's time less the program's start and end (`version` timed the
# same way), which under wine is wine's and no part of Write All. Both programs are measured in
# turns; the best of RUNS (default 2). A machine busy with other work lowers both.
# Last line: windows-cli log-share=L write-all-ratio=W (goals L >= 0.95, W <= 1.05).
#
#   bench/windows_cli_bench.sh BUILD_WIN_DIR LINUX_CLI
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_WIN_DIR LINUX_CLI" >&2
  exit 2
fi
source "$(cd "$(dirname "$0")/.." && pwd)/scripts/windows-cli-common.sh"
wincli_setup "$1" "$2"
runs=${RUNS:-2}
seconds=20

now() { date +%s.%N; }
# The command's time (t1..t2) less the program's start and end (t0..t1).
less_start() { awk -v t0="$1" -v t1="$2" -v t2="$3" 'BEGIN { printf "%.3f", (t2 - t1) - (t1 - t0) }'; }
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
most() { printf '%s\n' "$@" | sort -g | tail -n 1; }

start_sim
"$linux_cli" read-all --port "$pty" --out "$work/unit.dat" >/dev/null 2>&1 ||
  { echo "read-all of the simulator failed" >&2; exit 1; }

win_log=() linux_log=() win_write=() linux_write=()
for ((i = 1; i <= runs; i++)); do
  timeout 60 "$wine" "$exe" log --port COM5 --groups advanced --seconds "$seconds" \
    --out "$(winpath "$work/win.txt")" --yes >/dev/null 2>&1 || { echo "wine log failed" >&2; exit 1; }
  win_log+=("$(log_samples "$work/win.txt")")
  "$linux_cli" log --port "$pty" --groups advanced --seconds "$seconds" --out "$work/linux.txt" \
    --yes >/dev/null 2>&1 || { echo "Linux log failed" >&2; exit 1; }
  linux_log+=("$(log_samples "$work/linux.txt")")

  t0=$(now)
  timeout 60 "$wine" "$exe" version >/dev/null 2>&1
  t1=$(now)
  timeout 300 "$wine" "$exe" write-all --port COM5 "$(winpath "$work/unit.dat")" >/dev/null 2>&1 ||
    { echo "wine write-all failed" >&2; exit 1; }
  win_write+=("$(less_start "$t0" "$t1" "$(now)")")
  t0=$(now)
  "$linux_cli" version >/dev/null 2>&1
  t1=$(now)
  "$linux_cli" write-all --port "$pty" "$work/unit.dat" >/dev/null 2>&1 ||
    { echo "Linux write-all failed" >&2; exit 1; }
  linux_write+=("$(less_start "$t0" "$t1" "$(now)")")
done

limit=$(wire_limit "$seconds")
wl=$(most "${win_log[@]}") ll=$(most "${linux_log[@]}")
ww=$(best "${win_write[@]}") lw=$(best "${linux_write[@]}")
echo "Advanced log, $seconds s (wire limit $limit samples): wine ${win_log[*]}, Linux ${linux_log[*]}"
echo "Write All less start-up, s: wine ${win_write[*]}, Linux ${linux_write[*]}"
awk -v wl="$wl" -v ll="$ll" -v l="$limit" -v ww="$ww" -v lw="$lw" 'BEGIN {
  printf "Linux log-share=%.3f\n", ll / l
  printf "windows-cli log-share=%.3f write-all-ratio=%.3f\n", wl / l, ww / lw
}'
