# Shared by run.sh and test.sh: installs the Debian packages the build needs and builds.
SCOREWELL_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libicu-dev libplist-dev
  libasound2-dev libfluidsynth-dev timgm6mb-soundfont
  qt6-base-dev
)

install_missing_packages() {
  local missing=()
  for package in "${SCOREWELL_PACKAGES[@]}"; do
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

# build DIR [cmake options...]
build() {
  local dir="$1"
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
