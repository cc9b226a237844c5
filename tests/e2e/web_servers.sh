#!/usr/bin/env bash
# Profiles become whole sites, proven by real servers started here: sql makes a site's MariaDB
# account, config php its settings, config php-fpm/nginx/apache the pools and the web server's
# part. Two sites, a.test and b.test, made with the defaults (paths aside), are served together:
# each pool as the site's own user (added to private copies of /etc/passwd and /etc/group in a
# mount namespace of this test's), the web servers' workers as www-data, on loopback high ports
# beside a catch-all default server. php-fpm, nginx and Apache answer curl; pebble and lego make
# the TLS certificate through the generated nginx block. Everything lives in a temporary folder
# and is stopped on every exit path.
# Usage (as root): web_servers.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$1
[ "$(id -u)" -eq 0 ] || { echo "skipped: the servers' masters run as root" >&2; exit 77; }
# The sites' users are added where only this test sees them. Where the root directory is closed
# (a chroot, whose root is no mount point to make private) the pools run as root and need none.
if [ -z "${SITEPASS_WEB_NAMESPACE:-}" ] && runuser -u nobody -- true 2>/dev/null; then
    SITEPASS_WEB_NAMESPACE=1 exec unshare --mount --pid --fork --mount-proc --propagation private "$0" "$@"
fi
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
# Where the root directory is closed to other users, workers that drop to another user can open
# nothing: nginx and the pools then run as root (php-fpm -R), Apache, which refuses root
# workers, is skipped, and so is what needs the sites' own users, saying so.
web=www-data web_group=www-data fpm_root=() users=()
if [ -n "$root_closed" ]; then
    web=root web_group=root fpm_root=(-R) users=(--php-user root)
    echo "Apache and the checks between two sites skipped, nginx and php-fpm run as root: the root directory is closed to other users" >&2
fi

read -r http https acme acme_manage dns dns_manage tlsalpn < <(free_ports 7)
head -c 1572864 /dev/urandom >"$dir/upload.bin"
maria_start

# The sites' users, as the pools' comments say to make them, in this namespace's copies.
if [ -z "$root_closed" ]; then
    cp /etc/passwd /etc/group "$dir/"
    mount --bind "$dir/passwd" /etc/passwd && mount --bind "$dir/group" /etc/group ||
        { echo "FAIL: no private /etc/passwd" >&2; exit 1; }
    on_exit 'umount /etc/passwd /etc/group'
    uid=64100
    for site in a b; do
        uid=$((uid + 1))
        echo "site-${site}_test:x:$uid:$uid::/nonexistent:/usr/sbin/nologin" >>/etc/passwd
        echo "site-${site}_test:x:$uid:" >>/etc/group
    done
fi

