#!/usr/bin/env bash
# Rotating 100 sites' passwords, per site, beside the server round trips it needs done by PHP's
# PDO (log in, change the password, log in with the new one), a process per site for both, on
# the same servers:
# MariaDB on loopback TCP and PostgreSQL on a Unix socket, started here as nobody.
# Usage (as root): bench/rotate.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$1
sites=100
[ "$(id -u)" -eq 0 ] || { echo "rotate: skipped, the servers run as nobody, which needs root"; exit 0; }
. "$(dirname "$0")/../tests/e2e/servers.sh"
server_folder sitepass-bench-rotate
read -r port < <(free_ports 1)
maria_start --port="$port" --bind-address=127.0.0.1
pg_start

# Each engine's sites, as config php writes them.
for engine in mariadb postgresql; do
    for i in $(seq "$sites"); do
        mkdir -p "$dir/$engine/$i"
        "$cli" profile "s$i.test" --json |
            sed -E "s/(\"db_(table|user)\": )\"[^\"]*\"/\\1\"${engine:0:1}_$i\"/g" >"$dir/$engine/$i/profile.json"
        if [ "$engine" = mariadb ]; then
            "$cli" sql mariadb --host=% "$dir/$engine/$i/profile.json"
            "$cli" config php --db-host 127.0.0.1 "$dir/$engine/$i/profile.json" |
                sed "s/=> 3306,/=> $port,/" >"$dir/$engine/$i/database.php"
        else
            "$cli" sql postgresql "$dir/$engine/$i/profile.json"
            "$cli" config php --engine postgresql --db-host "$dir" "$dir/$engine/$i/profile.json" \
                >"$dir/$engine/$i/database.php"
        fi
    done | if [ "$engine" = mariadb ]; then maria_admin; else pg_admin >/dev/null; fi
done

row() { printf '| %-44s | %12s | %12s | %s |\n' "$@"; }
echo "Rotating $sites sites' database passwords (config php files), per site"
echo
row "server" "rotate, ms" "php + PDO, ms" "ratio"
row "---" "---:" "---:" "---:"
for engine in mariadb postgresql; do
    t0=$(date +%s%N)
    for i in $(seq "$sites"); do "$cli" rotate php "$dir/$engine/$i/database.php" 2>/dev/null || exit 1; done
    ours=$(( ($(date +%s%N) - t0) / sites / 1000 ))
    # The peer: the same three round trips from PHP, a process per site as well.
    t0=$(date +%s%N)
    for i in $(seq "$sites"); do
        php -r '
            $c = include $argv[1];
            $dsn = $c["driver"] === "pgsql" ? "pgsql:host={$c["host"]};dbname={$c["database"]}"
                : "mysql:host={$c["host"]};port={$c["port"]};dbname={$c["database"]}";
            $pdo = new PDO($dsn, $c["username"], $c["password"], [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
            $pdo->exec($c["driver"] === "pgsql" ? "ALTER ROLE CURRENT_USER PASSWORD " . $pdo->quote($c["password"])
                : "SET PASSWORD = PASSWORD(" . $pdo->quote($c["password"]) . ")");
            new PDO($dsn, $c["username"], $c["password"]);' "$dir/$engine/$i/database.php" || exit 1
    done
    peer=$(( ($(date +%s%N) - t0) / sites / 1000 ))
    row "$([ "$engine" = mariadb ] && echo "MariaDB (TCP)" || echo "PostgreSQL (socket, SCRAM)")" \
        "$(awk -v u="$ours" 'BEGIN { printf "%.1f", u / 1000 }')" \
        "$(awk -v u="$peer" 'BEGIN { printf "%.1f", u / 1000 }')" \
        "$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2fx", a / b }')"
done
