#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 sitepass developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# build-qt.sh: prints the prefix of a static Qt for x86_64-w64-mingw32, built from Debian's own
# qtbase source at the host Qt's version and cached under ~/.cache, so only the first run pays.
# The host Qt (moc, uic, rcc) drives the cross build, which is why the versions must match.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
upstream=${version%%-*}; upstream=${upstream%%+*}
# Only what sitepass uses: Core, Gui, Widgets and Test, the windows platform and the
# windowsvista style, with Qt's own copies of pcre2, zlib, libpng, freetype and harfbuzz.
# Debian's source drops 3rdparty/wintab (hence no tablet events). OpenGL stays: 6.4's windows
# platform plugin does not build without it, and it only loads the system's opengl32.dll.
options=(
    -DCMAKE_BUILD_TYPE=Release
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++
    -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_openssl=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
    -DFEATURE_vulkan=OFF -DFEATURE_accessibility=ON
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d1_1=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
    -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_sql_sqlite=OFF -DFEATURE_system_sqlite=OFF
)
# The options and the toolchain are the key: changing them builds a new Qt beside the old one.
key=$( (printf '%s\n' "${options[@]}"; cat "$here/mingw-toolchain.cmake") | sha256sum | cut -c1-12)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/sitepass/qt-$version-mingw64-$key"
prefix="$cache/install"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

# The build tree is kept until the install succeeds, so an interrupted build resumes where it
# stopped; it is keyed by the source version only, as a changed option reconfigures it in place.
work="${XDG_CACHE_HOME:-$HOME/.cache}/sitepass/qt-$version-work"
rm -rf "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial"

# A deb-src list of our own, made from the machine's deb lines and handed to apt by option:
# the machine's sources stay as they are.
srclist="$work/apt/sources.list"
mkdir -p "$work/apt/parts"
for f in /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then sed 's/^Types:.*/Types: deb-src/' "$f"; echo; fi
done >"$work/apt/parts/deb-src.sources"
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list
fi >"$srclist"
apt_opts=(
    -o "Dir::Etc::SourceList=$srclist" -o "Dir::Etc::SourceParts=$work/apt/parts"
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache::Archives=$work/apt/archives"
    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Get::List-Cleanup=0"
)
if [ ! -f "$work/src/.unpacked" ]; then
    echo "build-qt: fetching Debian's qt6-base $version source" >&2
    rm -rf "$work/src"
    apt-get "${apt_opts[@]}" -q update >&2
    (cd "$work" && apt-get "${apt_opts[@]}" -q --download-only source "qt6-base=$version" >&2)
    (cd "$work" && dpkg-source --no-check -x qt6-base_*.dsc src >&2)
    touch "$work/src/.unpacked"
fi

# The installed qt.toolchain.cmake names this file by absolute path, so it lives in the cache.
mkdir -p "$cache"
cp "$here/mingw-toolchain.cmake" "$cache/mingw-toolchain.cmake"

echo "build-qt: configuring static Qt $upstream for Windows (x86_64-w64-mingw32)" >&2
cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${options[@]}" >&2

echo "build-qt: building (about 40 minutes on two cores, once)" >&2
cmake --build "$work/build" >&2
cmake --install "$work/build" >&2
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
