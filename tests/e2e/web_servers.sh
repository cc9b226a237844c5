#!/usr/bin/env bash
# One profile becomes the whole site, proven by real servers started here: sql makes its MariaDB
# account, config php its settings (0640, group nogroup, outside the served folder), config
# php-fpm/nginx/apache the pool and the web server's part. php-fpm, nginx and Apache (masters as
# root, workers and the pool as nobody, on loopback high ports, beside a catch-all default server)
# answer curl; pebble and lego make the TLS certificate through the generated nginx block.
# Everything lives in a temporary folder and is stopped on every exit path.
# Usage (as root): web_servers.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$1
[ "$(id -u)" -eq 0 ] || { echo "skipped: the servers' masters run as root" >&2; exit 77; }
. "$(dirname "$0")/servers.sh"
server_folder sitepass-web
passed=0 failed=0
expect() { # expect NAME PATTERN COMMAND...: the command's output matches the extended pattern
    local name=$1 pattern=$2 out; shift 2
    out=$("$@" 2>>"$dir/checks.log")
    if grep -qE -- "$pattern" <<<"$out"; then passed=$((passed + 1)); else
        failed=$((failed + 1)); echo "FAIL: $name: got $(head -c 300 <<<"$out")" >&2; fi
}
lacks() { # lacks NAME PATTERN COMMAND...: the output does not match
    local name=$1 pattern=$2 out; shift 2
    out=$("$@" 2>>"$dir/checks.log")
    if grep -qE -- "$pattern" <<<"$out"; then failed=$((failed + 1)); echo "FAIL: $name: got $(head -c 300 <<<"$out")" >&2; else
        passed=$((passed + 1)); fi
}
missing=""
for program in nginx apache2 curl pebble pebble-challtestsrv lego openssl; do
    command -v "$program" >/dev/null || missing+=" $program"
done
fpm=$(ls /usr/sbin/php-fpm* 2>/dev/null | sort -V | tail -n1)
[ -n "$fpm" ] || missing+=" php-fpm"
[ -z "$missing" ] || { echo "FAIL: not installed:$missing (./dev installs them)" >&2; exit 1; }
# Where the root directory is closed to other users, workers that drop to nobody can open
# nothing: nginx and the pool then run their workers as root (php-fpm -R), and Apache, which
# refuses root workers, is skipped, saying so.
worker=nobody worker_group=nogroup fpm_root=()
if [ -n "$root_closed" ]; then
    worker=root worker_group=root fpm_root=(-R)
    echo "Apache skipped and nginx and php-fpm workers run as root: the root directory is closed to other users" >&2
fi

read -r http https acme acme_manage dns dns_manage tlsalpn < <(free_ports 7)
host=site.test
root=$dir/www/site
public=$root/public
maria_start

# The profile, on this test's port, and its database account.
"$cli" profile "$host" --json --port "$http" --admin-path /admin.php >"$dir/profile.json"
"$cli" sql mariadb "$dir/profile.json" | maria_admin || { echo "FAIL: sql" >&2; exit 1; }

# The site's files: secrets where a careless server would hand them out, and an upload that
# holds PHP.
mkdir -p "$public/.git" "$public/up" "$public/.well-known/acme-challenge"
"$cli" config php "$dir/profile.json" --output "$root/config.php" --group nogroup ||
    { echo "FAIL: config php --output --group" >&2; exit 1; }
expect "config.php is 0640 root:nogroup" '^640 root nogroup$' stat -c '%a %U %G' "$root/config.php"
cat >"$public/index.php" <<PHP
<?php
\$c = include dirname(__DIR__) . '/config.php';
\$pdo = new PDO("mysql:unix_socket=$dir/maria.sock;dbname={\$c['database']}", \$c['username'], \$c['password']);
echo 'logged in as ', \$pdo->query('SELECT CURRENT_USER()')->fetchColumn(), ' over ', \$_SERVER['REQUEST_SCHEME'] ?? '', "\n";
PHP
echo '<?php echo "admin page\n";' >"$public/admin.php"
echo '<?php echo @file_get_contents($_GET["f"]) === false ? "refused\n" : "read\n";' >"$public/read.php"
echo 'DB_PASSWORD=dotenv-secret' >"$public/.env"
printf '[remote "origin"]\n\turl = https://git-secret@example.org/\n' >"$public/.git/config"
echo '<?php echo strrev("nur"), "\n";' >"$public/up/x.jpg"
echo 'acme-probe' >"$public/.well-known/acme-challenge/probe"

