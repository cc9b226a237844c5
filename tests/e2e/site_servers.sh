#!/usr/bin/env bash
# site add and site remove on Debian's own layout, on the real servers: inside a private mount
# and network namespace whose /etc, /var and /run are throw-away overlays, so that useradd,
# /etc/nginx, /var/www and the servers' sockets are the real paths and the machine is left as it
# was. MariaDB, PostgreSQL, php-fpm, nginx and Apache are started here by hand as their packages
# set them up, without systemd, and stopped on every exit path.
# Usage (as root): site_servers.sh PATH/TO/sitepass-cli
set -uo pipefail
. "$(dirname "$0")/site_namespace.sh"
. "$here/debian_servers.sh"
maria() { mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u root -N -e "$1"; }
get() { curl -s --max-time 10 --resolve "$1:80:127.0.0.1" "http://$1/${2:-}"; }
# What a site leaves on the machine: users, groups, /etc's server and pool files, /var/www,
# the journals, the databases.
machine() {
    { getent passwd; getent group; ls -R /etc/nginx /etc/apache2/sites-enabled "/etc/php/$php/fpm/pool.d" \
        /var/www /var/lib/sitepass 2>/dev/null; maria 'SHOW DATABASES; SELECT User, Host FROM mysql.user'
      runuser -u postgres -- psql -XAtq -c 'SELECT datname FROM pg_database UNION ALL SELECT rolname FROM pg_roles'; } |
        sort
}
machine >"$scratch/before"
# The sites' users read what the application reads, from where they may (not this checkout).
cp "$here/rotate_check.php" "$scratch/rotate_check.php" && chmod 644 "$scratch/rotate_check.php"
as_site() { (cd / && runuser -u "$1" -- "${@:2}"); }

# Two sites: PHP on MariaDB, Laravel on PostgreSQL; each answers through its own pool and logs
# in to its own database, and neither reads the other's settings.
status_is "site add a.test" 0 "$cli" site add a.test --app php
check "a.test: the report's ten lines" test "$(grep -c '：' "$scratch/out")" -eq 10
status_is "site add b.test" 0 "$cli" site add b.test --app laravel --engine postgresql --json
check "b.test: the profile as JSON" python3 -c 'import json, sys; assert json.load(open(sys.argv[1]))["site_name"] == "b.test"' "$scratch/out"
check "a.test answers through its own pool" grep -q 'served by its own pool as site-a_test' <(get a.test)
check "b.test answers through its own pool" grep -q 'served by its own pool as site-b_test' <(get b.test)
check "a.test's settings log in to MariaDB" grep -q '^logged in' <(as_site site-a_test php "$scratch/rotate_check.php" php /var/www/A_TEST/config.php)
check "b.test's settings log in to PostgreSQL" grep -q '^logged in' <(as_site site-b_test php "$scratch/rotate_check.php" laravel /var/www/B_TEST/.env)
check "b.test's PHP cannot read a.test's settings" bash -c '! runuser -u site-b_test -- cat /var/www/A_TEST/config.php'
check "a.test's PHP cannot read b.test's settings" bash -c '! runuser -u site-a_test -- cat /var/www/B_TEST/.env'
check "the site root is the site's, read by the web server's group" test "$(stat -c '%U:%G %a' /var/www/A_TEST)" = "site-a_test:www-data 2750"
# What the site's PHP makes under its served folder, as WordPress makes uploads (its umask 027,
# each folder with its parent's mode), is served and stays closed to other sites.
as_site site-a_test sh -c 'umask 027; mkdir -p /var/www/A_TEST/uploads/2026/12 && echo image >/var/www/A_TEST/uploads/2026/12/a.png'
check "an upload of a.test is served" test "$(get a.test uploads/2026/12/a.png)" = image
check "an upload of a.test is closed to b.test" bash -c '! runuser -u site-b_test -- cat /var/www/A_TEST/uploads/2026/12/a.png'
check "b.test's public folder keeps the web server's group" test "$(stat -c '%G %a' /var/www/B_TEST/public)" = "www-data 2750"
check "PHP's own folders are the site's alone" test "$(stat -c '%U:%G %a' /var/www/A_TEST/.php/sessions)" = "site-a_test:site-a_test 700"
check "PHP's uploads are received for the web server's group" test "$(stat -c '%U:%G %a' /var/www/A_TEST/.php/tmp)" = "site-a_test:www-data 2700"
check "the settings are root's, read by the site's group" test "$(stat -c '%U:%G %a' /var/www/A_TEST/config.php)" = "root:site-a_test 640"
check "the journal is root's alone" test "$(stat -c '%U %a' /var/lib/sitepass/a.test.json)" = "root 600"
check "the journal holds no password" bash -c '! grep -qiE "password|IDENTIFIED" /var/lib/sitepass/*.json'
check "the site's user has no login shell" test "$(getent passwd site-a_test | cut -d: -f7)" = /usr/sbin/nologin
check "site list names both" test "$("$cli" site list | cut -f1 | tr '\n' ' ')" = "a.test b.test "

