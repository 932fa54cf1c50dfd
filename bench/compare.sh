#!/usr/bin/env bash
# Prints, for each audio module, its median time per sample through the module's process call
# beside the plain loop of the same formula in the same run, and the ratio; and the oscillator's
# phase accumulator alone, the bound of its plain block, and its engine without the module.
#   bench/compare.sh [BLOCK] [REPETITIONS]     (defaults: 64 and 5; build/ must hold zr_bench)
set -euo pipefail
cd "$(dirname "$0")/.."
block=${1:-64}
repetitions=${2:-5}
bench=build/bench/zr_bench
[ -x "$bench" ] || { echo "build zr_bench first: cmake --build build -j2 --target zr_bench" >&2; exit 1; }

filter="(Waveshaper2Process|Waveshaper2STProcessPerChannel|WaveshaperPlainLoop)/${block}\$"
filter+="|ShapeOsc2Process/block:${block}/|ShapeOscPlainLoop(PhaseModulated|WithFeedback|4096)?/block:${block}/"
filter+="|ShapeOscProcess/block:${block}/|PhaseAccumulatorAlone/${block}\$|WaveRunAlone/${block}\$"
filter+="|ShapeEnv3Process/block:${block}/|ShapeEnvelopePlainLoop/${block}\$"

"$bench" --benchmark_filter="$filter" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.1 2>/dev/null |
awk -v block="$block" '
  # time/sample=1.2ns or 849ps or 1.2us, in ns.
  function ns(text,   value) {
    sub(/.*time\/sample=/, "", text); sub(/ .*/, "", text)
    value = text + 0
    if (text ~ /ps$/) value /= 1000
    else if (text ~ /us$/) value *= 1000
    return value
  }
  # With repetitions the median line, with a single run the run itself.
  $1 ~ /_median$/ { name = $1; sub(/_median$/, "", name); t[name] = ns($0); next }
  $1 ~ /^BM_/ && $1 !~ /_(mean|stddev|cv)$/ && /time\/sample=/ { if (!($1 in t)) t[$1] = ns($0) }
  END {
    plainShaper = t["BM_WaveshaperPlainLoop/" block]
    plainEnv = t["BM_ShapeEnvelopePlainLoop/" block]
    printf "%-40s %10s %10s %7s\n", "module (block " block ")", "ns/sample", "plain", "ratio"
    row("ZR_Waveshaper2", t["BM_Waveshaper2Process/" block], plainShaper)
    row("ZR_Waveshaper2ST (per channel)", t["BM_Waveshaper2STProcessPerChannel/" block], plainShaper)
    split("0 1 2 3 8", exps, " ")
    for (i = 1; i <= 5; i++) {
      e = exps[i]
      row("ZR_ShapeOsc2 " (2 ^ e) " sub-step(s)", t["BM_ShapeOsc2Process/block:" block "/oversampling:" e "/variant:0"],
          t["BM_ShapeOscPlainLoop/block:" block "/oversampling:" e])
    }
    row("ZR_ShapeOsc2 phase modulation", t["BM_ShapeOsc2Process/block:" block "/oversampling:0/variant:1"],
        t["BM_ShapeOscPlainLoopPhaseModulated/block:" block "/oversampling:0"])
    row("ZR_ShapeOsc2 feedback", t["BM_ShapeOsc2Process/block:" block "/oversampling:0/variant:2"],
        t["BM_ShapeOscPlainLoopWithFeedback/block:" block "/oversampling:0"])
    row("ZR_ShapeOsc (4096 entries) 1 sub-step", t["BM_ShapeOscProcess/block:" block "/oversampling:0"],
        t["BM_ShapeOscPlainLoop4096/block:" block "/oversampling:0"])
    alone("phase accumulator alone (the bound)", t["BM_PhaseAccumulatorAlone/" block])
    alone("ZR_ShapeOsc2 engine alone (no module)", t["BM_WaveRunAlone/" block])
    row("ZR_ShapeEnv3 running", t["BM_ShapeEnv3Process/block:" block "/state:0"], plainEnv)
    row("ZR_ShapeEnv3 holding", t["BM_ShapeEnv3Process/block:" block "/state:1"], plainEnv)
    row("ZR_ShapeEnv3 gliding", t["BM_ShapeEnv3Process/block:" block "/state:2"], plainEnv)
  }
  function alone(label, ours) {
    if (ours == "") { printf "%-40s %10s\n", label, "(missing)"; return }
    printf "%-40s %10.2f %10s %7s\n", label, ours, "-", "-"
  }
  function row(label, ours, plain) {
    if (ours == "" || plain == "" || plain == 0) { printf "%-40s %10s\n", label, "(missing)"; return }
    printf "%-40s %10.2f %10.2f %7.2f\n", label, ours, plain, ours / plain
  }'
