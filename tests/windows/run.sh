#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 sitepass developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# The Windows programs proven under Wine, on the X server this runs under (./dev windows starts
# it under xvfb-run), in a Wine prefix of its own that is removed on every exit path: the unit
# and window tests, sitepass-cli.exe as scripts call it, and the window with its clipboard.
# Usage: run.sh BUILD_DIR DIST_DIR SCREENSHOT
set -uo pipefail
build=$1 dist=$2 shot=$3
here=$(cd "$(dirname "$0")" && pwd)
passed=0 failed=0
check() { # check NAME COMMAND...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEQT_FORCE_STDERR_LOGGING=1
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
# One wineserver for the whole run, started with the display: one started without it would
# leave later windows unable to open.
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }

# 1. The unit and window tests, cross-built (ctest runs each through wine).
check "the unit and window tests pass under Wine" \
    ctest --test-dir "$build" --output-on-failure --timeout 300

# 2. sitepass-cli.exe as a script calls it.
cli=$dist/sitepass-cli.exe
run() { out=$(wine "$cli" "$@" 2>"$work/err"; echo "rc=$?"); rc=${out##*rc=}; out=${out%rc=*}; err=$(cat "$work/err"); }
run password --count 3
check "password: three lines of 16 letters and digits" \
    test "$rc" -eq 0 -a "$(grep -cE '^[A-Za-z0-9]{16}$' <<<"$out")" -eq 3
check "password: LF line ends, not CR LF" test "$(printf '%s' "$out" | tr -cd '\r' | wc -c)" -eq 0
run profile example.com --json
check "profile --json: the keys, the domain" python3 -c '
import json, sys
o = json.loads(sys.argv[1])
assert o["site_name"] == "example.com" and o["db_user"] == o["db_table"], o
assert len(o["db_password"]) == 16 and len(o["token"]) == 8, o' "$out"
printf '{"db_table": "site_db", "db_user": "site_u", "db_password": "pa$$ 中文"}' >"$work/site.json"
run sql postgresql "$(winepath -w "$work/site.json")"
check "sql postgresql: the verifier is the password's" python3 -c '
import base64, hashlib, hmac, re, sys
m = re.search(r"PASSWORD '"'"'SCRAM-SHA-256\$4096:([^$]+)\$([^:]+):([^'"'"']+)'"'"'", sys.argv[1])
salt, stored, server = (base64.b64decode(g) for g in m.groups())
salted = hashlib.pbkdf2_hmac("sha256", sys.argv[2].encode(), salt, 4096)
client = hmac.new(salted, b"Client Key", "sha256").digest()
assert hashlib.sha256(client).digest() == stored
assert hmac.new(salted, b"Server Key", "sha256").digest() == server' "$out" 'pa$$ 中文'
check "sql postgresql: the encoding line first" test "$(head -n1 <<<"$out")" = '\encoding UTF8'
run password --length abc
check "a refusal: exit 2, one Chinese line, nothing on stdout" \
    test "$rc" -eq 2 -a -z "$out" -a "$(wc -l <<<"$err")" -eq 1 -a -n "$(grep -F -- '--length' <<<"$err")"
wine "$cli" --help >"$work/help.txt" 2>/dev/null
check "the help, redirected, is UTF-8 with LF" \
    test "$(head -n1 "$work/help.txt")" = "用法：sitepass-cli 命令 [参数] [选项]" -a \
    "$(tr -cd '\r' <"$work/help.txt" | wc -c)" -eq 0
printf '{"site_name": "example.com", "site_port": "80", "admin_path": "/admin.php", "db_table": "d", "db_user": "u", "db_password": "p"}' >"$work/web.json"
run config nginx "$(winepath -w "$work/web.json")" --run-dir public
check "config nginx: the server block" \
    test "$rc" -eq 0 -a "$(grep -cE '^    (listen 80;|server_name example.com;|root /var/www/EXAMPLE_COM/public;)$' <<<"$out")" -eq 3
# --output: the file appears whole, never over one that is there, and leaves no temporary.
mkdir "$work/out"
run config php "$(winepath -w "$work/site.json")" --output "$(winepath -w "$work/out/config.php")"
check "config --output writes the file" test "$rc" -eq 0 -a -z "$out" -a -s "$work/out/config.php"
run config php "$(winepath -w "$work/site.json")" --output "$(winepath -w "$work/out/config.php")"
check "config --output does not replace it" test "$rc" -eq 2 -a "$(ls -A "$work/out")" = config.php
run config php "$(winepath -w "$work/site.json")" --output 'C:\no\such\folder\config.php'
check "config --output into no folder: exit 1, in words" test "$rc" -eq 1 -a -n "$(grep -F 文件夹不存在 <<<"$err")"
# Typed into a console (Wine's, on a terminal here, whose code page is 437), the report arrives
# as text, not as code-page bytes: ReadConsoleW. A line at a time, as a person types, ended by
# Ctrl+D (Wine's console keeps Ctrl+Z to itself).
type_report() {
    sleep 3
    for line in '站 点 名 称：example.com' '站 点 目 录：EXAMPLE_COM' '站 点 网 址：http://example.com' \
        '站 点 端 口：80' '数据库表名：t1' '数据库用户：u' '数据库密码：密码p' '管理员后台：/admin.php' \
        '管理员用户：admin' '管理员密码：x' $'\x04'; do
        printf '%s\r' "$line"
        sleep 0.3
    done
    sleep 3
}
type_report | LANG=C.UTF-8 timeout 60 script -qfec \
    "stty -icrnl; wine '$cli' sql mysql >'$work/console.sql' 2>'$work/console.err'" /dev/null >/dev/null 2>&1
check "sql reads a report typed into a console" grep -qF "IDENTIFIED BY '密码p'" "$work/console.sql"
# A vault made and filled under Windows opens in KeePassXC on Linux, with the site's accounts.
printf '{"site_name": "example.com", "site_url": "http://example.com", "site_port": "80", "admin_path": "/admin.php", "admin_user": "admin", "admin_password": "a", "db_table": "d", "db_user": "u", "db_password": "p 中文"}' >"$work/vault.json"
vault=$(winepath -w "$work/sites.kdbx")
wine "$cli" vault create "$vault" <<<'win pass' >/dev/null 2>&1
run vault add "$vault" "$(winepath -w "$work/vault.json")" <<<'win pass'
check "vault add under Wine, read by KeePassXC" test "$rc" -eq 0 -a \
    "$(echo 'win pass' | keepassxc-cli show -s -a Password "$work/sites.kdbx" 'sitepass/example.com/example.com 数据库' 2>/dev/null)" = 'p 中文'
out=$(wine "$dist/sitepass.exe" --version 2>/dev/null)
check "sitepass.exe --version answers without a window" test "$out" = "sitepass 1.0"

# 3. The window: a domain typed into 站点名称 and a click on the site 生成 put the report on the
# clipboard, read back through Wine's clipboard from X.
. "$here/../e2e/lib.sh"
start_app wine "$dist/sitepass.exe"
trap cleanup EXIT
click "${text1[@]}"
xdotool type --delay 40 "example.com"
click "${command1[@]}"
has_report() { xclip -selection clipboard -o 2>/dev/null | grep -q '^管理员密码：'; }
wait_until has_report
report=$(xclip -selection clipboard -o 2>/dev/null)
check "the report reaches the X clipboard: ten lines, the domain" \
    test "$(grep -c '：' <<<"$report")" -eq 10 -a "$(head -n1 <<<"$report" | tr -d '\r')" = "站 点 名 称：example.com"
# 4. The clipboard as Windows programs see it: the three formats that keep the report out of
# clipboard history and the cloud clipboard.
formats=$(wine "$build/clipboard_formats.exe" 2>/dev/null | tr -d '\r')
for format in ExcludeClipboardContentFromMonitorProcessing CanIncludeInClipboardHistory \
    CanUploadToCloudClipboard; do
    check "$format is on the clipboard as DWORD 0" grep -qx "$format 00000000" <<<"$formats"
done
sleep 0.5
import -window "$wid" "$shot"
kill "$app_pid" 2>/dev/null; app_pid=""

# 5. The installer, silent: the files, the Start-menu entry and the uninstall entry appear, and
# the uninstaller takes every one of them away again.
installer=$(ls "$(dirname "$dist")"/sitepass-setup-*.exe)
drive=$WINEPREFIX/drive_c
wine "$installer" /S '/D=C:\sitepass' >/dev/null 2>&1
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/密码生成器.lnk"
check "the installer puts the programs, README, licence and uninstaller in place" \
    test "$(ls "$drive/sitepass" 2>/dev/null | sort | tr '\n' ' ')" = \
    "LICENSE.txt README.md sitepass-cli.exe sitepass.exe uninstall.exe "
check "the installer adds the Start-menu entry" test -f "$menu"
check "the installer registers its uninstaller" \
    bash -c "wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\sitepass' /v UninstallString >/dev/null 2>&1"
wine 'C:\sitepass\uninstall.exe' /S >/dev/null 2>&1
gone() { [ ! -e "$drive/sitepass" ] && [ ! -e "$menu" ]; }
# The uninstaller runs from a copy of itself, so the command returns before it is done.
for _ in $(seq 100); do gone && break; sleep 0.2; done
check "the uninstaller removes everything it installed" gone
check "the uninstaller removes its registry entry" bash -c "! wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\sitepass' >/dev/null 2>&1"

echo "$(wine --version 2>/dev/null): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
