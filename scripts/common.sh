# Shared by the scripts: installs what is missing and builds.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite qt6-translations-l10n libgl-dev libssl-dev
    openssl fonts-wqy-microhei xvfb xauth wrk
    clang-14 libclang-rt-14-dev
    librsvg2-bin dbus-daemon
)

# apt-get in a session of its own: a script stopped (by a deadline, say) while dpkg works waits
# for dpkg to finish rather than leave it half done. The lock wait has a deadline.
APT_GET=(setsid --wait env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)

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
    local apt=("${APT_GET[@]}")
    "${sudo[@]}" "${apt[@]}" update -q
    "${sudo[@]}" "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
}

# What scripts/package builds the Debian package with (dpkg-shlibdeps, file) and what
# scripts/package-check checks it with (dbus-daemon gives the program its session bus).
PACKAGING_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream strace xdotool iproute2 procps
    dbus-daemon)

install_missing_packages() {
    install_packages "${PACKAGES[@]}"
}

# configure BUILD_DIR [extra cmake arguments...]
configure() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
    configure "$@"
    cmake --build "$1" --parallel "$(nproc)"
}

# local_service_options ORIGIN CA_FILE: prints, one a line, the CMake options that point the
# program at the local stand-in service at ORIGIN and compile in the authority CA_FILE.
local_service_options() {
    printf '%s\n' -DSHOULU_EXTRA_CA_FILE="$2" \
        -DSHOULU_QUERY_BASE_URL="$1" -DSHOULU_VERSION_BASE_URL="$1" -DSHOULU_SITE_BASE_URL="$1" \
        -DSHOULU_STUDIO_URL="$1/studio" -DSHOULU_COMPANY_URL="$1/company"
}

# wait_for SECONDS COMMAND...: polls COMMAND every 0.2 s until it succeeds; when time runs out,
# says what it waited for and fails.
wait_for() {
    local limit=$1 deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        if [ $SECONDS -ge $deadline ]; then
            echo "waited ${limit} s in vain for: $*" >&2
            return 1
        fi
        sleep 0.2
    done
}

# none_alive PID...: whether none of these processes runs any more.
none_alive() {
    local pid
    for pid in "$@"; do
        if kill -0 "$pid" 2>/dev/null; then
            return 1
        fi
    done
}

# exit_status SECONDS PID: the exit status of PID, a child of this shell, once it has ended;
# 124 when it is still running after SECONDS.
exit_status() {
    wait_for "$1" none_alive "$2" || return 124
    wait "$2"
}

# end_processes PID...: ends those of them still running, killing those that outlast 10 s, and
# reaps this shell's children among them.
end_processes() {
    [ $# -gt 0 ] || return 0
    kill "$@" 2>/dev/null || true
    wait_for 10 none_alive "$@" 2>/dev/null || kill -KILL "$@" 2>/dev/null || true
    wait "$@" 2>/dev/null || true
}

# start_xvfb DIR: starts a virtual display (its number kept in DIR) as DISPLAY; XVFB_PID is its
# process.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
    XVFB_PID=$!
    wait_for 20 test -s "$1/display" || {
        echo "Xvfb did not start" >&2
        return 1
    }
    DISPLAY=":$(head -n 1 "$1/display")"
    export DISPLAY
}

# find_window TITLE: a visible window with exactly that title, if there is one.
find_window() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
window_shown() {
    [ -n "$(find_window "$1")" ]
}

# port_in_use PORT: whether something on this machine listens there.
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# make_certificates DIR: the local authority and server certificate (scripts/make-certificates).
make_certificates() {
    "$ROOT/scripts/make-certificates" "$1"
}

# make_setup NAMES STAGE REMOVE_LIST OUTFILE: the Windows setup (packaging/windows/setup.nsi) of
# the staged program folder STAGE, named and versioned by the setup-names file NAMES, its
# uninstaller removing what the RemoveFiles macro in REMOVE_LIST lists; makensis's log is
# OUTFILE.log.
make_setup() {
    rm -f "$4"
    makensis -V2 -INPUTCHARSET UTF8 -DNAMES="$1" -DSTAGE="$2" -DREMOVE_LIST="$3" -DOUTFILE="$4" \
        "$ROOT/packaging/windows/setup.nsi" >"$4.log" 2>&1 || {
        cat "$4.log" >&2
        return 1
    }
}
