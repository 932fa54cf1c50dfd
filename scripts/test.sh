#!/usr/bin/env bash
# Builds and runs every test twice: a plain optimised build (with the real-time allocation
# and lock checks, and the install and Debian package tests, label `package`) and a clang AddressSanitizer + UndefinedBehaviorSanitizer build; then the
# fuzz smoke run, a reduced stress run of the plain build under valgrind, and the two-thread
# module test in a clang ThreadSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== plain build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" -LE valgrind

echo "== sanitized build (clang, ASan + UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZR_SANITIZE=ON -DZR_BUILD_BENCH=OFF -DZR_BUILD_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz smoke run (libFuzzer, about 100 000 executions per target; long runs: fuzz/run-long.sh)"
mapfile -t fuzz_targets < build-asan/fuzz/targets.txt
for target in "${fuzz_targets[@]}"; do
  scratch=build-asan/fuzz/smoke/$target
  rm -rf "$scratch" && mkdir -p "$scratch" build-asan/fuzz/findings
  dictionary=()
  [ -f "fuzz/$target.dict" ] && dictionary=("-dict=fuzz/$target.dict")
  # The scratch corpus comes first: new inputs go there, the committed corpus is only read.
  build-asan/fuzz/zr_fuzz_$target -runs=100000 -seed=1 -timeout=5 -print_final_stats=1 \
    -artifact_prefix=build-asan/fuzz/findings/$target- "${dictionary[@]}" "$scratch" "fuzz/corpus/$target" \
    >"$scratch.log" 2>&1 || { tail -40 "$scratch.log"; exit 1; }
  echo "$target: $(grep -o 'number_of_executed_units: *[0-9]*' "$scratch.log" | grep -o '[0-9]*$') executions, no finding"
done

echo "== valgrind memcheck (plain build, reduced stress run: ZR_STRESS_REDUCED=1)"
ctest --test-dir build --output-on-failure -L valgrind

echo "== ThreadSanitizer build (clang): audio-side and GUI-side modules on two threads at once"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DZR_SANITIZE=ON \
  -DZR_SANITIZER_SET=thread -DZR_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-tsan -j "$jobs" --target zr_shapes zr_stress_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/zr_stress_tests --gtest_filter='ConcurrentSides.*'
