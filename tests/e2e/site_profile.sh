#!/usr/bin/env bash
# Drives the real program on an X server as a user would: types a domain, clicks the buttons,
# and reads the caption and the real clipboard back. Usage: site_profile.sh PATH/TO/sitepass
set -euo pipefail
app=$1
. "$(dirname "$0")/lib.sh"
is_length_caption() { [ "$(caption)" = "密码生成器 v1  密码长度：16" ]; }

start_app "$app"

# Site name into Text1, then Command1.
click "${text1[@]}"
xdotool type --delay 20 "Example.com"
click "${command1[@]}"

wait_until is_token || true
token=$(caption)
[[ $token =~ ^[0-9A-F]{8}$ ]] || fail "caption after Command1 is '$token', not a time token"
# The token stamps the local wall-clock time as if it were UTC+8.
expected=$(( $(date -u -d "$(date '+%Y-%m-%d %H:%M:%S')" +%s) - 8 * 3600 ))
drift=$(( expected - 16#$token ))
[ ${drift#-} -le 5 ] || fail "token $token is $drift s away from the clock"

report=$(clipboard; echo x) && report=${report%x}
mapfile -t lines < <(printf '%s' "$report" | tr -d '\r')
[ ${#lines[@]} -eq 10 ] || fail "report has ${#lines[@]} lines"
p1=${lines[6]#数据库密码：}
p2=${lines[9]#管理员密码：}
for p in "$p1" "$p2"; do
    [[ $p =~ ^[A-Za-z0-9]{16}$ ]] || fail "password '$p' is not 16 letters and digits"
done
table="s${token,,}db0"
want=$(printf '%s\r\n' "站 点 名 称：Example.com" "站 点 目 录：EXAMPLE_COM" \
    "站 点 网 址：http://Example.com" "站 点 端 口：80" "数据库表名：$table" \
    "数据库用户：$table" "数据库密码：$p1" "管理员后台：/admin.php" "管理员用户：admin" \
    "管理员密码：$p2"; echo x) && want=${want%x}
[ "$report" = "$want" ] || { diff <(printf '%s' "$want" | od -c) <(printf '%s' "$report" | od -c) >&2; fail "report differs"; }
xclip -selection clipboard -t TARGETS -o | grep -qx 'x-kde-passwordManagerHint' ||
    fail "the clipboard carries no password-manager hint"

# Label6 redraws the database password only: clipboard and caption stay.
click "${label6[@]}"
[ "$(clipboard; echo x)" = "${report}x" ] || fail "Label6 changed the clipboard"
[ "$(caption)" = "$token" ] || fail "Label6 changed the caption"

# generate in the password group: the caption reports the password length.
click "${generate[@]}"
wait_until is_length_caption || fail "caption after generate is '$(caption)'"

echo "1 passed, 0 failed"
