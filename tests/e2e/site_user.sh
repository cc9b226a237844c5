#!/usr/bin/env bash
# A site's user (a compromised plugin: its files, a shell, all the time it wants) against root's
# own sitepass-cli commands and against its neighbours, on Debian's real servers inside private
# mount, network and process namespaces over throw-away /etc, /var and /run (as site_servers.sh).
# Each check names what the site's user must no longer be able to do.
# Usage (as root): site_user.sh PATH/TO/sitepass-cli
set -uo pipefail
. "$(dirname "$0")/site_namespace.sh"
. "$here/debian_servers.sh"
cp "$here/rotate_check.php" "$scratch/rotate_check.php" && chmod 644 "$scratch/rotate_check.php"
# The check reads wp-config.php whole, which loads WordPress last.
mkdir -p "$scratch/wordpress" && touch "$scratch/wordpress/wp-settings.php"
as_site() { (cd / && runuser -u "$1" -- "${@:2}"); }
get() { curl -s --max-time 10 --resolve "$1:80:127.0.0.1" "http://$1/${2:-}"; }
not_served() { ! get "$1" "$2" | grep -q "$3"; } # not_served HOST PATH TEXT
sum() { sha256sum "$1" | cut -d' ' -f1; }
logs_in() { php "$scratch/rotate_check.php" "$1" "$2" | grep -q '^logged in'; } # logs_in FORMAT FILE
password_of() { php "$scratch/rotate_check.php" "$1" "$2" | cut -f2; }
field() { "$cli" site list --json | python3 -c 'import json, sys; print(next(s[sys.argv[2]] for s in json.load(sys.stdin) if s["host"] == sys.argv[1]))' "$1" "$2"; }
stopped() { for _ in $(seq 100); do [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = T ] && return 0; sleep 0.05; done; return 1; }
background=()
trap 'kill "${background[@]}" 2>/dev/null; stop_all' EXIT

status_is "site add a.test" 0 "$cli" site add a.test --app wordpress --run-dir public
status_is "site add b.test" 0 "$cli" site add b.test --app wordpress --run-dir public
A=/var/www/A_TEST/public/wp-config.php B=/var/www/B_TEST/public/wp-config.php
b_sum=$(sum "$B")
b_untouched() { test "$(sum "$B")" = "$b_sum" && logs_in wordpress "$B"; }

# rotate and a settings file that is a link to another site's.
cp -p "$A" "$scratch/a-config"
as_site site-a_test sh -c "rm -f $A && ln -s $B $A"
status_is "rotate refuses a settings file that is the site's link" 2 "$cli" rotate wordpress "$A"
check "rotate through a link: b.test's settings untouched" b_untouched
rm -f "$A" && cp -p "$scratch/a-config" "$A"

# rotate, and the settings file's folder swapped for a link to b.test's the moment it is open.
SITEPASS_TEST_STOP_AT=opened "$cli" rotate wordpress "$A" >"$scratch/out" 2>"$scratch/err" &
pid=$!
check "rotate paused after the open" stopped "$pid"
as_site site-a_test sh -c 'cd /var/www/A_TEST && mv public public.real && ln -s /var/www/B_TEST/public public'
kill -CONT "$pid"
wait "$pid"
check "a folder swapped mid-rotate: b.test's settings untouched" b_untouched
check "a folder swapped mid-rotate: a.test's own file rotated" logs_in wordpress /var/www/A_TEST/public.real/wp-config.php
rm /var/www/A_TEST/public && mv /var/www/A_TEST/public.real /var/www/A_TEST/public

# site remove --delete-files, with the site's public/ a link to b.test's.
status_is "site add c.test" 0 "$cli" site add c.test --app wordpress --run-dir public
as_site site-c_test sh -c 'cd /var/www/C_TEST && mv public p && ln -s /var/www/B_TEST/public public'
status_is "site remove c.test with its public/ a link" 0 "$cli" site remove c.test --delete-files --drop-database
check "c.test's removal: b.test's settings untouched" b_untouched
check "c.test's removal: its own files gone" test ! -e /var/www/C_TEST

