#!/usr/bin/env bash
# Builds the .deb from BUILD_DIR and checks it without installing it on this machine: its
# contents and Depends, that apt can resolve its dependencies, that lintian finds no error, and
# that the packaged programs start from an extracted tree. Usage: package.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/lib.sh"

out=$(mktemp -d)
remove_at_exit+=("$out")
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/sitepass_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in usr/bin/sitepass usr/bin/sitepass-cli \
    usr/share/man/man1/sitepass.1.gz usr/share/man/man1/sitepass-cli.1.gz \
    usr/share/man/zh_CN/man1/sitepass.1.gz usr/share/man/zh_CN/man1/sitepass-cli.1.gz \
    usr/share/bash-completion/completions/sitepass-cli \
    usr/share/doc/sitepass/copyright usr/share/doc/sitepass/changelog.gz \
    usr/share/applications/org.sitepass.sitepass.desktop \
    usr/share/metainfo/org.sitepass.sitepass.metainfo.xml; do
    grep -qxF "./$file" <<<"$contents" || fail "the package lacks /$file"
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-noto-cjk qt6-translations-l10n libqt6widgets6 libmariadb3 libpq5; do
    [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

apt-get install --simulate "$deb" >"$out/apt.log" 2>&1 || { cat "$out/apt.log" >&2; fail "apt cannot resolve the package's dependencies"; }
lintian --fail-on error "$deb" >"$out/lintian.log" 2>&1 || { cat "$out/lintian.log" >&2; fail "lintian reports an error"; }

tree=$out/tree
dpkg-deb -x "$deb" "$tree"
[ "$("$tree/usr/bin/sitepass-cli" --version)" = "sitepass-cli 1.0" ] || fail "the packaged sitepass-cli does not run"
start_app "$tree/usr/bin/sitepass"
desktop-file-validate "$tree/usr/share/applications/org.sitepass.sitepass.desktop"
echo "1 passed, 0 failed"
