# Shared by the scripts: installs what a fresh Debian 12
# machine lacks and configures/builds a tree. Source it; do not run it.

PROJECT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PACKAGES=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev qt6-base-dev srecord
          libgl-dev xvfb xauth python3
          ccache  # the three builds of the test command reuse what earlier runs compiled
          dpkg-dev file desktop-file-utils man-db)  # the Debian package and its check

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [cmake args...]
# BUILD_TARGET, when set, builds only that target.
# Uses the compiler cache when one is installed: paths are taken relative to
# the project, so a fresh clone elsewhere hits what an earlier build stored.
configure_and_build() {
  local dir=$1
  shift
  local cache=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PROJECT_DIR" CCACHE_NOHASHDIR=1
    cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$PROJECT_DIR" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
}
