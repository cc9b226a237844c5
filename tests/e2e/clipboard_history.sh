#!/usr/bin/env bash
# A real clipboard history (CopyQ) beside the real program: a plain copy from another client is
# stored, the site report with its two passwords is not, and a paste still gives the report.
# Usage (under an X server): clipboard_history.sh PATH/TO/sitepass
set -euo pipefail
app=$1
. "$(dirname "$0")/lib.sh"

# A fresh home, so the history starts empty and nothing of the user's is touched.
home=$(mktemp -d)
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
export HOME=$home XDG_RUNTIME_DIR=$home/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
copyq >"$home/copyq.log" 2>&1 &
copyq_pid=$!
stop() {
    copyq exit >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 $copyq_pid 2>/dev/null || break; sleep 0.1; done
    kill $copyq_pid 2>/dev/null || true
    kill "${app_pid:-}" 2>/dev/null || true
    rm -rf "$home"
}
trap stop EXIT
wait_until copyq count >/dev/null 2>&1 || fail "the CopyQ server did not answer"
count() { copyq count 2>/dev/null; }
count_is() { [ "$(count)" -eq "$1" ]; }

# Control: a plain text from another client reaches the history, so CopyQ is watching. Its
# clipboard monitor starts a moment after the server answers, and it skips a text it has seen:
# copy a new text until one is stored.
stored_first() { [ "$(count)" -ge 1 ] && [[ $(copyq read 0) == "plain text "* ]]; }
for try in $(seq 10); do
    printf 'plain text %s' "$try" | xclip -selection clipboard
    for _ in $(seq 15); do stored_first && break 2; sleep 0.1; done
done
stored_first || { cat "$home/copyq.log" >&2; fail "CopyQ did not store a plain copy (count $(count))"; }
before=$(count)

start_app "$app"
trap 'kill $app_pid 2>/dev/null || true; stop' EXIT
click "${text1[@]}"
xdotool type --delay 20 "example.com"
click "${command1[@]}"
has_report() { clipboard 2>/dev/null | grep -q '^管理员密码：'; }
wait_until has_report || fail "the report did not reach the clipboard"
report=$(clipboard; echo x) && report=${report%x}
p1=$(printf '%s' "$report" | tr -d '\r' | sed -n 's/^数据库密码：//p')
p2=$(printf '%s' "$report" | tr -d '\r' | sed -n 's/^管理员密码：//p')
[ ${#p1} -eq 16 ] && [ ${#p2} -eq 16 ] || fail "the pasted report lacks its passwords"

# A second plain copy: once CopyQ has stored it, it has seen the report before it too.
printf 'second plain text' | xclip -selection clipboard
wait_until count_is $((before + 1)) || fail "CopyQ's history went from $before to $(count), not $((before + 1))"
after=$(count)
for ((i = 0; i < after; i++)); do
    item=$(copyq read "$i")
    case $item in *"$p1"* | *"$p2"*) fail "CopyQ keeps a password in item $i" ;; esac
done
echo "CopyQ history: $before before the report, $after after one more plain copy; no password kept"
echo "1 passed, 0 failed"