# site ROOT HOST ADMIN-PATH: the profile, its database account, its folders and files (the
# layout the README gives: the site's user owns its folder, the web server's group reads it,
# the settings are the site's group's alone), and the three files.
site() {
    local name=$1 host=$2 admin=$3 root=$dir/www/$1 user=site-$1_test folder=${3%/}
    [ -n "$root_closed" ] && user=root
    "$cli" profile "$host" --json --port "$http" --admin-path "$admin" >"$dir/$name.json"
    "$cli" sql mariadb "$dir/$name.json" | maria_admin || { echo "FAIL: sql $name" >&2; exit 1; }
    install -d -m 0750 "$root"
    mkdir -p "$root/public/.git" "$root/public/up" "$root/public$folder/css" "$root/public/.well-known/acme-challenge"
    install -d -o "$user" -g "$user" -m 0700 "$root/.php/tmp" "$root/.php/sessions" "$root/.php/log"
    "$cli" config php "$dir/$name.json" --output "$root/config.php" --group "$user" ||
        { echo "FAIL: config php --output --group" >&2; exit 1; }
    cat >"$root/public/index.php" <<PHP
<?php
// A front controller: routes on the path after the script's name, as frameworks do.
\$path = rawurldecode(parse_url(\$_SERVER['REQUEST_URI'], PHP_URL_PATH));
if (str_starts_with(\$path, '/index.php')) \$path = substr(\$path, 10);
if (\$path === '$folder' || str_starts_with(\$path, '$folder/')) { echo "admin route\n"; exit; }
\$c = include dirname(__DIR__) . '/config.php';
\$pdo = new PDO("mysql:unix_socket=$dir/maria.sock;dbname={\$c['database']}", \$c['username'], \$c['password']);
echo 'logged in as ', \$pdo->query('SELECT CURRENT_USER()')->fetchColumn(), ' over ', \$_SERVER['REQUEST_SCHEME'] ?? '',
    ' as ', posix_getpwuid(posix_geteuid())['name'], ' for ', \$_SERVER['HTTP_HOST'] ?? '', "\n";
PHP
    echo '<?php echo "admin page\n";' >"$root/public$folder/index.php"
    cp "$root/public$folder/index.php" "$root/public$folder/x.php"
    cp "$root/public$folder/index.php" "$root/public/wp-login.php"
    cp "$root/public$folder/index.php" "$root/public/xmlrpc.php"
    echo 'ADMIN_SECRET=nested-secret' >"$root/public$folder/.env"
    # What WordPress's admin folder serves to every visitor.
    echo '<?php echo "open to all\n";' >"$root/public$folder/admin-ajax.php"
    cp "$root/public$folder/admin-ajax.php" "$root/public$folder/load-styles.php"
    echo 'open to all' >"$root/public$folder/css/login.min.css"
    echo '<?php echo $_FILES["f"]["size"] ?? "none", " ", $_FILES["f"]["error"] ?? "", "\n";' >"$root/public/upload.php"
    echo '<?php error_log("error of " . $_SERVER["HTTP_HOST"]); echo "logged\n";' >"$root/public/error.php"
    # PHP's shared script cache, asked about another site's file.
    cat >"$root/public/cache.php" <<'PHP'
<?php
$f = $_GET['f'] ?? '';
if (isset($_GET['include'])) { $c = @include $f; echo is_array($c) ? "read {$c['password']}\n" : "refused\n"; }
if (isset($_GET['list'])) echo str_contains(var_export(@opcache_get_status(true), true), $f) ? "listed\n" : "not listed\n";
if (isset($_GET['invalidate'])) echo @opcache_invalidate($f, true) ? "invalidated\n" : "refused\n";
if (isset($_GET['enabled'])) echo extension_loaded('Zend OPcache') && ini_get('opcache.enable') ? "cache on\n" : "cache off\n";
PHP
    echo '<?php echo @file_get_contents($_GET["f"]) === false ? "refused\n" : "read\n";' >"$root/public/read.php"
    echo '<?php echo shell_exec("cat " . escapeshellarg($_GET["f"]) . " 2>/dev/null") ? "read\n" : "refused\n";' >"$root/public/shell.php"
    cat >"$root/public/keep.php" <<'PHP'
<?php
// Leaves a temporary file and a session holding a secret; prints where.
$file = tempnam(sys_get_temp_dir(), 'x');
file_put_contents($file, 'temp-secret');
session_start();
$_SESSION['secret'] = 'session-secret';
echo $file, ' ', session_id(), "\n";
PHP
    echo '<?php session_id($_GET["id"]); session_start(); echo $_SESSION["secret"] ?? "no session", "\n";' \
        >"$root/public/session.php"
    echo 'DB_PASSWORD=dotenv-secret' >"$root/public/.env"
    printf '[remote "origin"]\n\turl = https://git-secret@example.org/\n' >"$root/public/.git/config"
    echo '<?php echo strrev("nur"), "\n";' >"$root/public/up/x.jpg"
    echo 'acme-probe' >"$root/public/.well-known/acme-challenge/probe"
    echo "$name-file" >"$root/public/own.txt"
    chown -R "$user:$user" "$root/public"
    chown "$user:$web_group" "$root"
    local options=(--site-root "$root" --run-dir public --php-socket "$dir/$name.sock" "${users[@]}"
                   --web-user "$web" --listen-address 127.0.0.1 --admin-allow 127.0.0.2 --log-dir "$dir/logs")
    "$cli" config php-fpm "$dir/$name.json" "${options[@]}" --output "$dir/$name.php-fpm" ||
        { echo "FAIL: config php-fpm --output" >&2; exit 1; }
    for format in nginx apache; do
        "$cli" config "$format" "$dir/$name.json" "${options[@]}" >"$dir/$name.$format" ||
            { echo "FAIL: config $format" >&2; exit 1; }
    done
    [ "$name" != a ] || tls_options=("${options[@]}")
}
mkdir -p "$dir/logs"
site a a.test /admin
sleep 1 # the next second's token: another database user
site b b.test /wp-admin/
# b's PHP would also be refused a's settings by a stat of the file, which revalidate_freq = 0
# makes on every include: without it, only the cache's own check stands in the way.
sed -i '/opcache.revalidate_freq/d' "$dir/b.php-fpm"
expect "config.php is 0640 root and the site's group" "^640 root $([ -n "$root_closed" ] && echo root || echo site-a_test)\$" \
    stat -c '%a %U %G' "$dir/www/a/config.php"
