#!/usr/bin/env bash
# Qt 6 for 64-bit Windows, cross-built once from Debian's own qt6-base source with MinGW-w64
# and cached outside the checkout, keyed by the Qt version, the configure options and the
# toolchain file. Sourced by scripts/windows and .ci/run; run directly, it only builds Qt.
# shellcheck shell=bash

QT_WIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QT_WIN_CACHE_ROOT="${SHOULU_CACHE_DIR:-/var/cache/shoulu}"
QT_WIN_TOOLCHAIN="$QT_WIN_ROOT/cmake/mingw-w64-x86_64.cmake"
QT_WIN_PACKAGES=(g++-mingw-w64-x86-64-posix dpkg-dev cmake ninja-build qt6-base-dev qt6-base-dev-tools)

# The host Qt (Debian's) runs moc, rcc and uic; the target Qt must be the same source version.
QT_WIN_DEB_VERSION="$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || true)"
QT_WIN_DEB_VERSION="${QT_WIN_DEB_VERSION:-6.4.2+dfsg-10}"
QT_WIN_VERSION="${QT_WIN_DEB_VERSION%%+*}"

# Schannel instead of OpenSSL (nothing extra to ship); tablet events off because Debian's
# source drops a third-party header; OpenGL stays on (dynamic) since the 6.4.2 Windows
# platform plugin does not compile without it; bundled third-party libraries; unused modules off.
QT_WIN_OPTIONS=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DFEATURE_openssl=OFF
    -DFEATURE_schannel=ON
    -DFEATURE_tabletevent=OFF
    -DFEATURE_system_zlib=OFF
    -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF
    -DFEATURE_system_png=OFF
    -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_jpeg=OFF
)

qt_win_key() {
    { printf '%s\n' "$QT_WIN_DEB_VERSION" "${QT_WIN_OPTIONS[@]}"; cat "$QT_WIN_TOOLCHAIN"; } |
        sha256sum | cut -c1-12
}

QT_WIN_KEY="$(qt_win_key)"
QT_WIN_PREFIX="$QT_WIN_CACHE_ROOT/qt6-$QT_WIN_VERSION-mingw64-$QT_WIN_KEY"
QT_WIN_WORK="$QT_WIN_CACHE_ROOT/qt6-$QT_WIN_VERSION-mingw64-$QT_WIN_KEY.work"
QT_WIN_LOG="$QT_WIN_WORK/build.log"

qt_win_present() {
    [ -f "$QT_WIN_PREFIX/.complete" ] && [ -x "$QT_WIN_PREFIX/bin/qt-cmake" ]
}

# Needs scripts/common.sh sourced first.
qt_win_install_packages() {
    install_packages "${QT_WIN_PACKAGES[@]}" "$@"
}

# Fetches the source through a private apt configuration: its own sources list (deb-src
# only), lists and cache, so the machine's apt setup is left as it is.
qt_win_fetch_source() {
    local apt="$QT_WIN_WORK/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    cat >"$apt/sources.list" <<SOURCES
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
SOURCES
    local opts=(
        -o "Dir::Etc::SourceList=$apt/sources.list"
        -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists"
        -o "Dir::Cache=$apt/cache"
        -o "Dir::Cache::pkgcache="
        -o "Dir::Cache::srcpkgcache="
    )
    apt-get "${opts[@]}" update -q
    mkdir -p "$QT_WIN_WORK/src"
    (
        cd "$QT_WIN_WORK/src"
        apt-get "${opts[@]}" source -q "qt6-base=$QT_WIN_DEB_VERSION" ||
            apt-get "${opts[@]}" source -q qt6-base
    )
}

qt_win_source_dir() {
    find "$QT_WIN_WORK/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1
}

qt_win_build() {
    mkdir -p "$QT_WIN_WORK"
    local src
    src="$(qt_win_source_dir 2>/dev/null || true)"
    if [ -z "$src" ] || [ ! -f "$src/CMakeLists.txt" ]; then
        rm -rf "$QT_WIN_WORK/src"
        qt_win_fetch_source
        src="$(qt_win_source_dir)"
    fi
    local build="$QT_WIN_WORK/build"
    mkdir -p "$build"
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$src" -B "$build" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$QT_WIN_TOOLCHAIN" \
            -DCMAKE_INSTALL_PREFIX="$QT_WIN_PREFIX" \
            "${QT_WIN_OPTIONS[@]}"
    fi
    # Niced: the machine is shared with other builds.
    nice -n 10 cmake --build "$build" --parallel "$(nproc)"
    rm -rf "$QT_WIN_PREFIX"
    cmake --install "$build"
    printf '%s\n' "$QT_WIN_DEB_VERSION" "${QT_WIN_OPTIONS[@]}" >"$QT_WIN_PREFIX/.complete"
}

# Builds Qt unless the cache has it; sets QT_WIN_PREFIX. The build goes to a log file and
# resumes where it stopped if it was interrupted.
qt_win_ensure() {
    if qt_win_present; then
        echo "Qt for Windows: $QT_WIN_PREFIX (cached)"
        return 0
    fi
    qt_win_install_packages
    mkdir -p "$QT_WIN_WORK"
    echo "Building Qt $QT_WIN_VERSION for Windows into $QT_WIN_PREFIX (30-40 minutes on 2 cores)"
    echo "Log: $QT_WIN_LOG"
    local started=$SECONDS
    (
        # One build of a given key at a time.
        flock 9
        if qt_win_present; then
            exit 0
        fi
        set -euo pipefail
        qt_win_build
    ) 9>"$QT_WIN_WORK/lock" >>"$QT_WIN_LOG" 2>&1 || {
        echo "Building Qt for Windows failed; the end of $QT_WIN_LOG:" >&2
        tail -n 40 "$QT_WIN_LOG" >&2
        return 1
    }
    echo "Qt for Windows built in $(((SECONDS - started) / 60)) min"
    # The installed tree is all later runs need.
    rm -rf "$QT_WIN_WORK/build" "$QT_WIN_WORK/src" "$QT_WIN_WORK/apt"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    qt_win_ensure
fi