options=(--site-root "$root" --run-dir public --php-socket "$dir/php.sock" --php-user "$worker"
         --web-user "$worker" --listen-address 127.0.0.1 --admin-allow 127.0.0.2)
for format in php-fpm nginx apache; do
    "$cli" config "$format" "$dir/profile.json" "${options[@]}" >"$dir/site.$format" ||
        { echo "FAIL: config $format" >&2; exit 1; }
done

# php-fpm: the pool alone, from its own files.
printf '[global]\npid = %s\nerror_log = %s\ndaemonize = no\ninclude = %s\n' \
    "$dir/fpm.pid" "$dir/fpm.log" "$dir/site.php-fpm" >"$dir/fpm.conf"
on_exit 'stop_pid "$dir/fpm.pid"'
"$fpm" -F "${fpm_root[@]}" -y "$dir/fpm.conf" >"$dir/fpm.out" 2>&1 &
for _ in $(seq 100); do [ -S "$dir/php.sock" ] && break; sleep 0.1; done
expect "the pool's socket is the web user's alone" "^600 $worker\$" stat -c '%a %U' "$dir/php.sock"

# nginx: -p and -c, the site's block included by absolute path beside a catch-all default.
nginx_conf() { # nginx_conf SITE-FILE
    mkdir -p "$dir/nginx/logs" "$dir/nginx/tmp"
    cat >"$dir/nginx/nginx.conf" <<CONF
user $worker $worker_group;
worker_processes 1;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/logs/error.log;
events { worker_connections 64; }
http {
    access_log $dir/nginx/logs/access.log;
    client_body_temp_path $dir/nginx/tmp/body;
    fastcgi_temp_path $dir/nginx/tmp/fastcgi;
    proxy_temp_path $dir/nginx/tmp/proxy;
    uwsgi_temp_path $dir/nginx/tmp/uwsgi;
    scgi_temp_path $dir/nginx/tmp/scgi;
    default_type text/plain;
$([ -z "$alone" ] && printf '    server {\n        listen 127.0.0.1:%s default_server;\n        listen 127.0.0.1:%s ssl default_server;\n        ssl_reject_handshake on;\n        return 421 "catch-all\\n";\n    }' "$http" "$https")
    include $1;
}
CONF
}
alone="" # set: no catch-all, so the site's own block is the port's default
nginx_start() {
    nginx_conf "$1"
    nginx -t -q -p "$dir/nginx" -c "$dir/nginx/nginx.conf" 2>>"$dir/checks.log" ||
        { failed=$((failed + 1)); echo "FAIL: nginx -t" >&2; tail -n 5 "$dir/checks.log" >&2; return 1; }
    nginx -p "$dir/nginx" -c "$dir/nginx/nginx.conf"
    for _ in $(seq 50); do [ -s "$dir/nginx/nginx.pid" ] && break; sleep 0.1; done
}
on_exit 'stop_pid "$dir/nginx/nginx.pid"'

get() { curl -s --max-time 10 --resolve "$host:$http:127.0.0.1" --resolve "$host:$https:127.0.0.1" "$@"; }
status() { get -o /dev/null -w '%{http_code}\n' "$@"; }

# The same checks against whichever server answers on $http (and $https with TLS).
site_checks() { # site_checks SERVER SCHEME PORT [CURL-OPTIONS...]
    local server=$1 scheme=$2 port=$3; shift 3
    local url=$scheme://$host:$port
    expect "$server: / logs in to MariaDB with config.php" "^logged in as $(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["db_user"])' "$dir/profile.json")@localhost over $scheme" get "$@" "$url/"
    lacks "$server: /.env is not served" 'dotenv-secret' get "$@" "$url/.env"
    lacks "$server: /.git/config is not served" 'git-secret' get "$@" "$url/.git/config"
    expect "$server: /.env answers 403 or 404" '^40[34]$' status "$@" "$url/.env"
    expect "$server: the admin path from 127.0.0.1 is refused" '^403$' status "$@" "$url/admin.php"
    expect "$server: the admin path from 127.0.0.2 is served" '^admin page' get "$@" --interface 127.0.0.2 "$url/admin.php"
    expect "$server: PHP reads its own site" '^read' get "$@" "$url/read.php?f=$root/config.php"
    expect "$server: PHP reads nothing outside the site root" '^refused' get "$@" "$url/read.php?f=/etc/os-release"
    lacks "$server: an uploaded .jpg is not run as PHP" 'run' get "$@" "$url/up/x.jpg/x.php"
    lacks "$server: another host name does not reach the site" 'logged in|admin page' \
        get "$@" -H "Host: other.test" "$url/"
    lacks "$server: a missing script never reaches PHP-FPM" 'File not found|Primary script' \
        get "$@" "$url/missing.php"
}

