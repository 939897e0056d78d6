# Shared by the set-up scripts: installs missing Debian packages, configures and builds.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${ZELVAN_BUILD_DIR:-$ROOT/build}"

# What building the programs needs; the window on its simulated board needs nothing more.
DEMO_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev)
# The tests need the rest: the Qt SQL drivers (chip records, serial number counters), the
# PostgreSQL server their tests start, help2man for the man pages the build makes.
BUILD_PACKAGES=("${DEMO_PACKAGES[@]}" libqt6sql6-sqlite libqt6sql6-psql postgresql help2man)
# The Debian package: dpkg-shlibdeps (dpkg-dev) finds its dependencies, on the binaries that
# "file" recognises; desktop-file-validate checks its desktop entry.
PACKAGE_PACKAGES=(dpkg-dev file desktop-file-utils)
PACKAGE_DIR="$BUILD_DIR/package"

# Installs the packages that are not installed yet (with sudo when not root).
ensure_packages() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds everything, or only the targets given ("--target zelvan-programmer").
configure_and_build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD_DIR" "$@"
}
