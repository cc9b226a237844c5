#!/usr/bin/env bash
# Secrets stay where the user put them: with a fresh HOME, a site profile and a password leave
# no trace in the program's output streams and no file of its own.
# Usage: no_secrets.sh PATH/TO/sitepass
set -euo pipefail
app=$1
. "$(dirname "$0")/lib.sh"

home=$(mktemp -d)
runtime=$(mktemp -d) && chmod 700 "$runtime"
out=$(mktemp) && err=$(mktemp)
remove_at_exit+=("$home" "$runtime" "$out" "$err")
# A desktop session has its bus; without one, libdbus would start one itself and leave its
# address under ~/.dbus, which says nothing about the program.
start_app env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u DBUS_SESSION_BUS_ADDRESS \
    HOME="$home" XDG_RUNTIME_DIR="$runtime" dbus-run-session -- "$app" >"$out" 2>"$err"

click "${text1[@]}"
xdotool type --delay 20 "secret-test.example"
click "${command1[@]}"
wait_until is_token || fail "no site profile was made"
report=$(clipboard)
click "${label6[@]}"
click "${generate[@]}"
# Copy the generated password out of its box to know it.
click "${jieguo[@]}"
xdotool key --clearmodifiers ctrl+a ctrl+c
sleep 0.3
password=$(clipboard)
[[ $password =~ ^[A-Za-z0-9]{16}$ ]] || fail "could not read the generated password ('$password')"

kill "$app_pid"; wait "$app_pid" 2>/dev/null || true

secrets=("$password" "$(sed -n 's/^数据库密码：\(.*\)\r$/\1/p' <<<"$report")"
         "$(sed -n 's/^管理员密码：\(.*\)\r$/\1/p' <<<"$report")")
for s in "${secrets[@]}"; do
    [ ${#s} -eq 16 ] || fail "could not read a password from the report"
    ! grep -qF "$s" "$out" "$err" || fail "a password was printed to stdout or stderr"
done
files=$(find "$home" "$runtime" -type f)
[ -z "$files" ] || fail "the program left files behind: $files"

echo "1 passed, 0 failed"
