# Shared by the tests and benchmarks of site add: Debian's own servers, started by hand inside
# a private mount and network namespace (the caller's) over throw-away overlays of /etc, /var,
# /run and /root, and stopped on every exit path. Sets $scratch, $php and $pgversion.
# shellcheck shell=bash
ip link set lo up
cd /
# A /tmp and /dev/shm of the test's own: removing a site sweeps them for what its user left, and
# the uids given here are the machine's too. /tmp is an overlay, so a checkout under it stays in
# view; its upper layer is a file system of its own, which no sweep enters.
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mkdir /dev/shm/.sitepass-tmp && mount -t tmpfs -o mode=0700 tmpfs /dev/shm/.sitepass-tmp
mkdir /dev/shm/.sitepass-tmp/upper /dev/shm/.sitepass-tmp/work
mount -t overlay overlay -o lowerdir=/tmp,upperdir=/dev/shm/.sitepass-tmp/upper,workdir=/dev/shm/.sitepass-tmp/work /tmp ||
    { echo "FAIL: no overlay over /tmp" >&2; exit 1; }
chmod 1777 /tmp
scratch=$(mktemp -d /tmp/sitepass-site.XXXXXX)
mount -t tmpfs -o mode=0755 tmpfs "$scratch"
for d in etc var run root; do
    mkdir -p "$scratch/$d/upper" "$scratch/$d/work"
    mount -t overlay overlay -o "lowerdir=/$d,upperdir=$scratch/$d/upper,workdir=$scratch/$d/work" "/$d" ||
        { echo "FAIL: no overlay over /$d" >&2; exit 1; }
done
stop_all() {
    [ -f /run/apache2/apache2.pid ] && apache2ctl stop >/dev/null 2>&1
    [ -f /run/nginx.pid ] && nginx -s stop >/dev/null 2>&1
    [ -f /run/php/php$php-fpm.pid ] && kill "$(cat /run/php/php$php-fpm.pid)" 2>/dev/null
    pg_ctlcluster "$pgversion" sitepass stop -m immediate >/dev/null 2>&1
    [ -f /run/mysqld/mysqld.pid ] && kill "$(cat /run/mysqld/mysqld.pid)" 2>/dev/null
    sleep 1
    cd / && umount -l /etc /var /run /root "$scratch" 2>/dev/null
    rmdir "$scratch" 2>/dev/null
}
trap stop_all EXIT
trap 'exit 1' INT TERM HUP

php=$(ls /usr/sbin/php-fpm* | sed 's/.*php-fpm//' | sort -V | tail -n1)
pgversion=$(ls /usr/lib/postgresql | sort -V | tail -n1)
mkdir -p /run/mysqld /run/php /var/lib/mysql
mariadb-install-db --user=root --datadir=/var/lib/mysql --skip-test-db >"$scratch/maria-install.log" 2>&1 ||
    { cat "$scratch/maria-install.log" >&2; exit 1; }
mariadbd --no-defaults --user=root --datadir=/var/lib/mysql --socket=/run/mysqld/mysqld.sock \
    --skip-networking --pid-file=/run/mysqld/mysqld.pid --log-error="$scratch/maria.err" >/dev/null 2>&1 &
for _ in $(seq 300); do mariadb-admin --socket=/run/mysqld/mysqld.sock ping >/dev/null 2>&1 && break; sleep 0.1; done
pg_createcluster -p 5432 "$pgversion" sitepass >"$scratch/pg.log" 2>&1 && pg_ctlcluster "$pgversion" sitepass start ||
    { echo "FAIL: PostgreSQL did not start" >&2; exit 1; }
"php-fpm$php" || { echo "FAIL: php-fpm did not start" >&2; exit 1; }
nginx || { echo "FAIL: nginx did not start" >&2; exit 1; }
