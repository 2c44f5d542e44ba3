# Shared by the project's scripts: package installation and the build.
# Sourced, not run.

PRIV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Debian packages the build, the tests and the desktop host need.
PRIV_BUILD_PACKAGES=(cmake ninja-build g++ ccache pkg-config qt6-base-dev qt6-base-dev-tools
  libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev libpq-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev libx11-dev
  fonts-wqy-microhei qt6-translations-l10n)
# dpkg-dev and file: dpkg-shlibdeps and the ELF detection with which cpack works
# out the Debian packages' dependencies; lintian checks the packages (and
# brings man-db, with which the packaging test reads privhost's manual page).
PRIV_TEST_PACKAGES=(postgresql sqlite3 xvfb xauth dpkg-dev file lintian)
# scripts/lint: the formatter, clang-tidy and clazy (clazy-standalone); on
# Debian 12 all three are built on LLVM 14.
PRIV_LINT_PACKAGES=(clang-format clang-tidy clazy)

priv_install_missing() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# The compiler cache is shared by every clone on the machine: paths below the
# clone's root are hashed relative to it and the build folder's own path is
# left out of the debug information's hash, so a fresh clone of the same
# sources compiles from the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PRIV_ROOT}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}

# priv_configure BUILD_DIR [extra cmake args...]
priv_configure() {
  local dir=$1
  shift
  local launcher=()
  # A compiler cache, where one is installed, makes rebuilds of other trees cheap.
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$PRIV_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
}

# priv_build BUILD_DIR [extra cmake args...]
priv_build() {
  priv_configure "$@"
  cmake --build "$1" -j"$(nproc)"
}