# config --output into a folder of the site's that is a link to the web server's.
"$cli" profile x.test --json >"$scratch/x.json"
as_site site-a_test ln -s /etc/nginx/conf.d /var/www/A_TEST/public/conf
status_is "config --output through the site's link" 2 "$cli" config nginx "$scratch/x.json" --output /var/www/A_TEST/public/conf/x.conf
check "config --output through a link: nothing in /etc/nginx/conf.d" test ! -e /etc/nginx/conf.d/x.conf
rm /var/www/A_TEST/public/conf

# The served folder itself made a link to another site's (Laravel serves public/).
status_is "site add l.test" 0 "$cli" site add l.test --app laravel --engine postgresql
echo secret-of-b >/var/www/B_TEST/public/secret.txt
chown site-b_test:www-data /var/www/B_TEST/public/secret.txt && chmod 640 /var/www/B_TEST/public/secret.txt
check "b.test serves its own file" grep -q secret-of-b <(get b.test secret.txt)
as_site site-l_test sh -c 'cd /var/www/L_TEST && mv public public.real && ln -s /var/www/B_TEST/public public'
check "nginx: l.test's public/ as a link serves nothing of b.test's" not_served l.test secret.txt secret-of-b
rm /var/www/L_TEST/public && mv /var/www/L_TEST/public.real /var/www/L_TEST/public

# Each site's logs are unreadable to the other sites' users.
get a.test >/dev/null
check "a.test's access log is as logrotate keeps it" test "$(stat -c '%U:%G %a' /var/log/nginx/a.test.access.log)" = "www-data:adm 640"
check "b.test's user cannot read a.test's logs" bash -c '! runuser -u site-b_test -- cat /var/log/nginx/a.test.access.log /var/log/nginx/a.test.error.log'

# PostgreSQL: one site's role kept out of another's database, and out of the way of site add.
status_is "site add k.test" 0 "$cli" site add k.test --app php --engine postgresql
K=/var/www/K_TEST/config.php
kuser=$(field k.test database_user) kdb=$(field k.test database) ldb=$(field l.test database)
kpass=$(password_of php "$K")
psql_as_k() { PGPASSWORD=$kpass psql -XAtq -h 127.0.0.1 -U "$kuser" "$@"; }
check "k.test's role logs in to its own database" psql_as_k -d "$kdb" -c 'SELECT 1'
check "k.test's role cannot connect to l.test's database" bash -c "! PGPASSWORD='$kpass' psql -XAtq -h 127.0.0.1 -U '$kuser' -d '$ldb' -c 'SELECT 1'"
psql_as_k -d template1 -c 'SELECT pg_sleep(30)' >/dev/null 2>&1 &
background+=($!)
sleep 1
status_is "site add n.test while k.test's role sits in template1" 0 "$cli" site add n.test --app php --engine postgresql
"$cli" site remove n.test --drop-database --delete-files 2>/dev/null
# rotate behind the site's own open ALTER ROLE ends by itself, changing nothing.
printf "BEGIN;\nALTER ROLE CURRENT_USER PASSWORD 'held';\nSELECT pg_sleep(90);\n" | psql_as_k -d "$kdb" >/dev/null 2>&1 &
held=$!
background+=($held)
sleep 1
k_sum=$(sum "$K")
status_is "rotate behind the site's own open ALTER ROLE" 1 timeout 60 "$cli" rotate php "$K"
test "$(sum "$K")" = "$k_sum" && ok || bad "rotate behind an open ALTER ROLE: the file changed"
check "rotate behind an open ALTER ROLE: no copy left" bash -c '! ls -A /var/www/K_TEST | grep -q sitepass-rotate'
kill "$held" 2>/dev/null

# A settings file of 1 GiB is refused before it is read.
truncate -s 1G /var/www/A_TEST/big.php
status_is "rotate refuses a settings file of 1 GiB" 2 timeout 30 "$cli" rotate php /var/www/A_TEST/big.php
rm /var/www/A_TEST/big.php

# The site's user holding a lock on its own settings file does not stall rotate.
as_site site-a_test flock -s "$A" sleep 60 &
background+=($!)
sleep 0.5
status_is "rotate while the site's user holds a lock on the file" 0 timeout 60 "$cli" rotate wordpress "$A"

# MariaDB: site remove --drop-database behind the site's own open transaction.
status_is "site add e.test" 0 "$cli" site add e.test --app php
E=/var/www/E_TEST/config.php
MYSQL_PWD=$(password_of php "$E") mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u "$(field e.test database_user)" \
    "$(field e.test database)" -e 'CREATE TABLE t (i INT); BEGIN; INSERT INTO t VALUES (1); SELECT SLEEP(90)' >/dev/null 2>&1 &