# Plain HTTP through nginx.
nginx_start "$dir/site.nginx" && site_checks nginx http "$http"
expect "nginx: the ACME path is served" '^acme-probe$' get "http://$host:$http/.well-known/acme-challenge/probe"

# TLS: pebble (its own certificate from openssl; pebble-challtestsrv answering 127.0.0.1 for
# every name) issues a certificate to lego, whose http-01 token the nginx block serves.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=pebble \
    -keyout "$dir/pebble.key" -out "$dir/pebble.pem" -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" 2>/dev/null
cat >"$dir/pebble.json" <<CONF
{"pebble": {"listenAddress": "127.0.0.1:$acme", "managementListenAddress": "127.0.0.1:$acme_manage",
  "certificate": "$dir/pebble.pem", "privateKey": "$dir/pebble.key",
  "httpPort": $http, "tlsPort": $tlsalpn, "ocspResponderURL": "", "externalAccountBindingRequired": false}}
CONF
pebble-challtestsrv -dns01 "127.0.0.1:$dns" -http01 "" -https01 "" -tlsalpn01 "" \
    -management "127.0.0.1:$dns_manage" -defaultIPv4 127.0.0.1 -defaultIPv6 "" >"$dir/challtestsrv.log" 2>&1 &
echo $! >"$dir/challtestsrv.pid"
on_exit 'stop_pid "$dir/challtestsrv.pid"'
PEBBLE_VA_NOSLEEP=1 PEBBLE_WFE_NONCEREJECT=0 pebble -config "$dir/pebble.json" -dnsserver "127.0.0.1:$dns" \
    >"$dir/pebble.log" 2>&1 &
echo $! >"$dir/pebble.pid"
on_exit 'stop_pid "$dir/pebble.pid"'
for _ in $(seq 100); do curl -s --cacert "$dir/pebble.pem" "https://127.0.0.1:$acme/dir" >/dev/null && break; sleep 0.1; done
LEGO_CA_CERTIFICATES=$dir/pebble.pem lego --server "https://127.0.0.1:$acme/dir" --path "$dir/lego" \
    --email admin@$host --accept-tos --domains "$host" --http --http.webroot "$public" run \
    >"$dir/lego.log" 2>&1
certificate=$dir/lego/certificates/$host.crt key=$dir/lego/certificates/$host.key
if [ -s "$certificate" ]; then
    passed=$((passed + 1))
    curl -s --cacert "$dir/pebble.pem" "https://127.0.0.1:$acme_manage/roots/0" >"$dir/root.pem"
    tls=(--tls-certificate "$certificate" --tls-key "$key" --tls-port "$https")
    "$cli" config nginx "$dir/profile.json" "${options[@]}" "${tls[@]}" >"$dir/site-tls.nginx"
    "$cli" config apache "$dir/profile.json" "${options[@]}" "${tls[@]}" >"$dir/site-tls.apache"
    stop_pid "$dir/nginx/nginx.pid"
    nginx_start "$dir/site-tls.nginx" && site_checks "nginx TLS" https "$https" --cacert "$dir/root.pem"
    expect "nginx TLS: plain HTTP redirects with path and query" \
        "^301 https://$host:$https/a/b\\?x=1\$" get -o /dev/null -w '%{http_code} %{redirect_url}\n' "http://$host:$http/a/b?x=1"
    expect "nginx TLS: the ACME path stays on plain HTTP" '^acme-probe$' get "http://$host:$http/.well-known/acme-challenge/probe"
else
    failed=$((failed + 1))
    echo "FAIL: lego got no certificate" >&2; tail -n 15 "$dir/lego.log" >&2
fi
stop_pid "$dir/nginx/nginx.pid"
# Where the block is the port's default server, another host name is still turned away.
alone=yes
nginx_start "$dir/site.nginx" && lacks "nginx as the default server: another host name does not reach the site" \
    'logged in|catch-all' get -H "Host: other.test" "http://$host:$http/"