# Requests in flight on a neighbour (each takes half a second) while sites are added and
# removed: php-fpm's reloads wait for them, none fails.
printf '<?php usleep(500000); echo "slow done\\n";\n' >/var/www/B_TEST/public/slow.php
chmod 644 /var/www/B_TEST/public/slow.php
(while [ ! -e "$scratch/stop-slow" ]; do
    curl -s -o /dev/null -w '%{http_code}\n' --max-time 30 --resolve b.test:80:127.0.0.1 http://b.test/slow.php
done >"$scratch/slow-codes") &
slow=$!
sleep 1
for d in n1.test n2.test; do
    "$cli" site add "$d" --app php >/dev/null 2>>"$scratch/checks.log" || bad "site add $d beside requests in flight"
    "$cli" site remove "$d" --drop-database --delete-files 2>>"$scratch/checks.log" || bad "site remove $d beside requests in flight"
done
touch "$scratch/stop-slow"; wait "$slow"; rm -f "$scratch/stop-slow" /var/www/B_TEST/public/slow.php
check "requests in flight on b.test all answered during adds and removes" \
    test "$(sort -u "$scratch/slow-codes" | tr '\n' ' ')" = "200 "
check "php-fpm waits for requests at its reloads" grep -q '^process_control_timeout = 10s' "/etc/php/$php/fpm/pool.d/00-sitepass-reload.conf"

# Refused before anything changes: the site again, a file in the way.
machine >"$scratch/two"
status_is "site add a.test again" 2 "$cli" site add a.test --app php
touch /etc/nginx/sites-available/c.test
status_is "a server file in the way" 2 "$cli" site add c.test --app php
rm /etc/nginx/sites-available/c.test
touch "$scratch/taken"
status_is "a report file that is there, before the site is made" 2 "$cli" site add c.test --app php --output "$scratch/taken"
# Another owner's database or group of the site's names is refused, never dropped or deleted.
"$cli" profile h.test --json >"$scratch/h.json"
h_db=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["db_table"])' "$scratch/h.json")
maria "CREATE DATABASE $h_db; CREATE TABLE $h_db.t (i INT); INSERT INTO $h_db.t VALUES (7)"
status_is "a database of the site's name that is there" 2 "$cli" site add h.test --app php --profile "$scratch/h.json"
check "another owner's database keeps its row" test "$(maria "SELECT i FROM $h_db.t")" = 7
maria "DROP DATABASE $h_db"
groupadd --system site-h_test
status_is "a group of the site user's name that is there" 2 "$cli" site add h.test --app php
check "another owner's group stays" getent group site-h_test
groupdel site-h_test
# A server that is installed but stopped, and an extension the application needs that the
# pool's PHP lacks: named, and php-fpm never reloaded (its log tells; a reload keeps its pid).
reloads() { grep -c 'Reloading in progress' "/var/log/php$php-fpm.log"; }
before_reloads=$(reloads)
nginx -s stop && for _ in $(seq 50); do [ -e /run/nginx.pid ] || break; sleep 0.1; done
status_is "nginx stopped" 2 "$cli" site add c.test --app php
check "nginx stopped: said" grep -q 'nginx 没有在运行' "$scratch/err"
nginx
status_is "Apache installed, not started" 2 "$cli" site add c.test --app php --server apache
check "Apache not started: said" grep -q 'apache 没有在运行' "$scratch/err"
phpdismod -v "$php" -s fpm mysqli
status_is "WordPress without mysqli" 2 "$cli" site add c.test --app wordpress
check "WordPress without mysqli: the package named" grep -q "apt install php$php-mysql" "$scratch/err"
phpenmod -v "$php" -s fpm mysqli
status_is "--admin-email with a line break" 2 "$cli" site add c.test --app wordpress --admin-email $'a@c.test\nx'
status_is "--admin-email ending in a line break" 2 "$cli" site add c.test --app wordpress --admin-email $'a@c.test\n'
mkdir -m 0777 "$scratch/wp-anyone" && touch "$scratch/wp-anyone/wp-load.php"
status_is "--wordpress-from a folder anyone may write" 2 "$cli" site add c.test --app wordpress --wordpress-from "$scratch/wp-anyone"
status_is "--wordpress-from a folder without WordPress" 2 "$cli" site add c.test --app wordpress --wordpress-from /usr/share/doc
status_is "--admin-email without WordPress" 2 "$cli" site add c.test --app php --admin-email a@c.test
check "refusals never reload php-fpm" test "$(reloads)" = "$before_reloads"
check "refusals change nothing" diff "$scratch/two" <(machine)

