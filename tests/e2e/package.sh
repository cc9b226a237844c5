#!/usr/bin/env bash
# Builds the .deb from BUILD_DIR, installs it on this machine, starts the installed program and
# finds its window, then removes the package. Needs root; skipped (77) otherwise, and when a
# sitepass package is already installed, which this test must not replace.
# Usage: package.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
if dpkg-query -W -f='${Status}' sitepass 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIP: a sitepass package is installed already"; exit 77
fi

out=$(mktemp -d)
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/sitepass_*.deb)
dpkg -i "$deb" >/dev/null
trap 'kill $app_pid 2>/dev/null || true; dpkg -r sitepass >/dev/null; rm -rf "$out"' EXIT

[ -x /usr/bin/sitepass ] || fail "the package did not install /usr/bin/sitepass"
desktop-file-validate /usr/share/applications/org.sitepass.sitepass.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.sitepass.sitepass.metainfo.xml >/dev/null

app_pid=""
start_app /usr/bin/sitepass
trap 'kill $app_pid 2>/dev/null || true; dpkg -r sitepass >/dev/null; rm -rf "$out"' EXIT
echo "1 passed, 0 failed"
