# Shared by the end-to-end scripts: start the program, find its window, click, read back.
# shellcheck shell=bash
fail() { echo "FAIL: $*" >&2; exit 1; }

# Temporary files and folders of the calling test, removed at exit with the program stopped.
remove_at_exit=()
trap 'rm -rf "${remove_at_exit[@]}"' EXIT

# start_app PROGRAM [REDIRECTIONS...]: runs it in the background and waits for its window.
start_app() {
    "$@" & app_pid=$!
    trap 'kill $app_pid 2>/dev/null || true; rm -rf "${remove_at_exit[@]}"' EXIT
    wid=""
    for _ in $(seq 200); do
        wid=$(xdotool search --name '^Form1$' 2>/dev/null | head -n1) && [ -n "$wid" ] && break
        sleep 0.05
    done
    [ -n "$wid" ] || fail "the window did not appear"
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$wid")" # X, Y of the client area
}
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
caption() { xprop -id "$wid" _NET_WM_NAME | sed -n 's/^[^"]*"\(.*\)"$/\1/p'; }
clipboard() { xclip -selection clipboard -o; }
# Waits up to 5 s for a command to succeed: the program answers events in its own time.
wait_until() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }
is_token() { [[ $(caption) =~ ^[0-9A-F]{8}$ ]]; }

# centre NAME...: the middle of each control in client coordinates, one line each, read from
# the form itself.
centre() {
    python3 - "$(dirname "${BASH_SOURCE[0]}")/../../ui/Form1.ui" "$@" <<'EOF'
import sys
import xml.etree.ElementTree as ET

def centres(widget, x, y, found):
    for child in widget.findall("widget"):
        rect = child.find("property[@name='geometry']/rect")
        cx, cy = x + int(rect.findtext("x")), y + int(rect.findtext("y"))
        found[child.get("name")] = (cx + int(rect.findtext("width")) // 2,
                                    cy + int(rect.findtext("height")) // 2)
        centres(child, cx, cy, found)
    return found

found = centres(ET.parse(sys.argv[1]).getroot().find("widget"), 0, 0, {})
for name in sys.argv[2:]:
    print(*found[name])
EOF
}
{ read -ra text1; read -ra command1; read -ra label6; read -ra generate; read -ra jieguo; read -ra text6; read -ra text9; } \
    < <(centre Text1 Command1 Label6 generate ss_jieguo Text6 Text9)
