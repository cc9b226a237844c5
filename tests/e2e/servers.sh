# Shared by the tests that start real servers: a private folder, the unprivileged user they run
# as, MariaDB on a Unix socket there, and a stop on every exit path.
# shellcheck shell=bash

# server_folder PREFIX: makes $dir (removed at exit, after every stop registered with on_exit)
# and defines as_nobody. Where the root directory is closed to other users (as in chroots some
# image tools make), nobody may also search directories it could not otherwise enter, and
# $root_closed says so: servers whose workers drop every capability cannot run there.
server_folder() {
    dir=$(mktemp -d "/tmp/$1.XXXXXX")
    chmod 755 "$dir"
    chown nobody: "$dir"
    stops=()
    trap 'for ((i = ${#stops[@]} - 1; i >= 0; i--)); do eval "${stops[$i]}"; done; rm -rf "$dir"' EXIT
    trap 'exit 1' INT TERM HUP
    root_closed=""
    if runuser -u nobody -- true 2>/dev/null; then
        as_nobody() { runuser -u nobody -- "$@"; }
    else
        as_nobody() {
            setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=+dac_read_search \
                --ambient-caps=+dac_read_search -- "$@"
        }
        root_closed=yes
    fi
}
on_exit() { stops+=("$1"); }

# stop_pid FILE: ends the process whose pid is in FILE, waiting for it to go.
stop_pid() {
    [ -f "$1" ] || return 0
    local pid; pid=$(cat "$1")
    kill "$pid" 2>/dev/null
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$1"
}

# maria_start [MARIADBD-OPTIONS...]: MariaDB as nobody in $dir/maria, socket $dir/maria.sock,
# no TCP unless the options give a port; root@localhost is let in by its Unix user
# (unix_socket), as Debian sets it up.
maria_start() {
    as_nobody mariadb-install-db --no-defaults --datadir="$dir/maria" --skip-test-db \
        >"$dir/maria-install.log" 2>&1 || { cat "$dir/maria-install.log" >&2; exit 1; }
    on_exit 'stop_pid "$dir/maria.pid"'
    local network=(--skip-networking)
    [ $# -eq 0 ] || network=("$@")
    as_nobody mariadbd --no-defaults --datadir="$dir/maria" --socket="$dir/maria.sock" \
        "${network[@]}" --pid-file="$dir/maria.pid" --log-error="$dir/maria.err" >/dev/null 2>&1 &
    for _ in $(seq 300); do mariadb-admin --socket="$dir/maria.sock" ping >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "MariaDB did not start" >&2; cat "$dir/maria.err" >&2; exit 1
}
# pg_start: PostgreSQL as nobody in $dir/pg, on a socket in $dir only, every statement logged
# to $dir/pg.log; nobody is the administrator by peer authentication, everyone else logs in by
# SCRAM. PostgreSQL cannot start where the root directory is closed (it checks its own programs
# with access(), which ignores nobody's extra capability, and it refuses root): callers skip it.
pg_start() {
    pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
    as_nobody "$pgbin/initdb" -D "$dir/pg" --no-locale -E UTF8 >"$dir/pg-init.log" 2>&1 ||
        { cat "$dir/pg-init.log" >&2; exit 1; }
    printf 'local all nobody peer\nlocal all all scram-sha-256\n' >"$dir/pg/pg_hba.conf"
    on_exit 'as_nobody "$pgbin/pg_ctl" -D "$dir/pg" -m immediate -w stop >/dev/null 2>&1'
    as_nobody "$pgbin/pg_ctl" -D "$dir/pg" -l "$dir/pg.log" -w -o "-c listen_addresses='' \
        -k $dir -c log_statement=all -c password_encryption=scram-sha-256" start >/dev/null ||
        { cat "$dir/pg.log" >&2; exit 1; }
}
pg_admin() { as_nobody psql -X -q -h "$dir" -d postgres "$@"; }

maria_admin() { mariadb --no-defaults --socket="$dir/maria.sock" -u root "$@"; }

# free_ports N: N TCP ports on 127.0.0.1 that nothing listens on now.
free_ports() {
    python3 -c 'import socket, sys
ss = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in ss: s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in ss])' "$1"
}