# A failure after the checks undoes every step done: a folder that cannot be made (no inodes
# left), and a database the server will not make (template0, opened for the test, in use by
# another session).
mkdir -p /var/full && mount -t tmpfs -o size=64k,nr_inodes=1 tmpfs /var/full
status_is "a folder that cannot be made" 1 "$cli" site add c.test --app php --site-root /var/full/c
check "a folder that cannot be made: said" grep -q '/var/full/c' "$scratch/err"
umount /var/full
pg_template0() { (cd / && runuser -u postgres -- psql -XAtq -c "ALTER DATABASE template0 ALLOW_CONNECTIONS $1") >/dev/null; }
pg_template0 true
runuser -u postgres -- psql -XAtq -d template0 -c 'SELECT pg_sleep(30)' >/dev/null 2>&1 &
sleeper=$!
sleep 1
status_is "a database the server refuses" 1 "$cli" site add d.test --app php --engine postgresql
kill "$sleeper" 2>/dev/null; wait "$sleeper" 2>/dev/null
(cd / && runuser -u postgres -- psql -XAtq -c "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = 'template0'") >/dev/null
pg_template0 false
# CREATE DATABASE failing after the checks passed: a plain file of its name put in the data
# folder while site add waits before that step.
"$cli" profile d.test --json >"$scratch/d.json"
d_db=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["db_table"])' "$scratch/d.json")
SITEPASS_TEST_STOP_AT=database "$cli" site add d.test --app php --profile "$scratch/d.json" >/dev/null 2>"$scratch/err" &
pid=$!
for _ in $(seq 200); do [ "$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null)" = T ] && break; sleep 0.05; done
touch "/var/lib/mysql/$d_db"
kill -CONT "$pid"
wait "$pid"
[ $? -eq 1 ] && ok || bad "a database MariaDB cannot make: not a failed step: $(head -c 300 "$scratch/err")"
rm "/var/lib/mysql/$d_db"
# PostgreSQL's administrator child killed once its CREATE DATABASE is done, before its answer:
# the first stopped child (the checks) goes on, the second dies without a word, the undo's
# third drops what it made.
SITEPASS_TEST_STOP_AT=admin-child "$cli" site add d.test --app php --engine postgresql >/dev/null 2>"$scratch/err" &
pid=$!
stopped_child() {
    for _ in $(seq 200); do
        for c in $(pgrep -P "$pid" -u postgres); do
            [ "$(cut -d' ' -f3 "/proc/$c/stat" 2>/dev/null)" = T ] && { echo "$c"; return; }
        done
        sleep 0.05
    done
}
kill -CONT "$(stopped_child)"
c=$(stopped_child); kill -9 "$c"
kill -CONT "$(stopped_child)"
wait "$pid"
[ $? -eq 1 ] && ok || bad "an administrator child that died silently: not a failed step: $(head -c 300 "$scratch/err")"
# An undo with a problem of its own keeps the record, for site remove to finish: the settings'
# name taken by a folder while site add waits, and a file system mounted in the site root.
SITEPASS_TEST_STOP_AT=settings "$cli" site add k.test --app php >/dev/null 2>"$scratch/err" &
pid=$!
for _ in $(seq 200); do [ "$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null)" = T ] && break; sleep 0.05; done
mkdir /var/www/K_TEST/config.php /var/www/K_TEST/shared && mount -t tmpfs tmpfs /var/www/K_TEST/shared
kill -CONT "$pid"
wait "$pid"
[ $? -eq 1 ] && ok || bad "an undo with a problem: not a failed step: $(head -c 300 "$scratch/err")"
check "an undo with a problem keeps the record" test -f /var/lib/sitepass/k.test.json
umount /var/www/K_TEST/shared
status_is "site remove then finishes it" 0 "$cli" site remove k.test --drop-database --delete-files
check "both failures rolled back to the machine as it was" diff "$scratch/two" <(machine)
check "a.test still answers" grep -q 'as site-a_test' <(get a.test)

