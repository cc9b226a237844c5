#!/usr/bin/env bash
# Requests a live site loses while its database password changes: three clients load a PHP page
# (nginx, the site's php-fpm pool, PHP's opcache on as Debian ships it, MariaDB on loopback)
# that reads config.php and logs in, while rotate runs three times. The order rotate had before
# (change, prove, then rename, under opcache's default revalidate_freq of 2 s) beside today's
# (rename at once after the change, the pool's revalidate_freq 0), on the same site and servers.
# Usage (as root): bench/rotate_window.sh OLD/sitepass-cli NEW/sitepass-cli
set -uo pipefail
old_cli=$1 new_cli=$2
[ "$(id -u)" -eq 0 ] || { echo "rotate window: skipped, the servers' masters need root"; exit 0; }
fpm=$(ls /usr/sbin/php-fpm* 2>/dev/null | sort -V | tail -n1)
[ -n "$fpm" ] && command -v nginx >/dev/null || { echo "rotate window: skipped, no php-fpm or nginx"; exit 0; }
. "$(dirname "$0")/../tests/e2e/servers.sh"
server_folder sitepass-bench-window
read -r port http < <(free_ports 2)
maria_start --port="$port" --bind-address=127.0.0.1
mkdir -p "$dir/site/public" "$dir/site/.php/tmp" "$dir/site/.php/sessions" "$dir/site/.php/log" "$dir/logs" "$dir/nginx"
"$new_cli" profile window.test --json --port "$http" --output "$dir/site.json"
"$new_cli" sql mariadb --host=% "$dir/site.json" | maria_admin
"$new_cli" config php --db-host 127.0.0.1 "$dir/site.json" | sed "s/=> 3306,/=> $port,/" >"$dir/site/config.php"
cat >"$dir/site/public/index.php" <<'PHP'
<?php
$c = include dirname(__DIR__) . '/config.php';
new PDO("mysql:host={$c['host']};port={$c['port']};dbname={$c['database']}", $c['username'], $c['password']);
echo "ok\n";
PHP
web=(--site-root "$dir/site" --run-dir public --php-socket "$dir/fpm.sock" --php-user root --web-user root
     --listen-address 127.0.0.1 --log-dir "$dir/logs")
"$new_cli" config php-fpm "$dir/site.json" "${web[@]}" | sed 's/^pm.max_children = .*/pm.max_children = 6/' >"$dir/pool.conf"
"$new_cli" config nginx "$dir/site.json" "${web[@]}" >"$dir/site.nginx"
cat >"$dir/nginx/nginx.conf" <<CONF
user root root;
worker_processes 1;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/error.log;
events { worker_connections 256; }
http {
    access_log off;
    client_body_temp_path $dir/nginx/body;
    fastcgi_temp_path $dir/nginx/fastcgi;
    include $dir/site.nginx;
}
CONF
fpm_start() { # fpm_start POOL-FILE
    printf '[global]\npid = %s\nerror_log = %s\ndaemonize = no\ninclude = %s\n' \
        "$dir/fpm.pid" "$dir/fpm.log" "$1" >"$dir/fpm.conf"
    "$fpm" -F -R -y "$dir/fpm.conf" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -S "$dir/fpm.sock" ] && break; sleep 0.1; done
}
on_exit 'stop_pid "$dir/fpm.pid"'
on_exit 'stop_pid "$dir/nginx/nginx.pid"'
nginx -p "$dir/nginx" -c "$dir/nginx/nginx.conf"

# lost CLI POOL: requests failed over three rotations, each with three clients loading the page.
lost() {
    local cli=$1 pool=$2
    fpm_start "$pool"
    python3 - "$http" "$dir/stop" >"$dir/clients.out" <<'PY' &
import http.client, os, sys, threading
port, stop = int(sys.argv[1]), sys.argv[2]
counts = {"ok": 0, "failed": 0}
lock = threading.Lock()
def client():
    while not os.path.exists(stop):
        try:
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            c.request("GET", "/", headers={"Host": "window.test"})
            r = c.getresponse(); body = r.read(); c.close()
            good = r.status == 200 and body == b"ok\n"
        except OSError:
            good = False
        with lock:
            counts["ok" if good else "failed"] += 1
threads = [threading.Thread(target=client) for _ in range(3)]
for t in threads: t.start()
for t in threads: t.join()
print(counts["ok"], counts["failed"])
PY
    local clients=$!
    sleep 3
    for _ in 1 2 3; do "$cli" rotate php "$dir/site/config.php" 2>>"$dir/rotate.log" || echo "rotate failed" >&2; sleep 3; done
    touch "$dir/stop"; wait "$clients"; rm -f "$dir/stop"
    stop_pid "$dir/fpm.pid"
    cat "$dir/clients.out"
}
row() { printf '| %-54s | %10s | %10s | %s |\n' "$@"; }
sed '/opcache.revalidate_freq/d' "$dir/pool.conf" >"$dir/pool-before.conf"
read -r before_ok before_failed < <(lost "$old_cli" "$dir/pool-before.conf")
read -r now_ok now_failed < <(lost "$new_cli" "$dir/pool.conf")
echo "Requests lost while rotate changes a live site's password (3 clients, 3 rotations each)"
echo
row "order" "answered" "lost" "lost per rotation"
row "---" "---:" "---:" "---:"
row "before: change, prove, rename; revalidate_freq 2 s" "$before_ok" "$before_failed" \
    "$(awk -v f="$before_failed" 'BEGIN { printf "%.1f", f / 3 }')"
row "now: change, rename at once, prove; revalidate_freq 0" "$now_ok" "$now_failed" \
    "$(awk -v f="$now_failed" 'BEGIN { printf "%.1f", f / 3 }')"
