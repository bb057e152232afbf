#!/usr/bin/env bash
# Installs what is missing, then builds each configuration once and runs its checks:
#   build-release   everything (libraries, command line, tests, benchmarks), every test
#   build-sanitize  libraries and tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   build-tsan      the playback, editing and batch-collection tests under ThreadSanitizer
#   build-fuzz      the libFuzzer targets (clang), each run for FUZZ_SECONDS (15) on its seeds
# The checking builds keep line tables only (-g1). Each step prints its time.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
install_missing_packages "${SCOREWELL_BUILD_PACKAGES[@]}" "${SCOREWELL_TEST_PACKAGES[@]}"
jobs="$(nproc)"
report_step "packages"

configure build-release -DCMAKE_BUILD_TYPE=Release -DSCOREWELL_TESTS=ON -DSCOREWELL_BENCH=ON
compile build-release
report_step "build-release built"
ctest --test-dir build-release --output-on-failure -j "$jobs"
report_step "build-release tests"

configure build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DSCOREWELL_SANITIZE=ON
compile build-sanitize
report_step "build-sanitize built"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
report_step "build-sanitize tests"

configure build-tsan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DSCOREWELL_TSAN=ON
compile build-tsan test_playback test_editing test_library_batch
report_step "build-tsan built"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs"
report_step "build-tsan tests"

configure build-fuzz -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DSCOREWELL_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++
compile build-fuzz fuzzers
report_step "build-fuzz built"
fuzz/run_fuzzers.sh build-fuzz "${FUZZ_SECONDS:-15}"
report_step "fuzzing"
echo "All checks passed in $SECONDS s."
