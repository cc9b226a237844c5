#!/usr/bin/env bash
# The built sitepass-cli as a script would call it: exit codes, streams and output shapes.
# Usage: cli.sh PATH/TO/sitepass-cli PATH/TO/sitepass
set -uo pipefail
cli=$1 window=$2
passed=0 failed=0
check() { # check NAME CONDITION...
    local name=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
errfile=$(mktemp)
tmp=$(mktemp -d)
trap 'rm -rf "$errfile" "$tmp"' EXIT
# run ARGS...: sets out (stdout, trailing newlines kept), err and rc.
run() { out=$("$cli" "$@" 2>"$errfile"; echo "rc=$?"); rc=${out##*rc=}; out=${out%rc=*}; err=$(cat "$errfile"); }

run password --count 50 --length 24
check "50 lines of 24 letters and digits" \
    test "$(grep -cE '^[A-Za-z0-9]{24}$' <<<"$out")" -eq 50 -a "$rc" -eq 0 -a -z "$err"
run password --no-upper --no-lower --special --length 30 --count 20
check "digits and default specials only" \
    test "$(grep -cE '^[0-9!@#$%^&*()]{30}$' <<<"$out")" -eq 20
run password --length 100000
check "the longest length" test "$(head -n1 <<<"$out" | tr -d '\n' | wc -c)" -eq 100000

run password --every-class --special --length 4 --count 3000
check "--every-class at the shortest length: one of each class in every line" \
    test "$(grep -E '[A-Z]' <<<"$out" | grep -E '[a-z]' | grep -E '[0-9]' | grep -cE '[!@#$%^&*()]')" -eq 3000
run profile example.com --every-class --special-chars '-_' --length 4
check "profile --every-class: both passwords show every class" \
    test "$(grep -E '密码：' <<<"$out" | grep -E '[A-Z]' | grep -E '[a-z]' | grep -E '[0-9]' | grep -cE '[-_]')" -eq 2

run profile example.com
check "profile: ten labelled lines" test "$(grep -c '：' <<<"$out")" -eq 10 -a "$rc" -eq 0
check "profile: LF only" test "$(printf '%s' "$out" | tr -cd '\r' | wc -c)" -eq 0
run profile example.com --crlf
check "profile --crlf: 10 CR" test "$(printf '%s' "$out" | tr -cd '\r' | wc -c)" -eq 10
run profile example.com --json
check "profile --json: valid JSON with the keys" python3 -c '
import json, sys
o = json.loads(sys.argv[1])
keys = {"site_name", "site_directory", "site_url", "site_port", "db_table", "db_user",
        "db_password", "admin_path", "admin_user", "admin_password", "token"}
assert set(o) == keys, o' "$out"

for bad in "password --length abc" "password --length 100001" "password --count -1" \
           "password --bogus" "profile" "frob" "password --json" "profile a.b --length nan"; do
    run $bad
    check "'$bad' exits 2 with one line on stderr only" \
        test "$rc" -eq 2 -a -z "$out" -a "$(wc -l <<<"$err")" -eq 1
done
run --help
check "--help in Chinese, first line names the program" \
    test "$rc" -eq 0 -a "$(head -n1 <<<"$out")" = "用法：sitepass-cli 命令 [参数] [选项]"
check "--help: every description starts at one terminal column" python3 -c '
import re, sys, unicodedata
width = lambda s: sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in s)
starts = {width(m.group(1)) for m in re.finditer(r"^(  \S.*?\S  +)\S", sys.argv[1], re.M)}
assert len(starts) == 1, starts' "$out"
# The window answers --help and --version on the terminal; with no display it could not open.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 20 "$window" --help); rc=$?
check "sitepass --help prints help without a window" test "$rc" -eq 0 -a "$(head -n1 <<<"$out")" = "用法：sitepass [选项]"

# Failed writes are failures; a reader that leaves ends the program quietly.
for args in "password" "profile a.b"; do
    "$cli" $args >/dev/full 2>"$errfile"; rc=$?
    check "'$args' to a full disk exits 1 with one line that says so" \
        test "$rc" -eq 1 -a "$(wc -l <"$errfile")" -eq 1 -a "$(grep -c 磁盘已满 "$errfile")" -eq 1
done
first=$("$cli" password --count 1000000 2>"$errfile" | head -n1)
check "a closed pipe ends quietly" test "${#first}" -eq 16 -a ! -s "$errfile"
run --version
check "--version" test "$out" = $'sitepass-cli 1.0\n'

# config --output: a new file only its owner reads, never one that is there (a link included).
printf '{"db_table": "d", "db_user": "u", "db_password": "p\x27#$"}' >"$tmp/site.json"
(umask 022; "$cli" config php "$tmp/site.json" --output "$tmp/new.php" >"$tmp/stdout" 2>"$errfile"); rc=$?
check "config --output writes a file of mode 0600 and nothing on stdout" \
    test "$rc" -eq 0 -a ! -s "$tmp/stdout" -a "$(stat -c %a "$tmp/new.php")" = 600
check "config --output holds the password" grep -qF "'p\\'#\$'" "$tmp/new.php"
cp "$tmp/new.php" "$tmp/before"
run config laravel "$tmp/site.json" --output "$tmp/new.php"
check "config --output does not replace a file" \
    test "$rc" -eq 2 -a -z "$out" -a "$(grep -c new.php <<<"$err")" -eq 1
check "the file is as it was" cmp -s "$tmp/new.php" "$tmp/before"
ln -s "$tmp/target" "$tmp/link"
run config php "$tmp/site.json" --output "$tmp/link"
check "config --output does not follow a link" test "$rc" -eq 2 -a ! -e "$tmp/target"
"$cli" config wordpress "$tmp/site.json" >/dev/full 2>"$errfile"; rc=$?
check "config to a full disk exits 1" test "$rc" -eq 1 -a "$(wc -l <"$errfile")" -eq 1

# Killed while writing (here by the file size limit), it leaves no file, and the next run works.
{ (ulimit -f 0; "$cli" config php "$tmp/site.json" --output "$tmp/killed.php"); } 2>/dev/null
check "a run killed mid-write leaves nothing" test -z "$(ls -A "$tmp" | grep killed)"
run config php "$tmp/site.json" --output "$tmp/killed.php"
check "the next run writes the file" test "$rc" -eq 0 -a -s "$tmp/killed.php"
# No quoting gives phpdotenv and Symfony's Dotenv a "'" with "\n" alike: refused, named.
printf '{"db_table": "d", "db_user": "u", "db_password": "a\x27\\\\n"}' >"$tmp/unquotable.json"
run config laravel "$tmp/unquotable.json"
check "config laravel refuses what no .env quoting reads back" \
    test "$rc" -eq 2 -a -z "$out" -a "$(grep -c 'db_password.*\\n' <<<"$err")" -eq 1
# --group: 0640 in that group, or refused with no file when the group does not exist.
group=$(id -gn)
run config php "$tmp/site.json" --output "$tmp/group.php" --group "$group"
check "config --group makes the file 0640 in the group" test "$rc" -eq 0 -a "$(stat -c '%a %G' "$tmp/group.php")" = "640 $group"
run config php "$tmp/site.json" --output "$tmp/nogroup.php" --group no-such-group-here
check "config --group with no such group is refused" \
    test "$rc" -eq 2 -a ! -e "$tmp/nogroup.php" -a "$(grep -c no-such-group-here <<<"$err")" -eq 1
# profile --output: the passwords in a file only its owner (or group) reads, never over one.
(umask 022; "$cli" profile example.com --json --output "$tmp/profile.json" >"$tmp/stdout" 2>"$errfile"); rc=$?
check "profile --output writes the JSON to a 0600 file and nothing on stdout" \
    test "$rc" -eq 0 -a ! -s "$tmp/stdout" -a "$(stat -c %a "$tmp/profile.json")" = 600 -a \
    "$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["site_name"])' "$tmp/profile.json")" = example.com
run profile example.com --output "$tmp/profile.json"
check "profile --output does not replace a file" test "$rc" -eq 2 -a "$(grep -c profile.json <<<"$err")" -eq 1
run profile example.com --output "$tmp/profile-group.txt" --group "$group"
check "profile --group makes the report 0640 in the group" \
    test "$rc" -eq 0 -a "$(stat -c '%a %G' "$tmp/profile-group.txt")" = "640 $group" -a "$(grep -c '：' "$tmp/profile-group.txt")" -eq 10
# A pool whose slow log's folder is missing would stop php-fpm's every pool: not written.
run config php-fpm "$tmp/profile.json" --php-user "$(id -un)" --web-user "$(id -un)" \
    --log-dir "$tmp/no-logs" --output "$tmp/pool.conf"
check "config php-fpm --output refuses a missing log folder" \
    test "$rc" -eq 2 -a ! -e "$tmp/pool.conf" -a "$(grep -c no-logs <<<"$err")" -eq 1
# "--" ends the options: a file whose name starts with "-".
cp "$tmp/site.json" "$tmp/-site.json"
out=$(cd "$tmp" && "$cli" sql mariadb -- -site.json); rc=$?
check "-- ends the options" test "$rc" -eq 0 -a "$(grep -c 'CREATE USER' <<<"$out")" -eq 1
# A special character from Latin-1 comes out as UTF-8, not as its code.
run password --no-upper --no-lower --no-digits --special-chars=é --length 3
check "é as UTF-8" test "$(printf '%s' "$out" | od -An -tx1 | tr -d ' \n')" = c3a9c3a9c3a90a

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