# Links in a's documents: to a's own file, and to b's.
ln -s "$dir/www/a/public/own.txt" "$dir/www/a/public/link-own.txt"
ln -s "$dir/www/b/public/own.txt" "$dir/www/a/public/link-b.txt"
[ -n "$root_closed" ] || chown -h site-a_test:site-a_test "$dir/www/a/public/link-own.txt" "$dir/www/a/public/link-b.txt"

# php-fpm: the two pools alone, from their own files.
printf '[global]\npid = %s\nerror_log = %s\ndaemonize = no\ninclude = %s\n' \
    "$dir/fpm.pid" "$dir/fpm.log" "$dir/[ab].php-fpm" >"$dir/fpm.conf"
on_exit 'stop_pid "$dir/fpm.pid"'
"$fpm" -F "${fpm_root[@]}" -y "$dir/fpm.conf" >"$dir/fpm.out" 2>&1 &
for _ in $(seq 100); do [ -S "$dir/a.sock" ] && [ -S "$dir/b.sock" ] && break; sleep 0.1; done
expect "a's socket is the web user's alone" "^600 $web\$" stat -c '%a %U' "$dir/a.sock"
expect "php-fpm: each pool has its own slow log" "^$dir/logs/a.test.slow.log $dir/logs/b.test.slow.log\$" \
    echo $(ls "$dir"/logs/*.slow.log)

# nginx: -p and -c, the sites' blocks included by absolute path beside a catch-all default.
nginx_conf() { # nginx_conf SITE-FILE...
    mkdir -p "$dir/nginx/logs" "$dir/nginx/tmp"
    {
        cat <<CONF
user $web $web_group;
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
CONF
        [ -n "$alone" ] || printf '    server {\n        listen 127.0.0.1:%s default_server;\n        listen 127.0.0.1:%s ssl default_server;\n        ssl_reject_handshake on;\n        return 421 "catch-all\\n";\n    }\n' "$http" "$https"
        for file in "$@"; do echo "    include $file;"; done
        echo "}"
    } >"$dir/nginx/nginx.conf"
}
alone="" # set: no catch-all, so the site's own block is the port's default
nginx_start() {
    nginx_conf "$@"
    nginx -t -q -p "$dir/nginx" -c "$dir/nginx/nginx.conf" 2>>"$dir/checks.log" ||
        { failed=$((failed + 1)); echo "FAIL: nginx -t" >&2; tail -n 5 "$dir/checks.log" >&2; return 1; }
    nginx -p "$dir/nginx" -c "$dir/nginx/nginx.conf"
    for _ in $(seq 50); do [ -s "$dir/nginx/nginx.pid" ] && break; sleep 0.1; done
}
on_exit 'stop_pid "$dir/nginx/nginx.pid"'

get() {
    curl -s --max-time 10 --path-as-is --resolve "a.test:$http:127.0.0.1" --resolve "b.test:$http:127.0.0.1" \
        --resolve "a.test:$https:127.0.0.1" "$@"
}
status() { get -o /dev/null -w '%{http_code}\n' "$@"; }

# The same checks against whichever server answers on $http (and $https with TLS), for a.test.
site_checks() { # site_checks SERVER SCHEME PORT [CURL-OPTIONS...]
    local server=$1 scheme=$2 port=$3; shift 3
    local url=$scheme://a.test:$port root=$dir/www/a
    local user; user=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["db_user"])' "$dir/a.json")
    expect "$server: / logs in to MariaDB with config.php, as the site's user" \
        "^logged in as $user@localhost over $scheme as $([ -n "$root_closed" ] && echo root || echo site-a_test) for a.test" get "$@" "$url/"
    lacks "$server: /.env is not served" 'dotenv-secret' get "$@" "$url/.env"
    lacks "$server: /.git/config is not served" 'git-secret' get "$@" "$url/.git/config"
    expect "$server: /.env answers 403 or 404" '^40[34]$' status "$@" "$url/.env"
    expect "$server: PHP reads its own site" '^read' get "$@" "$url/read.php?f=$root/config.php"
    expect "$server: PHP reads nothing outside the site root" '^refused' get "$@" "$url/read.php?f=/etc/os-release"
    lacks "$server: an uploaded .jpg is not run as PHP" 'run' get "$@" "$url/up/x.jpg/x.php"
    lacks "$server: another host name does not reach the site" 'logged in|admin' \
        get "$@" -H "Host: other.test" "$url/"
    # An absolute-form request names the host twice; PHP sees the site's or nothing.
    for host in evil.test a.test:@evil.test a.test:8080evil a.test.; do
        lacks "$server: PHP never sees Host $host (absolute-form request)" 'evil|for a\.test(\.|:[0-9]*[^0-9])' \
            get "$@" -H "Host: $host" --request-target "$url/" "$url/"
    done
    lacks "$server: Host a.test. is refused as nginx and Apache both do" 'logged in' get "$@" -H "Host: a.test." "$url/"
    lacks "$server: a missing script never reaches PHP-FPM" 'File not found|Primary script' \
        get "$@" "$url/missing.php"
    expect "$server: an upload past nginx's 1 MB default reaches PHP whole" '^1572864 0$' \
        get "$@" -F "f=@$dir/upload.bin" "$url/upload.php"
    # The admin path /admin (a.test) and WordPress's /wp-admin/ (b.test), behind a routing index.php.
    local site path adm
    for site in a b; do
        local base=$scheme://$site.test:$port
        [ "$site" = b ] && [ "$scheme" = https ] && continue # b.test has no certificate
        adm=/admin && [ "$site" = b ] && adm=/wp-admin
        for path in $adm $adm/ $adm/index.php $adm/x.php /$adm/index.php "/%$(printf %x "'${adm:1:1}")${adm:2}/index.php" \
            /index.php$adm /index.php$adm/users /index.php/$adm $adm/.env; do
            lacks "$server: $site.test$path from a refused address" 'admin|nested-secret' get "$@" "$base$path"
        done
        expect "$server: $site.test$adm/x.php from an allowed address" '^admin page' \
            get "$@" --interface 127.0.0.2 "$base$adm/x.php"
        expect "$server: $site.test/index.php$adm/users from an allowed address" '^admin route' \
            get "$@" --interface 127.0.0.2 "$base/index.php$adm/users"
        lacks "$server: $site.test$adm/.env from an allowed address" 'nested-secret' \
            get "$@" --interface 127.0.0.2 "$base$adm/.env"
        expect "$server: $site.test$adm from an allowed address" '^admin' get "$@" -L --interface 127.0.0.2 "$base$adm"
    done
    # WordPress's login and XML-RPC are guarded with its admin path; what every visitor loads
    # from it is not.
    [ "$scheme" = http ] || return 0
    for path in /wp-login.php /wp-login.php/x /xmlrpc.php; do
        lacks "$server: b.test$path from a refused address" 'admin' get "$@" "http://b.test:$http$path"
    done
    for path in /wp-admin/admin-ajax.php /wp-admin/load-styles.php /wp-admin/css/login.min.css; do
        expect "$server: b.test$path from any address" '^open to all' get "$@" "http://b.test:$http$path"
    done
    expect "$server: a.test/wp-login.php is not guarded where the admin path is another" '^admin page' \
        get "$@" "$url/wp-login.php"
    [ -z "$root_closed" ] && apart "$server"
}

# Site b's PHP, users and links against site a's secrets.
apart() { # apart SERVER
    local server=$1 a=http://a.test:$http b=http://b.test:$http kept file id
    expect "$server: a link to the same owner's file is served" '^a-file$' get "$a/link-own.txt"
    lacks "$server: a link in a to b's file is not served" 'b-file' get "$a/link-b.txt"
    for how in read shell; do
        expect "$server: b's PHP cannot read a's settings ($how)" '^refused' get "$b/$how.php?f=$dir/www/a/config.php"
    done
    expect "$server: a's PHP reads its settings by a shell command" '^read' get "$a/shell.php?f=$dir/www/a/config.php"
    read -r kept id < <(get "$a/keep.php")
    expect "$server: a's temporary file is in a's own folder" "^$dir/www/a/.php/tmp/" echo "$kept"
    for how in read shell; do
        expect "$server: b's PHP cannot read a's temporary file ($how)" '^refused' get "$b/$how.php?f=$kept"
    done
    expect "$server: a loads its own session" '^session-secret' get "$a/session.php?id=$id"
    expect "$server: b cannot load a's session" '^no session' get "$b/session.php?id=$id"
    # One php-fpm, one script cache: a's settings, once a's page has put them in it, are no
    # nearer to b's PHP, which can neither list nor clear a's scripts (nor can a b's).
    local settings=$dir/www/a/config.php
    expect "$server: PHP's script cache is on" '^cache on' get "$a/cache.php?enabled"
    expect "$server: b's PHP cannot include a's settings from the cache" '^refused' get "$b/cache.php?include&f=$settings"
    expect "$server: b's PHP cannot list a's scripts" '^not listed' get "$b/cache.php?list&f=$settings"
    expect "$server: b's PHP cannot clear a's scripts" '^refused' get "$b/cache.php?invalidate&f=$settings"
    # Each site's logs are its own (emptied first: the servers take turns on these files).
    : >"$dir/logs/a.test.access.log"
    get "$a/error.php" >/dev/null
    expect "$server: a's PHP errors go to a's own log" 'error of a\.test' cat "$dir/www/a/.php/log/error.log"
    lacks "$server: b's PHP error log has none of a's" 'a\.test' cat "$dir/www/b/.php/log/error.log"
    expect "$server: a's requests are in a's access log" 'GET /error\.php' cat "$dir/logs/a.test.access.log"
    lacks "$server: b's access log has none of a's requests" 'error\.php' cat "$dir/logs/b.test.access.log"
}

# Plain HTTP through nginx.
nginx_start "$dir/a.nginx" "$dir/b.nginx" && site_checks nginx http "$http"
expect "nginx: the ACME path is served" '^acme-probe$' get "http://a.test:$http/.well-known/acme-challenge/probe"

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
    --email admin@a.test --accept-tos --domains a.test --http --http.webroot "$dir/www/a/public" run \
    >"$dir/lego.log" 2>&1
certificate=$dir/lego/certificates/a.test.crt key=$dir/lego/certificates/a.test.key
redirects() { # redirects SERVER: plain HTTP answers 301 to the path and query as sent
    local server=$1 path
    for path in '/a/b?x=1' '/a%23b?q=1' '/search/%3Fq%3D1'; do
        expect "$server TLS: plain HTTP redirects $path as sent" "^301 https://a.test:$https${path//\?/\\?}\$" \
            get -o /dev/null -w '%{http_code} %{redirect_url}\n' "http://a.test:$http$path"
    done
    expect "$server TLS: the ACME path stays on plain HTTP" '^acme-probe$' get "http://a.test:$http/.well-known/acme-challenge/probe"
}
if [ -s "$certificate" ]; then
    passed=$((passed + 1))
    curl -s --cacert "$dir/pebble.pem" "https://127.0.0.1:$acme_manage/roots/0" >"$dir/root.pem"
    tls=(--tls-certificate "$certificate" --tls-key "$key" --tls-port "$https")
    "$cli" config nginx "$dir/a.json" "${tls_options[@]}" "${tls[@]}" >"$dir/a-tls.nginx"
    "$cli" config apache "$dir/a.json" "${tls_options[@]}" "${tls[@]}" >"$dir/a-tls.apache"
    stop_pid "$dir/nginx/nginx.pid"
    nginx_start "$dir/a-tls.nginx" && site_checks "nginx TLS" https "$https" --cacert "$dir/root.pem"
    redirects nginx
else
    failed=$((failed + 1))
    echo "FAIL: lego got no certificate" >&2; tail -n 15 "$dir/lego.log" >&2
fi
stop_pid "$dir/nginx/nginx.pid"
# Where the block is the port's default server, another host name is still turned away.
alone=yes
nginx_start "$dir/a.nginx" && lacks "nginx as the default server: another host name does not reach the site" \
    'logged in|catch-all' get -H "Host: other.test" "http://a.test:$http/"
expect "nginx as the default server: the site still answers" '^logged in' get "http://a.test:$http/"
stop_pid "$dir/nginx/nginx.pid"
alone=""

# Apache: -f with a file of its own (not apache2ctl, which reads /etc/apache2/envvars), on the
# same ports, beside a catch-all default VirtualHost.
modules=/usr/lib/apache2/modules
builtin=$(apache2 -l)
apache_start() { # apache_start TLS|"" SITE-FILE...
    local tls=$1; shift
    {
        echo "ServerRoot $dir/apache"
        echo "ServerName localhost"
        echo "PidFile $dir/apache/apache.pid"
        echo "DefaultRuntimeDir $dir/apache"
        echo "Mutex file:$dir/apache default"
        echo "ErrorLog $dir/apache/error.log"
        echo "LogLevel warn"
        echo "TypesConfig /etc/mime.types"
        echo 'LogFormat "%h %l %u %t \"%r\" %>s %O" combined' # as Debian's apache2.conf has it
        for m in mpm_event unixd authz_core authz_host dir alias mime proxy proxy_fcgi ssl socache_shmcb rewrite; do
            grep -q "mod_$m.c" <<<"$builtin" || echo "LoadModule ${m}_module $modules/mod_$m.so"
        done
        echo "User $web"
        echo "Group $web_group"
        # As Debian's apache2.conf has it: links followed, unless a site's own section says.
        printf '<Directory />\n    Options FollowSymLinks\n    AllowOverride None\n    Require all denied\n</Directory>\n'
        echo "Listen 127.0.0.1:$http"
        [ -n "$alone" ] || printf '<VirtualHost 127.0.0.1:%s>\n    ServerName catch-all.invalid\n    Redirect 410 /\n</VirtualHost>\n' "$http"
        if [ -n "$tls" ]; then
            echo "Listen 127.0.0.1:$https"
            echo "<VirtualHost 127.0.0.1:$https>"
            echo "    ServerName catch-all.invalid"
            echo "    SSLEngine on"
            echo "    SSLCertificateFile $dir/pebble.pem"
            echo "    SSLCertificateKeyFile $dir/pebble.key"
            echo "    Redirect 410 /"
            echo "</VirtualHost>"
        fi
        for file in "$@"; do echo "Include $file"; done
    } >"$dir/apache/apache.conf"
    apache2 -t -f "$dir/apache/apache.conf" >>"$dir/checks.log" 2>&1 ||
        { failed=$((failed + 1)); echo "FAIL: apache2 -t" >&2; tail -n 5 "$dir/checks.log" >&2; return 1; }
    apache2 -f "$dir/apache/apache.conf" -k start >>"$dir/checks.log" 2>&1
    for _ in $(seq 50); do [ -s "$dir/apache/apache.pid" ] && curl -s "http://127.0.0.1:$http/" >/dev/null && break; sleep 0.1; done
}
[ -z "$root_closed" ] || { echo "$passed passed, $failed failed (Apache skipped)"; [ "$failed" -eq 0 ]; exit; }
mkdir -p "$dir/apache"
on_exit 'stop_pid "$dir/apache/apache.pid"'
apache_start "" "$dir/a.apache" "$dir/b.apache" && site_checks apache http "$http"
expect "apache: the ACME path is served" '^acme-probe$' get "http://a.test:$http/.well-known/acme-challenge/probe"
stop_pid "$dir/apache/apache.pid"
alone=yes
apache_start "" "$dir/a.apache" && expect "apache as the default VirtualHost: another host name is refused" \
    '^403$' status -H "Host: other.test" "http://a.test:$http/"
stop_pid "$dir/apache/apache.pid"
alone=""
if [ -s "$certificate" ]; then
    apache_start tls "$dir/a-tls.apache" && site_checks "apache TLS" https "$https" --cacert "$dir/root.pem"
    redirects apache
fi

[ "$failed" -eq 0 ] || { tail -n 20 "$dir/checks.log" "$dir/fpm.log" "$dir/nginx/logs/error.log" "$dir/apache/error.log" 2>/dev/null >&2; }
echo "$(nginx -v 2>&1 | sed 's/.*\///'), Apache $(apache2 -v | sed -n 's/.*Apache\/\([^ ]*\).*/\1/p'), $(basename "$fpm"), lego $(lego -v | awk '{print $3}')"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