# Another layout names its folders and programs: a folder the server reads whole, programs
# elsewhere than Debian's; the record keeps them, so remove needs no option.
mkdir -p "$scratch/lnmp" && ln -s "/usr/sbin/php-fpm$php" "$scratch/lnmp/php-fpm" && ln -s /usr/sbin/nginx "$scratch/lnmp/nginx"
layout=(--pool-dir "/etc/php/$php/fpm/pool.d" --php-fpm "$scratch/lnmp/php-fpm" --php-fpm-pid "/run/php/php$php-fpm.pid"
        --server-dir /etc/nginx/conf.d --server-program "$scratch/lnmp/nginx")
status_is "--php-fpm without its pid file and pool folder" 2 "$cli" site add g.test --app php --php-fpm "$scratch/lnmp/php-fpm"
status_is "site add g.test on another layout" 0 "$cli" site add g.test --app php "${layout[@]}"
check "g.test answers through its own pool" grep -q 'as site-g_test' <(get g.test)
check "g.test's server file is in the folder named, with no link" bash -c 'test -f /etc/nginx/conf.d/g.test.conf && ! ls /etc/nginx/sites-*/g.test*'
status_is "site remove g.test without the layout's options" 0 "$cli" site remove g.test --drop-database --delete-files
check "g.test: the machine as it was" diff "$scratch/two" <(machine)

# Killed at every step, before and after its work: site remove then takes away what exists.
for step in user folders database settings pool server_file reload check; do
    for when in "" -done; do
        (SITEPASS_TEST_KILL_AT=$step$when "$cli" site add e.test --app php >/dev/null 2>&1; true) 2>/dev/null
        status_is "killed at $step$when, then site remove" 0 "$cli" site remove e.test --drop-database --delete-files
        check "killed at $step$when: the machine as it was" diff "$scratch/two" <(machine)
    done
done
# Killed while it waits for each program it runs (useradd, php-fpm -t, nginx -t, the reloads):
# each program is replaced, in this namespace only, by one that kills its caller at the Nth call
# and then does its work.
mkdir -p "$scratch/real"
for program in /usr/sbin/useradd "/usr/sbin/php-fpm$php" /usr/sbin/nginx; do
    name=${program##*/}
    cp "$program" "$scratch/real/$name"
    cat >"$scratch/wrap-$name" <<EOF
#!/bin/sh
if [ -f $scratch/kill-at ] && [ "\$(cat /proc/\$PPID/comm)" = sitepass-cli ]; then
    n=\$((\$(cat $scratch/calls 2>/dev/null || echo 0) + 1)); echo \$n >$scratch/calls
    [ "\$n" = "\$(cat $scratch/kill-at)" ] && kill -9 \$PPID
fi
exec $scratch/real/$name "\$@"
EOF
    chmod 755 "$scratch/wrap-$name" && mount --bind "$scratch/wrap-$name" "$program"
done
killed=0
for n in $(seq 1 20); do
    echo "$n" >"$scratch/kill-at" && rm -f "$scratch/calls"
    "$cli" site add e.test --app php >/dev/null 2>&1
    status=$?
    rm -f "$scratch/kill-at"
    [ "$status" -eq 137 ] || break
    killed=$((killed + 1))
    sleep 1 # the program finishes after its caller is gone
    # Killed during the checks, it had begun nothing and left no record.
    [ ! -e /var/lib/sitepass/e.test.json ] ||
        status_is "killed in program call $n, then site remove" 0 "$cli" site remove e.test --drop-database --delete-files
    check "killed in program call $n: the machine as it was" diff "$scratch/two" <(machine)
done
status_is "site remove after the run that was not killed" 0 "$cli" site remove e.test --drop-database --delete-files
check "every program call was killed in once (${killed} of them)" test "$killed" -ge 6
check "after the kills: the machine as it was" diff "$scratch/two" <(machine)
for program in /usr/sbin/useradd "/usr/sbin/php-fpm$php" /usr/sbin/nginx; do umount "$program"; done
check "b.test answered throughout" grep -q 'as site-b_test' <(get b.test)

# The site's two accounts in the user's KeePass vault before the report is printed; a wrong
# master password stops site add before anything changes.
"$cli" vault create "$scratch/v.kdbx" <<<'vault pass' 2>/dev/null
status_is "site add with a wrong vault password" 1 "$cli" site add v.test --app php --vault "$scratch/v.kdbx" <<<'not it'
check "a wrong vault password: nothing made" bash -c '! getent passwd site-v_test && ! test -e /var/lib/sitepass/v.test.json'
status_is "site add v.test --vault" 0 "$cli" site add v.test --app php --json --vault "$scratch/v.kdbx" <<<'vault pass'
v_db=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["db_password"])' "$scratch/out")
check "the vault holds v.test's database password" \
    test "$(echo 'vault pass' | keepassxc-cli show -s -a Password "$scratch/v.kdbx" 'sitepass/v.test/v.test 数据库' 2>/dev/null)" = "$v_db"
