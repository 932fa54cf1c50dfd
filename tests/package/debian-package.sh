#!/usr/bin/env bash
# Builds the Debian package with cpack in a scratch folder, checks its contents and its
# computed dependencies, unpacks it into a scratch root with dpkg-deb -x and runs the
# unpacked zrhost from there.
# Usage: debian-package.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zr-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack"; }
packages=("$scratch"/zr-shapes_*.deb)
[ -f "${packages[0]}" ] || fail "cpack made no zr-shapes_*.deb"
deb=${packages[0]}

dpkg-deb -c "$deb" >"$scratch/contents.txt"
for entry in ./usr/bin/zrhost ./usr/lib/zr-shapes/zr_shapes.so ./usr/lib/zr-shapes/zr_shapes.json \
             ./usr/share/zr-shapes/examples/shape-demo.json ./usr/share/doc/zr-shapes/modules.md \
             ./usr/lib/lv2/zr-shapes.lv2/manifest.ttl ./usr/lib/lv2/zr-shapes.lv2/zr-shapes.so; do
  grep -q " $entry\$" "$scratch/contents.txt" || fail "the package has no $entry"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsndfile1 libcairo2 libfontconfig1; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/zrhost" list >"$scratch/list.txt" || fail "unpacked zrhost list: $(tail -1 "$scratch/list.txt")"
grep -q "modules, 0 mismatch(es)" "$scratch/list.txt" || fail "unpacked zrhost list: $(tail -1 "$scratch/list.txt")"
"$root/usr/bin/zrhost" --help | grep -qF "$root/usr/lib/zr-shapes/zr_shapes.so" || fail "the unpacked zrhost does not use its own bundle"
plugins=$(LV2_PATH=$root/usr/lib/lv2 lv2ls 2>/dev/null | grep -c '^urn:zr-shapes:lv2:')
[ "$plugins" = 4 ] || fail "lv2ls finds $plugins of the 4 unpacked plug-ins"
echo "$(basename "$deb"): contents, Depends ($depends), the unpacked zrhost and plug-ins checked"
