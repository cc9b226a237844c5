#!/usr/bin/env bash
# Seconds per site add beside the same steps typed by hand (the README's commands: adduser,
# install -d, sql | mariadb, config --output, the server file and its link, the servers' tests
# and reloads, a request), five sites each, on Debian's own servers started in a namespace over
# throw-away /etc, /var and /run.
# Usage (as root): bench/site_add.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$(realpath "$1")
here=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
[ "$(id -u)" -eq 0 ] && runuser -u nobody -- true 2>/dev/null ||
    { echo "site add: skipped, it needs root and a namespace of its own"; exit 0; }
if [ -z "${SITEPASS_SITE_NAMESPACE:-}" ]; then
    SITEPASS_SITE_NAMESPACE=1 exec unshare --mount --net --pid --fork --mount-proc --propagation private "$0" "$@"
fi
. "$here/debian_servers.sh"
sites=5
by_hand() { # by_hand N: the kit, as the README gives it, for h$N.test
    local host=h$1.test dir=/var/www/H$1_TEST user=site-h$1_test json=$scratch/h$1.json
    adduser --system --group --no-create-home --home /nonexistent --shell /usr/sbin/nologin "$user" >/dev/null 2>&1
    install -d -o "$user" -g www-data -m 0750 "$dir"
    install -d -o "$user" -g "$user" -m 0700 "$dir/.php/tmp" "$dir/.php/sessions" "$dir/.php/log"
    install -d -m 0750 /var/log/php-fpm
    echo '<?php echo "ok\n";' >"$dir/index.php" && chown "$user:www-data" "$dir/index.php"
    "$cli" sql mariadb "$json" | mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u root
    "$cli" config php "$json" --output "$dir/config.php" --group "$user"
    "$cli" config php-fpm "$json" --output "/etc/php/$php/fpm/pool.d/H$1_TEST.conf"
    "$cli" config nginx "$json" >"/etc/nginx/sites-available/$host"
    ln -s "/etc/nginx/sites-available/$host" "/etc/nginx/sites-enabled/$host"
    "php-fpm$php" -t 2>/dev/null && nginx -t -q && kill -USR2 "$(cat "/run/php/php$php-fpm.pid")" || return 1
    for _ in $(seq 100); do [ -S "/run/php/H$1_TEST.sock" ] && break; sleep 0.05; done
    nginx -s reload 2>/dev/null
    for _ in $(seq 50); do curl -s --resolve "$host:80:127.0.0.1" "http://$host/" | grep -q ok && return 0; sleep 0.2; done
    return 1
}
remove_by_hand() { # remove_by_hand N: the same site taken away again, as the README's commands do
    local host=h$1.test json=$scratch/h$1.json db
    rm "/etc/nginx/sites-enabled/$host" "/etc/nginx/sites-available/$host" "/etc/php/$php/fpm/pool.d/H$1_TEST.conf"
    kill -USR2 "$(cat "/run/php/php$php-fpm.pid")"
    for _ in $(seq 100); do [ -S "/run/php/H$1_TEST.sock" ] || break; sleep 0.05; done
    nginx -s reload 2>/dev/null
    db=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["db_table"])' "$json")
    mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u root -e "DROP DATABASE $db; DROP USER '$db'@'localhost'"
    rm -rf "/var/www/H$1_TEST" && deluser --quiet "site-h$1_test" >/dev/null 2>&1
}
seconds() { awk -v a="$1" -v b="$(date +%s%N)" -v n="$sites" 'BEGIN { printf "%.2f", (b - a) / n / 1e9 }'; }
# The names come from the second a profile is drawn in: one profile a second, drawn before.
for i in $(seq "$sites"); do
    "$cli" profile "s$i.test" --json --output "$scratch/s$i.json" && sleep 1
    "$cli" profile "h$i.test" --json --output "$scratch/h$i.json" && sleep 1
done
t0=$(date +%s%N)
for i in $(seq "$sites"); do "$cli" site add "s$i.test" --app php --profile "$scratch/s$i.json" >/dev/null || echo "site add failed" >&2; done
ours=$(seconds "$t0")
t0=$(date +%s%N)
for i in $(seq "$sites"); do by_hand "$i" || echo "by hand failed" >&2; done
hand=$(seconds "$t0")
t0=$(date +%s%N)
for i in $(seq "$sites"); do "$cli" site remove "s$i.test" --drop-database --delete-files 2>/dev/null || echo "site remove failed" >&2; done
ours_rm=$(seconds "$t0")
t0=$(date +%s%N)
for i in $(seq "$sites"); do remove_by_hand "$i" || echo "removing by hand failed" >&2; done
hand_rm=$(seconds "$t0")
row() { printf '| %-44s | %10s | %10s | %s |\n' "$@"; }
echo "A whole site on one server, $sites sites each (nginx, php-fpm, MariaDB)"
echo
row "measure" "site add" "by hand" "ratio"
row "---" "---:" "---:" "---:"
row "seconds per site, checks and request included" "$ours" "$hand" \
    "$(awk -v a="$ours" -v b="$hand" 'BEGIN { printf "%.2fx", a / b }')"
row "seconds per site removed, files and database too" "$ours_rm" "$hand_rm" \
    "$(awk -v a="$ours_rm" -v b="$hand_rm" 'BEGIN { printf "%.2fx", a / b }')"