expect "nginx as the default server: the site still answers" '^logged in' get "http://$host:$http/"
stop_pid "$dir/nginx/nginx.pid"
alone=""

# Apache: -f with a file of its own (not apache2ctl, which reads /etc/apache2/envvars), on the
# same ports, beside a catch-all default VirtualHost.
modules=/usr/lib/apache2/modules
builtin=$(apache2 -l)
apache_start() { # apache_start SITE-FILE [TLS]
    {
        echo "ServerRoot $dir/apache"
        echo "ServerName localhost"
        echo "PidFile $dir/apache/apache.pid"
        echo "DefaultRuntimeDir $dir/apache"
        echo "Mutex file:$dir/apache default"
        echo "ErrorLog $dir/apache/error.log"
        echo "LogLevel warn"
        echo "TypesConfig /etc/mime.types"
        for m in mpm_event unixd authz_core authz_host dir alias mime proxy proxy_fcgi ssl socache_shmcb; do
            grep -q "mod_$m.c" <<<"$builtin" || echo "LoadModule ${m}_module $modules/mod_$m.so"
        done
        echo "User nobody"
        echo "Group nogroup"
        echo "Listen 127.0.0.1:$http"
        [ -n "$alone" ] || printf '<VirtualHost 127.0.0.1:%s>\n    ServerName catch-all.invalid\n    Redirect 410 /\n</VirtualHost>\n' "$http"
        if [ -n "${2:-}" ]; then
            echo "Listen 127.0.0.1:$https"
            echo "<VirtualHost 127.0.0.1:$https>"
            echo "    ServerName catch-all.invalid"
            echo "    SSLEngine on"
            echo "    SSLCertificateFile $dir/pebble.pem"
            echo "    SSLCertificateKeyFile $dir/pebble.key"
            echo "    Redirect 410 /"
            echo "</VirtualHost>"
        fi
        echo "Include $1"
    } >"$dir/apache/apache.conf"
    apache2 -t -f "$dir/apache/apache.conf" >>"$dir/checks.log" 2>&1 ||
        { failed=$((failed + 1)); echo "FAIL: apache2 -t" >&2; tail -n 5 "$dir/checks.log" >&2; return 1; }
    apache2 -f "$dir/apache/apache.conf" -k start >>"$dir/checks.log" 2>&1
    for _ in $(seq 50); do [ -s "$dir/apache/apache.pid" ] && curl -s "http://127.0.0.1:$http/" >/dev/null && break; sleep 0.1; done
}
[ -z "$root_closed" ] || { echo "$passed passed, $failed failed (Apache skipped)"; [ "$failed" -eq 0 ]; exit; }
mkdir -p "$dir/apache"
on_exit 'stop_pid "$dir/apache/apache.pid"'
apache_start "$dir/site.apache" && site_checks apache http "$http"
expect "apache: the ACME path is served" '^acme-probe$' get "http://$host:$http/.well-known/acme-challenge/probe"
stop_pid "$dir/apache/apache.pid"
alone=yes
apache_start "$dir/site.apache" && expect "apache as the default VirtualHost: another host name is refused" \
    '^403$' status -H "Host: other.test" "http://$host:$http/"
stop_pid "$dir/apache/apache.pid"
alone=""
if [ -s "$certificate" ]; then
    apache_start "$dir/site-tls.apache" tls && site_checks "apache TLS" https "$https" --cacert "$dir/root.pem"
    expect "apache TLS: plain HTTP redirects with path and query" \
        "^301 https://$host:$https/a/b\\?x=1\$" get -o /dev/null -w '%{http_code} %{redirect_url}\n' "http://$host:$http/a/b?x=1"
    expect "apache TLS: the ACME path stays on plain HTTP" '^acme-probe$' get "http://$host:$http/.well-known/acme-challenge/probe"
fi

[ "$failed" -eq 0 ] || { tail -n 20 "$dir/checks.log" "$dir/fpm.log" "$dir/nginx/logs/error.log" "$dir/apache/error.log" 2>/dev/null >&2; }
echo "$(nginx -v 2>&1 | sed 's/.*\///'), Apache $(apache2 -v | sed -n 's/.*Apache\/\([^ ]*\).*/\1/p'), $(basename "$fpm"), lego $(lego -v | awk '{print $3}')"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