"$cli" site remove v.test --drop-database --delete-files 2>/dev/null

# Each of --drop-database and --delete-files takes its own part; the user goes with the last.
status_is "site add i.test" 0 "$cli" site add i.test --app php
i_db=$(python3 -c 'import json, sys; print(next(s["database"] for s in json.load(sys.stdin) if s["host"] == "i.test"))' < <("$cli" site list --json))
check "site list: i.test complete" grep -q $'^i.test\t.*\t完成$' <("$cli" site list)
status_is "site remove i.test --delete-files" 0 "$cli" site remove i.test --delete-files
check "--delete-files: the files gone, the database and the user kept" bash -c "! test -e /var/www/I_TEST && getent passwd site-i_test && test -n \"\$(mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u root -N -e \"SHOW DATABASES LIKE '$i_db'\")\""
status_is "site remove i.test --drop-database" 0 "$cli" site remove i.test --drop-database
check "--drop-database: the database and then the user gone" bash -c "test -z \"\$(mariadb --no-defaults --socket=/run/mysqld/mysqld.sock -u root -N -e \"SHOW DATABASES LIKE '$i_db'\")\" && ! getent passwd site-i_test"
check "i.test: the machine as it was" diff "$scratch/two" <(machine)
# A site root made a link: the link goes, what it points to stays.
status_is "site add j.test" 0 "$cli" site add j.test --app php
mkdir -p "$scratch/elsewhere" && echo keep >"$scratch/elsewhere/canary"
# Another file system mounted in the site's tree is not the site's: it is left, and said.
mkdir /var/www/J_TEST/shared && mount -t tmpfs tmpfs /var/www/J_TEST/shared && echo keep >/var/www/J_TEST/shared/canary
status_is "site remove j.test with a file system mounted in it" 1 "$cli" site remove j.test --drop-database --delete-files
check "the mounted file system's canary survives" test -f /var/www/J_TEST/shared/canary
umount /var/www/J_TEST/shared
mv /var/www/J_TEST "$scratch/j-root" && ln -s "$scratch/elsewhere" /var/www/J_TEST
status_is "site remove j.test through a linked site root" 0 "$cli" site remove j.test --drop-database --delete-files
check "the canary behind the link survives" test -f "$scratch/elsewhere/canary"
check "j.test: the machine as it was" diff "$scratch/two" <(machine)

# site remove keeps the files and the database unless asked.
status_is "site remove a.test" 0 "$cli" site remove a.test
check "a.test no longer served by its pool" bash -c "! curl -s --resolve a.test:80:127.0.0.1 http://a.test/ | grep -q 'own pool'"
check "a.test's files stay" test -f /var/www/A_TEST/config.php
check "a.test's user stays, locked and expired, while its files do" bash -c 'passwd -S site-a_test | grep -q " L " && test "$(getent shadow site-a_test | cut -d: -f8)" = 1'
status_is "site remove a.test then takes its files and database" 0 "$cli" site remove a.test --drop-database --delete-files
check "a.test's user goes with them" bash -c '! getent passwd site-a_test && ! test -e /var/www/A_TEST'
check "b.test still answers" grep -q 'as site-b_test' <(get b.test)

