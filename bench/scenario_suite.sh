#!/usr/bin/env bash
# The scenario-suite benchmark: how long `pndhal run` takes to play a suite of scripts in one process
# (-j 1) and in several at once (-j N), each script on a device of its own.
#
#   bench/scenario_suite.sh [PNDHAL] [SCRIPTS] [JOBS]
#
# PNDHAL defaults to build/default/bin/pndhal, SCRIPTS to 200, JOBS to 2. Two suites are played: "polling",
# whose scripts wait for the library's polling round as most real scripts do (a battery change), and
# "events", whose scripts only press keys and mount cards. Each is played three times per job count; the
# best wall-clock time is printed with the speed-up.
set -euo pipefail
tool=${1:-build/default/bin/pndhal}
count=${2:-200}
jobs=${3:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for i in $(seq "$count"); do
  level=$((10 + i % 60))
  mkdir -p "$work/polling" "$work/events"
  cat >"$work/polling/s$i.scn" <<SCRIPT
press F6
expect key F6
battery $level
wait poll
expect power $level battery
volume $((i % 100))
expect GetVolume = $((i % 100))
SCRIPT
  cat >"$work/events/s$i.scn" <<SCRIPT
press F6
expect key F6
card mount SD-Karte
expect card mounted SD-Karte sd
press Up
expect key Up
SCRIPT
done

# The best of three runs, in seconds.
best() {
  local best="" start end took
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$tool" run --quiet "$@" >/dev/null
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then best=$took; fi
  done
  echo "$best"
}

echo "$count scripts per suite, $(nproc) processors"
for suite in polling events; do
  one=$(best -j 1 "$work/$suite"/*.scn)
  many=$(best -j "$jobs" "$work/$suite"/*.scn)
  printf '%-8s -j 1: %6.2f s   -j %d: %6.2f s   speed-up %.2f\n' "$suite" "$one" "$jobs" "$many" \
    "$(echo "$one / $many" | bc -l)"
done
