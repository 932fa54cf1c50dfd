#!/bin/bash
# lv2ls, lv2info and lv2_validate, the LV2 project's own tools, on the built bundle alone:
# every plug-in is listed, each one's ports and parameters are described without a warning,
# and the Turtle holds against the LV2 vocabularies.
#   lv2-tools.sh BUNDLE_PARENT
# ZR_LV2_TOOL_ENVIRONMENT, when set, holds assignments for the tools alone (a sanitized build
# preloads its runtime there).
set -u
export LV2_PATH="$1"
read -r -a tool_environment <<<"${ZR_LV2_TOOL_ENVIRONMENT:-}"
tool() { env "${tool_environment[@]}" "$@"; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# uri | ports | port symbols that must be described | shape parameters
expected=(
  "urn:zr-shapes:lv2:shaper|7|control notify in out interpolation range_low range_high|shape"
  "urn:zr-shapes:lv2:shaper-stereo|9|in_left in_right out_left out_right interpolation range_low range_high|shape"
  "urn:zr-shapes:lv2:envelope|12|in out interpolation duration sustain_node clip gate beat_retrigger duration_unit duration_beats|envelopeShape"
  "urn:zr-shapes:lv2:synth|11|out wave_interpolation remove_dc oversampling envelope_interpolation duration sustain_node clip level|waveShape envelopeShape"
)

listed=$(tool lv2ls 2>"$scratch/lv2ls.err" | sort)
[ -s "$scratch/lv2ls.err" ] && fail "lv2ls warns: $(cat "$scratch/lv2ls.err")"
wanted=$(for line in "${expected[@]}"; do echo "${line%%|*}"; done | sort)
[ "$listed" = "$wanted" ] || fail "lv2ls lists '$listed', expected '$wanted'"

# The lines of one property's values in a description lilv wrote: from the property to the ';'.
values_of() { awk -v property="$1" '$0 ~ property {on = 1} on {print} on && /;$/ {on = 0}' "$2"; }

for line in "${expected[@]}"; do
  IFS='|' read -r uri ports symbols shapes <<<"$line"
  warnings=$(tool lv2info "$uri" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$uri: lv2info warns: $warnings"
  out=$(tool lv2info "$uri" 2>/dev/null)
  count=$(grep -c '^	Port [0-9]*:' <<<"$out")
  [ "$count" = "$ports" ] || fail "$uri: $count ports, expected $ports"
  for symbol in $symbols; do
    grep -q "Symbol: *$symbol\$" <<<"$out" || fail "$uri: no port $symbol"
  done
  grep -q 'Presets:' <<<"$out" || fail "$uri: no presets"
  # Each shape is a parameter: its text writable and readable, its file writable.
  rm -f "$scratch/description.ttl"
  tool lv2info -p "$scratch/description.ttl" "$uri" >/dev/null 2>&1
  writable=$(values_of 'patch#writable' "$scratch/description.ttl")
  readable=$(values_of 'patch#readable' "$scratch/description.ttl")
  for shape in $shapes; do
    grep -q "<urn:zr-shapes:lv2:$shape>" <<<"$writable" || fail "$uri: $shape is not writable"
    grep -q "<urn:zr-shapes:lv2:${shape}File>" <<<"$writable" || fail "$uri: ${shape}File is not writable"
    grep -q "<urn:zr-shapes:lv2:$shape>" <<<"$readable" || fail "$uri: $shape is not readable"
  done
done

validation=$(lv2_validate "$LV2_PATH"/zr-shapes.lv2/*.ttl 2>&1)
grep -q 'Found 0 errors' <<<"$validation" || fail "lv2_validate: $validation"

[ "$failures" = 0 ] && echo "lv2ls, lv2info, lv2_validate: every plug-in described without warnings"
exit "$failures"
