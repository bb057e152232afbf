#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds the core again under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs its tests there too.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
install_missing_packages

build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$(nproc)"

build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSCOREWELL_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
