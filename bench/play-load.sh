#!/usr/bin/env bash
# Live-play load: zrhost play of COUNT copies of a patch (bench/play-copies.py) in one process,
# on a JACK server of its own on the dummy driver at 64-frame periods, for SECONDS each; prints
# one table row per count with the xruns and the DSP load zrhost reports at the end.
#
#   bench/play-load.sh [BUILD_DIR] [SECONDS] [COUNT...]     (defaults: build 60 1 8 32)
set -euo pipefail

build=${1:-build}
seconds=${2:-60}
if (( $# > 2 )); then counts=("${@:3}"); else counts=(1 8 32); fi
here=$(cd "$(dirname "$0")" && pwd)
server="zrbench-$$"
work=$(mktemp -d)
jackd_pid=""

cleanup() {
  [[ -n "$jackd_pid" ]] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Real-time scheduling (jackd's default) where the user may have it, as a musician's server runs.
jackd -n "$server" -d dummy -r 48000 -p 64 >>"$work/jackd.log" 2>&1 &
jackd_pid=$!
for _ in $(seq 100); do
  jack_lsp -s "$server" >/dev/null 2>&1 && break
  sleep 0.05
done

echo "| copies | modules | seconds | xruns | of them zrhost late | DSP load (server) avg / max | callback avg / max of a period |"
echo "|---:|---:|---:|---:|---:|---|---|"
for count in "${counts[@]}"; do
  "$here/play-copies.py" "$here/../examples/shape-demo.json" "$count" >"$work/copies.json"
  : >"$work/jackd.log"
  report=$("$build/zrhost" play "$work/copies.json" --server "$server" --client-name "copies-$count" --no-connect --duration "$seconds" 2>&1)
  modules=$(( count * 4 ))
  # The server names a client that had not finished its period when the period ended; its
  # other xruns are its own timer waking late (the dummy driver's, on a busy machine).
  late=$(grep -ac "client = copies-$count was not finished" "$work/jackd.log" || true)
  echo "$report" | sed -nE "s/^played ([0-9.]+) s; xruns: ([0-9]+); DSP load \(server\): average ([0-9.]+) %, highest ([0-9.]+) %; callback: average ([0-9.]+) %, highest ([0-9.]+) % of a period$/| $count | $modules | \1 | \2 | $late | \3 % \/ \4 % | \5 % \/ \6 % |/p"
done
