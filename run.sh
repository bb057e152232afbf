#!/usr/bin/env bash
# Installs what is missing, builds the programs it runs (nothing else: no tests, no
# benchmarks), installs the desktop entry of scorewell for the user (so that .mid and .kar
# files open in it), and shows the information and diagnosis of the bundled example files,
# or of the files and folders given: in the desktop application's browser when a display is
# present, else printed by scorewell-cli.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
install_missing_packages "${SCOREWELL_BUILD_PACKAGES[@]}"
configure build-release -DCMAKE_BUILD_TYPE=Release -DSCOREWELL_TESTS=OFF -DSCOREWELL_BENCH=OFF
compile build-release scorewell-cli scorewell
# The desktop application opens .mid and .kar files from the file manager.
scripts/install_desktop.sh build-release
if [ $# -eq 0 ]; then
  set -- examples
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build-release/app/scorewell ]; then
  exec ./build-release/app/scorewell --browse "$@"
fi
exec ./build-release/cli/scorewell-cli info "$@"
