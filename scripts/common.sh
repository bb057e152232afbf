# Shared by run.sh and test.sh: installs the Debian packages a build needs, and configures and
# builds one build folder. ccache is used when it is installed, never required.

# What building the libraries, the command line and the desktop application needs (run.sh).
SCOREWELL_BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libicu-dev libplist-dev libasound2-dev libfluidsynth-dev
  qt6-base-dev
)
# What the tests, the benchmarks and the fuzzers need on top (test.sh).
SCOREWELL_TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev timgm6mb-soundfont jq
  clang libclang-rt-14-dev
)

# install_missing_packages PACKAGE...
install_missing_packages() {
  local missing=()
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# configure DIR [cmake options...]
configure() {
  local dir="$1"
  shift
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
}

# compile DIR [TARGET...]   (every target of the folder when none is named)
compile() {
  local dir="$1"
  shift
  local targets=()
  for target in "$@"; do
    targets+=(--target "$target")
  done
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
}

# Seconds since the script started, for the step times it reports.
step_started=$SECONDS
report_step() {
  echo "== $1: $((SECONDS - step_started)) s (total $SECONDS s)"
  step_started=$SECONDS
}
