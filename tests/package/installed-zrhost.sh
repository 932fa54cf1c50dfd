#!/usr/bin/env bash
# Installs the build into a scratch prefix with `cmake --install` and runs the installed zrhost
# without --bundle, --descriptions or --patch: it must find the installed bundle, descriptions
# and demo patch beside itself, not the build tree's.
# Usage: installed-zrhost.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zr-installed.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "cmake --install"; }
for file in bin/zrhost lib/zr-shapes/zr_shapes.so lib/zr-shapes/zr_shapes.json share/zr-shapes/examples/shape-demo.json \
            share/doc/zr-shapes/modules.md lib/lv2/zr-shapes.lv2/manifest.ttl lib/lv2/zr-shapes.lv2/zr-shapes.ttl \
            lib/lv2/zr-shapes.lv2/presets.ttl lib/lv2/zr-shapes.lv2/zr-shapes.so; do
  [ -f "$prefix/$file" ] || fail "the install has no $file"
done

zrhost=$prefix/bin/zrhost
"$zrhost" --help | grep -qF "$prefix/lib/zr-shapes/zr_shapes.so" || fail "the default bundle is not the installed one"
"$zrhost" demo --help | grep -qF "$prefix/share/zr-shapes/examples/shape-demo.json" || fail "the default demo patch is not the installed one"
"$zrhost" list >"$scratch/list.txt" || fail "zrhost list: $(tail -1 "$scratch/list.txt")"
grep -q "modules, 0 mismatch(es)" "$scratch/list.txt" || fail "zrhost list: $(tail -1 "$scratch/list.txt")"
(cd "$scratch" && "$zrhost" demo -o "$scratch/demo" >/dev/null) || fail "zrhost demo"
for file in shape-demo.wav shape-demo.png shape-demo-shape.png; do
  [ -s "$scratch/demo/$file" ] || fail "zrhost demo wrote no $file"
done
# The installed LV2 bundle, as a host finds it under the prefix.
plugins=$(LV2_PATH=$prefix/lib/lv2 lv2ls 2>/dev/null | grep -c '^urn:zr-shapes:lv2:')
[ "$plugins" = 4 ] || fail "lv2ls finds $plugins of the 4 installed plug-ins"
echo "installed zrhost: list and demo run from $prefix; lv2ls finds the installed plug-ins"
