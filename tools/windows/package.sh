#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 sitepass developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# package.sh BUILD_DIR VERSION: the stripped programs with the README and the licence, as a zip
# and as an NSIS installer, in BUILD_DIR/dist.
set -euo pipefail
build=$(cd "$1" && pwd) version=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
files=$build/dist/sitepass-$version-windows-x64
rm -rf "$build/dist" && mkdir -p "$files"
x86_64-w64-mingw32-strip -o "$files/sitepass.exe" "$build/sitepass.exe"
x86_64-w64-mingw32-strip -o "$files/sitepass-cli.exe" "$build/sitepass-cli.exe"
cp "$top/README.md" "$files/README.md"
cp /usr/share/common-licenses/GPL-3 "$files/LICENSE.txt"
(cd "$build/dist" && zip -qr9 -X "sitepass-$version-windows-x64.zip" "$(basename "$files")")
makensis -V2 -DVERSION="$version" -DFILES="$files" \
    -DOUTFILE="$build/dist/sitepass-setup-$version.exe" "$here/sitepass.nsi"
ls -l "$build/dist"
