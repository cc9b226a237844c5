#!/usr/bin/env bash
# sitepass-cli sql applied by the real clients to real MariaDB and PostgreSQL servers, started
# here in a temporary directory on Unix sockets (no TCP port) as the unprivileged user nobody,
# and stopped with the directory removed on every exit path. Nothing else is touched.
# Usage (as root): sql_servers.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$1
passed=0 failed=0
check() { # check NAME COMMAND...: the command must succeed
    local name=$1; shift
    if "$@" >>"$dir/checks.log" 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
refused() { # refused NAME COMMAND...: the command must fail
    local name=$1; shift
    if "$@" >>"$dir/checks.log" 2>&1; then failed=$((failed + 1)); echo "FAIL: $name" >&2; else passed=$((passed + 1)); fi
}
[ "$(id -u)" -eq 0 ] || { echo "skipped: the servers run as nobody, which needs root" >&2; exit 77; }

. "$(dirname "$0")/servers.sh"
server_folder sitepass-sql
# PostgreSQL cannot start where the root directory is closed: its half is then skipped, saying so.
postgres=yes
if [ -n "$root_closed" ]; then
    postgres=""
    echo "PostgreSQL skipped: the root directory is closed to users other than root" >&2
fi
maria_start
[ -z "$postgres" ] || pg_start

maria_user() { # maria_user USER PASSWORD DB SQL
    mariadb --no-defaults --socket="$dir/maria.sock" -u "$1" --password="$2" "$3" -e "$4"; }
pg_admin() { as_nobody psql -X -h "$dir" -d postgres "$@"; }
pg_user() { # pg_user USER PASSWORD DB SQL
    PGPASSWORD=$2 PGPASSFILE=/dev/null psql -X -w -h "$dir" -U "$1" -d "$3" -c "$4"; }

# Profiles whose passwords hold the traps of hand-written SQL, and ones that SASLprep reads
# differently before and after NFKC (U+1D2C, U+2135, U+0340, U+FB1D), as edited JSON.
passwords=(
    "a'b\\c\`d\$e%f#g;h--i j\"k"
    '密码Ａ！ﬁ：x'
    "🔐p\\'w\\\\"
    $'\u1d2c' $'a\u2135' $'\u0340x' $'\ufb1d'
)
profile() { # profile TABLE USER PASSWORD: JSON
    python3 -c 'import json, sys; print(json.dumps({"db_table": sys.argv[1], "db_user": sys.argv[2], "db_password": sys.argv[3]}))' "$@"
}
# A changed last character must not log in.
other() { local p=$1; [ "${p: -1}" = x ] && echo "${p%?}y" || echo "${p%?}x"; }

# try DIALECT APPLY USERFN DATABASE USER PASSWORD SCRIPT
try() {
    local dialect=$1 apply=$2 login=$3 db=$4 user=$5 pw=$6 script=$7
    check "$dialect $db: the client applies the script" "$apply" <"$script"
    check "$dialect $db: the user logs in and creates a table" "$login" "$user" "$pw" "$db" "CREATE TABLE t (i INT)"
    refused "$dialect $db: a changed password is refused" "$login" "$user" "$(other "$pw")" "$db" "SELECT 1"
    refused "$dialect $db: the user cannot create another database" "$login" "$user" "$pw" "$db" "CREATE DATABASE ${db}x"
    refused "$dialect $db: the same script again fails" "$apply" <"$script"
    check "$dialect $db: the first password still logs in" "$login" "$user" "$pw" "$db" "SELECT 1"
}

run_dialect() { # run_dialect DIALECT APPLY LOGIN PREFIX: names with "_", as hosting panels make them
    local dialect=$1 apply=$2 login=$3 prefix=$4 i=0
    for pw in "${passwords[@]}"; do
        i=$((i + 1))
        profile "${prefix}_$i" "${prefix}_u$i" "$pw" | "$cli" sql "$dialect" >"$dir/$prefix$i.sql" ||
            { failed=$((failed + 1)); echo "FAIL: sql $dialect $prefix$i" >&2; continue; }
        try "$dialect" "$apply" "$login" "${prefix}_$i" "${prefix}_u$i" "$pw" "$dir/$prefix$i.sql"
    done
}

run_dialect mariadb maria_admin maria_user m
run_dialect mysql maria_admin maria_user y
maria_admin -e "SET GLOBAL sql_mode = CONCAT(@@GLOBAL.sql_mode, ',NO_BACKSLASH_ESCAPES')"
run_dialect mysql maria_admin maria_user n
[ -n "$postgres" ] && run_dialect postgresql pg_admin pg_user p

# The longest database name the grant takes: 60 characters and four "_" escaped to 64. One more
# is refused before anything is made, as are names no client reads alike in every character set.
long=$(printf 'l%.0s' $(seq 56))____
profile "$long" long_u "pw" | "$cli" sql mariadb >"$dir/long.sql"
try mariadb maria_admin maria_user "$long" long_u pw "$dir/long.sql"
refused_cleanly() { # refused_cleanly NAME DIALECT TABLE USER: exit 2, nothing on stdout
    local out status=0
    out=$(profile "$3" "$4" pw | "$cli" sql "$2") || status=$?
    if [ "$status" -eq 2 ] && [ -z "$out" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1 (exit $status)" >&2; fi
}
refused_cleanly "one character more in the grant" mariadb "${long}l" long_v
refused_cleanly "% in a database name" mysql "a%b" u_pct
refused_cleanly "a GBK trap in a user name" mariadb d_gbk "中'中\\! touch $dir/pwned #"
refused_cleanly "a GBK trap in a database name" postgresql "中\"\\! touch $dir/pwned #" u_gbk

# Clients that split the script in GBK (a zh_CN.GBK locale, a code page 936 console) or Big5: a
# password with the shape that once closed its quote early runs nothing and logs in as written.
trap_pw="中'中\\! touch $dir/pwned #"
maria_gbk() { mariadb --no-defaults --default-character-set=gbk --socket="$dir/maria.sock" -u root "$@"; }
for dialect in mariadb mysql; do
    profile "g_$dialect" "g_u$dialect" "$trap_pw" | "$cli" sql "$dialect" >"$dir/gbk-$dialect.sql"
    try "$dialect" maria_gbk maria_user "g_$dialect" "g_u$dialect" "$trap_pw" "$dir/gbk-$dialect.sql"
done
if [ -n "$postgres" ]; then
    for encoding in GBK BIG5; do
        pg_client() { PGCLIENTENCODING=$encoding pg_admin "$@"; }
        profile "e_$encoding" "e_u$encoding" "$trap_pw" | "$cli" sql postgresql >"$dir/$encoding.sql"
        try postgresql pg_client pg_user "e_$encoding" "e_u$encoding" "$trap_pw" "$dir/$encoding.sql"
    done
fi
check "no script ran a shell command" test ! -e "$dir/pwned"

# From profile to application: sql makes the account, config writes the settings, and PHP's own
# parsers read them back exactly and log in with them (tests/e2e/config_check.php).
if command -v php >/dev/null; then
    checker=$(dirname "$0")/config_check.php
    config_passwords=(
        "a'b\"c\\d\$e\${HOME}#f;g中"
        " lead'ing space, trailing backslash\\"
        '${HOME}#no quote;\'
        '中文 $1 "#'
    )
    config_case() { # config_case DIALECT APPLY SOCKET NAME PASSWORD FORMAT...
        local dialect=$1 apply=$2 socket=$3 name=$4 pw=$5; shift 5
        python3 -c 'import json, sys; print(json.dumps({"site_url": "http://example.com", "db_table": sys.argv[1], "db_user": sys.argv[1] + "_u", "db_password": sys.argv[2]}))' "$name" "$pw" >"$dir/$name.json"
        "$cli" sql "$dialect" "$dir/$name.json" | "$apply" >>"$dir/checks.log" 2>&1 ||
            { failed=$((failed + 1)); echo "FAIL: config $name: sql" >&2; return; }
        for format in "$@"; do
            local out=$dir/$name.$format
            check "config $format $dialect $name: written to a new file" "$cli" config "$format" "$dir/$name.json" --engine "$dialect" --output "$out"
            check "config $format $dialect $name: mode 0600" test "$(stat -c %a "$out")" = 600
            [ "$format" = laravel ] || check "config $format $name: php -l" php -l "$out"
            # WordPress itself defines no ABSPATH first: wp-settings.php is then the one beside it.
            [ "$format" = wordpress ] && cp "$(dirname "$0")/wordpress/wp-settings.php" "$dir/" &&
                check "config wordpress $name: loads the wp-settings.php beside it" \
                    php -r 'include $argv[1]; exit($GLOBALS["wp_settings_loaded"] === "wp_" ? 0 : 1);' "$out"
            check "config $format $dialect $name: PHP reads it back and logs in" php "$checker" "$format" "$out" "$dir/$name.json" "$socket"
        done
        refused "config $name: an existing file is not replaced" "$cli" config php "$dir/$name.json" --engine "$dialect" --output "$dir/$name.php"
    }
    i=0
    for pw in "${config_passwords[@]}"; do
        i=$((i + 1))
        config_case mariadb maria_admin "$dir/maria.sock" "c_m$i" "$pw" laravel wordpress php
        [ -n "$postgres" ] && config_case postgresql pg_admin "$dir" "c_p$i" "$pw" laravel php
    done
else
    echo "config skipped: php is not installed (./dev installs it)" >&2
    failed=$((failed + 1))
fi

# The report as profile prints it, read from standard input, into both servers.
report=$("$cli" profile example.com --crlf --special-chars "'\\\`\$%#;-" --length 24)
name=$(sed -n 's/^数据库用户：\(.*\)\r$/\1/p' <<<"$report")
pw=$(sed -n 's/^数据库密码：\(.*\)\r$/\1/p' <<<"$report")
printf '%s' "$report" | "$cli" sql mariadb >"$dir/report-m.sql"
table=$(sed -n 's/^数据库表名：\(.*\)\r$/\1/p' <<<"$report")
try mariadb maria_admin maria_user "$table" "$name" "$pw" "$dir/report-m.sql"
if [ -n "$postgres" ]; then
    printf '%s' "$report" | "$cli" sql postgresql >"$dir/report-p.sql"
    try postgresql pg_admin pg_user "$table" "$name" "$pw" "$dir/report-p.sql"

    # The statement log saw every CREATE ROLE, and no password in it.
    check "the PostgreSQL log holds the statements" grep -q 'CREATE ROLE' "$dir/pg.log"
    for pw in "${passwords[@]}" "$pw"; do
        check "the PostgreSQL log holds no plaintext password" bash -c '! grep -qF -- "$1" "$2"' _ "$pw" "$dir/pg.log"
    done
fi

[ "$failed" -eq 0 ] || tail -n 30 "$dir/checks.log" >&2
echo "MariaDB $(mariadbd --version | awk '{print $3}')${postgres:+, PostgreSQL $("$pgbin/postgres" --version | awk '{print $3}')}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
