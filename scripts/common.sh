# Shared by scripts/test and scripts/run: installs what is missing and builds.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite qt6-translations-l10n libgl-dev libssl-dev
    openssl fonts-wqy-microhei xvfb xauth wrk
    clang-14 libclang-rt-14-dev
)

# install_packages PKG...: installs those of them that are missing. Waits for another apt run
# to finish rather than failing.
install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
    "${sudo[@]}" "${apt[@]}" update -q
    "${sudo[@]}" "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
}

install_missing_packages() {
    install_packages "${PACKAGES[@]}"
}

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}

# port_in_use PORT: whether something on this machine listens there.
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# make_certificates DIR: the local authority and server certificate (scripts/make-certificates).
make_certificates() {
    "$ROOT/scripts/make-certificates" "$1"
}
