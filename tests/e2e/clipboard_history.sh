#!/usr/bin/env bash
# A real clipboard history (CopyQ) beside the real program: a plain copy from another client is
# stored, the site report with its two passwords is not, and a paste still gives the report.
# Usage (under an X server): clipboard_history.sh PATH/TO/sitepass
set -euo pipefail
app=$1
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

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

# Passwords copied out of the boxes by hand: Ctrl+C in the generated password, the context
# menu's copy (复制, C) in the admin password. Each pastes as the password and is not stored.
plain_copy_stored() { # plain_copy_stored TEXT: a plain copy after the secret one; once it is
    # stored, CopyQ has seen the secret one before it
    printf '%s' "$1" | xclip -selection clipboard
    top_is() { [ "$(copyq read 0)" = "$1" ]; }
    wait_until top_is "$1"
}
kept() { # kept TEXT: some history item holds TEXT
    local i n; n=$(count)
    for ((i = 0; i < n; i++)); do [[ $(copyq read "$i") == *"$1"* ]] && return 0; done
    return 1
}
click "${generate[@]}"
click "${jieguo[@]}"
xdotool key ctrl+a ctrl+c
generated=$(xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null)
[ ${#generated} -eq 16 ] || fail "Ctrl+C in the generated password pasted '$generated'"
plain_copy_stored "third plain text" || fail "CopyQ stopped storing plain copies"
kept "$generated" && fail "CopyQ keeps the password copied with Ctrl+C"

click "${text9[@]}"
xdotool key ctrl+a
xdotool click 3 # the pointer is still on Text9
sleep 0.5
xdotool key c
wait_until test "$(clipboard 2>/dev/null)" = "$p2" || fail "the context menu's copy in Text9 did not paste the password"
plain_copy_stored "fourth plain text" || fail "CopyQ stopped storing plain copies"
kept "$p2" && fail "CopyQ keeps the password copied from the context menu"

# The line-deleting keys copy what they delete: Ctrl+U in the database password, Ctrl+K from
# the start of the admin password.
click "${text6[@]}"
xdotool key ctrl+u
wait_until test "$(clipboard 2>/dev/null)" = "$p1" || fail "Ctrl+U in Text6 did not paste the password"
plain_copy_stored "sixth plain text" || fail "CopyQ stopped storing plain copies"
kept "$p1" && fail "CopyQ keeps the password deleted with Ctrl+U"
click "${text9[@]}"
xdotool key Home ctrl+k
wait_until test "$(clipboard 2>/dev/null)" = "$p2" || fail "Ctrl+K in Text9 did not paste the password"
plain_copy_stored "seventh plain text" || fail "CopyQ stopped storing plain copies"
kept "$p2" && fail "CopyQ keeps the password deleted with Ctrl+K"

# The mouse selection: CopyQ told to watch it stores a selection in the site name (the control),
# and not one in the generated password. A double click selects a word and sets the selection.
copyq config check_selection true >/dev/null
click "${text1[@]}"
xdotool key ctrl+a && xdotool type --delay 20 "selectedname"
n=$(count)
xdotool click --repeat 2 --delay 80 1 # the pointer is still on Text1
wait_until count_is $((n + 1)) && [ "$(copyq read 0)" = selectedname ] ||
    fail "CopyQ did not store a selection in Text1 (control)"
xdotool mousemove --sync $((X + jieguo[0])) $((Y + jieguo[1])) click --repeat 2 --delay 80 1
selected=$(xclip -selection primary -o 2>/dev/null)
[ "$selected" = "$generated" ] || fail "the selection in the generated password is '$selected'"
plain_copy_stored "fifth plain text" || fail "CopyQ stopped storing plain copies"
sleep 0.5
kept "$generated" && fail "CopyQ keeps the password selected with the mouse"
echo "copies by Ctrl+C, the context menu, Ctrl+U and Ctrl+K, and a mouse selection, of passwords: none kept"
echo "1 passed, 0 failed"