background+=($!)
sleep 1
status_is "site remove --drop-database behind the site's own transaction" 0 timeout 60 "$cli" site remove e.test --drop-database --delete-files

# A removed site whose files stay keeps its user, so no later site gets its ids.
status_is "site add d.test" 0 "$cli" site add d.test --app php
d_uid=$(id -u site-d_test)
as_site site-d_test sh -c 'cp /bin/true /var/tmp/d-tool && chmod 4755 /var/tmp/d-tool'
as_site site-d_test setsid sleep 600 >/dev/null 2>&1 < /dev/null &
sleep 0.5
status_is "site remove d.test, its files and database kept" 0 "$cli" site remove d.test
check "d.test's user stays while its files do" getent passwd site-d_test
check "d.test's user is locked" bash -c 'passwd -S site-d_test | grep -q " L "'
check "no process of d.test's user outlives its pool" bash -c '! pgrep -u site-d_test'
check "site list says d.test is removed, its data kept" grep -q $'^d.test\t.*已删除' <("$cli" site list)
status_is "site add d.test again is refused" 2 "$cli" site add d.test --app php
status_is "site add g.test" 0 "$cli" site add g.test --app php
check "g.test is not given d.test's ids" test "$(id -u site-g_test)" != "$d_uid"
check "g.test's user cannot read d.test's settings" bash -c '! runuser -u site-g_test -- cat /var/www/D_TEST/config.php'
status_is "site remove d.test with its files and database" 0 "$cli" site remove d.test --delete-files --drop-database
check "d.test's user goes with its last file" bash -c '! getent passwd site-d_test'
check "the set-id program d.test's user left in /var/tmp goes too" test ! -e /var/tmp/d-tool

# Another site's user holding the new site's port answers the check with the expected words.
as_site site-a_test python3 -c '
import socket
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 8081)); s.listen()
while True:
    c, _ = s.accept(); c.recv(4096)
    c.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nsitepass: f.test is served by its own pool as site-f_test\n"); c.close()' &
background+=($!)
sleep 1
status_is "site add f.test while another site's user holds its port" 1 timeout 120 "$cli" site add f.test --app php --port 8081
check "f.test undone" test ! -e /var/lib/sitepass/f.test.json
check "f.test: the other answer named" grep -q 'as site-f_test' "$scratch/err"

# A planted leftover: the site's own settings file and copy, with a password it set itself.
apass=$(password_of wordpress "$A")
as_site site-a_test sh -c "cp $A $A.mine && mv $A.mine $A && sed 's/$apass/planted0pass/' $A >/var/www/A_TEST/public/.wp-config.php.sitepass-rotate && chmod 640 /var/www/A_TEST/public/.wp-config.php.sitepass-rotate"
MYSQL_PWD=$apass mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u "$(field a.test database_user)" -e "SET PASSWORD = PASSWORD('planted0pass')"
"$cli" rotate wordpress "$A" >"$scratch/out" 2>"$scratch/err"
status=$?
check "a planted leftover is not finished with the site user's password" bash -c "! { [ $status -eq 0 ] && grep -q planted0pass $A; }"

# Dropping a database another session sits in (a backup's, as postgres) ends that session.
(cd / && runuser -u postgres -- psql -XAtq -d "$ldb" -c 'SELECT pg_sleep(60)') >/dev/null 2>&1 &
background+=($!)
sleep 1
status_is "site remove --drop-database while another session is in the database" 0 timeout 60 "$cli" site remove l.test --drop-database --delete-files

# Apache: the served folder as a link, with Debian's /var/www/ that follows links.
nginx -s stop; sleep 1
apache2ctl start >/dev/null 2>&1 || bad "Apache did not start"
status_is "site add m.test on Apache" 0 "$cli" site add m.test --app laravel --server apache
as_site site-m_test sh -c 'cd /var/www/M_TEST && mv public public.real && ln -s /var/www/B_TEST/public public'
check "Apache: m.test's public/ as a link serves nothing of b.test's" not_served m.test secret.txt secret-of-b

[ "$failed" -eq 0 ] || tail -n 20 "$scratch/checks.log" >&2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