# The README's playbook, run twice on this host: two sites, then nothing changed.
if command -v ansible-playbook >/dev/null; then
    mkdir -p "$scratch/bin" && ln -s "$cli" "$scratch/bin/sitepass-cli"
    sed -n '/^  # sites.yml/,/^  ```/p' "$here/../../README.md" | sed '$d; s/^  //' >"$scratch/sites.yml"
    printf '[webservers]\nlocalhost ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n' >"$scratch/hosts.ini"
    playbook() { PATH=$scratch/bin:$PATH ANSIBLE_LOCAL_TEMP=$scratch/ansible HOME=$scratch \
        ansible-playbook -i "$scratch/hosts.ini" -e ansible_become=false "$scratch/sites.yml"; }
    playbook >"$scratch/ansible1.log" 2>&1
    check "the playbook makes its sites" grep -qE 'localhost +: ok=[0-9]+ +changed=[1-9]' "$scratch/ansible1.log"
    grep -qE "changed=[1-9]" "$scratch/ansible1.log" || tail -n 30 "$scratch/ansible1.log" >&2
    check "the playbook's Laravel site answers" grep -q 'as site-b_example_com' <(get b.example.com)
    check "the report stays root's" test "$(stat -c '%U %a' /root/sitepass/a.example.com.json 2>/dev/null)" = "root 600"
    playbook >"$scratch/ansible2.log" 2>&1
    check "the playbook again changes nothing" grep -qE 'localhost +: ok=[0-9]+ +changed=0 +unreachable=0 +failed=0' "$scratch/ansible2.log"
    for d in a.example.com b.example.com; do "$cli" site remove "$d" --drop-database --delete-files 2>/dev/null; done
else
    bad "ansible-playbook is not installed (./dev installs ansible-core)"
fi

# WordPress installed by site add on each server: the report's admin user and password log
# in, and an image uploaded through WordPress is served back.
wordpress() { # wordpress HOST SERVER
    local host=$1 server=$2 name=${1%%.*}
    local dir=/var/www/${name^^}_TEST
    status_is "site add $host with WordPress on $server" 0 "$cli" site add "$host" --app wordpress --server "$server" --json
    local user password admin
    read -r user password admin < <(python3 -c 'import json, sys; p = json.load(open(sys.argv[1])); print(p["admin_user"], p["admin_password"], p["admin_path"])' "$scratch/out")
    check "$host: WordPress's admin folder is the report's admin path" test "$admin" = /wp-admin/
    wp() { curl -s --max-time 30 --resolve "$host:80:127.0.0.1" -b "$scratch/$host.jar" -c "$scratch/$host.jar" "$@"; }
    wp -o /dev/null "http://$host/wp-login.php"
    wp -o /dev/null -w '%{redirect_url}\n' --data-urlencode "log=$user" --data-urlencode "pwd=$password" \
        -d 'wp-submit=Log+In&testcookie=1' "http://$host/wp-login.php" >"$scratch/$host.login"
    check "$host: the report's admin user and password log in" grep -q "^http://$host/wp-admin/\$" "$scratch/$host.login"
    local nonce upload
    nonce=$(wp "http://$host/wp-admin/media-new.php" | grep -o '"_wpnonce":"[0-9a-f]*"' | head -1 | cut -d'"' -f4)
    [ -f "$scratch/red.png" ] || convert -size 8x8 xc:red "$scratch/red.png"
    wp -F "async-upload=@$scratch/red.png" -F "name=red.png" -F "_wpnonce=$nonce" -F short=1 \
        "http://$host/wp-admin/async-upload.php" >"$scratch/$host.upload"
    upload=$(find "$dir/wp-content/uploads" -name red.png 2>/dev/null | head -1)
    check "$host: an image uploaded through WordPress is served by $server" \
        cmp "$scratch/red.png" <(curl -s --resolve "$host:80:127.0.0.1" "http://$host/${upload#"$dir"/}")
    check "$host: WordPress's files are the site's user's" test "$(stat -c '%U:%G' "$dir/wp-login.php")" = "site-${host%%.*}_test:www-data"
}
wordpress w.test nginx
status_is "site remove w.test with everything" 0 "$cli" site remove w.test --drop-database --delete-files

# Apache and WordPress, its wp-config.php whole.
nginx -s stop; sleep 1
apache2ctl start >/dev/null 2>&1 || bad "Apache did not start"
wordpress f.test apache
check "f.test answers with WordPress on Apache, at the site's address" \
    grep -q 'Link: <http://f.test/.*rel="https://api.w.org/"' <(curl -si --max-time 30 --resolve f.test:80:127.0.0.1 http://f.test/)
check "f.test's wp-config.php is whole PHP" php -l /var/www/F_TEST/wp-config.php
check "f.test's wp-config.php loads WordPress last" grep -q "require_once ABSPATH . 'wp-settings.php'" /var/www/F_TEST/wp-config.php
status_is "site remove f.test with everything" 0 "$cli" site remove f.test --drop-database --delete-files
check "f.test: nothing left" bash -c '! ls /var/www/F_TEST /etc/apache2/sites-enabled/f.test.conf 2>/dev/null'

[ "$failed" -eq 0 ] || tail -n 20 "$scratch/checks.log" >&2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
