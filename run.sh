#!/usr/bin/env bash
# Installs what is missing, builds the command line (nothing else: no tests, no benchmarks),
# and shows the information and diagnosis of the bundled example files, or of the files and
# folders given.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
install_missing_packages "${SCOREWELL_BUILD_PACKAGES[@]}"
configure build-release -DCMAKE_BUILD_TYPE=Release -DSCOREWELL_TESTS=OFF -DSCOREWELL_BENCH=OFF
compile build-release scorewell-cli
if [ $# -eq 0 ]; then
  set -- examples
fi
exec ./build-release/cli/scorewell-cli info "$@"
