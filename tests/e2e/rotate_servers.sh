#!/usr/bin/env bash
# sitepass-cli rotate against real MariaDB and PostgreSQL servers started here (as nobody, in a
# temporary folder, MariaDB on loopback TCP, PostgreSQL on a Unix socket, every statement
# logged): each settings format with each engine it has, files edited by hand, and a fault at
# every step, each leaving the file and the server agreeing. PHP reads every file the way the
# applications do and logs in with what it read. Runs in a mount namespace of its own, where a
# file can be made busy by mounting over it.
# Usage (as root): rotate_servers.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$1
[ "$(id -u)" -eq 0 ] || { echo "skipped: the servers run as nobody, which needs root" >&2; exit 77; }
# A chroot's root is no mount point to make private: there the busy file is not tried.
if [ -z "${SITEPASS_ROTATE_NAMESPACE:-}" ] && runuser -u nobody -- true 2>/dev/null; then
    SITEPASS_ROTATE_NAMESPACE=1 exec unshare --mount --pid --fork --mount-proc --propagation private "$0" "$@"
fi
# As on a machine where sitepass never ran: root's lock folder and those above it are missing.
[ -z "${SITEPASS_ROTATE_NAMESPACE:-}" ] || mount -t tmpfs -o mode=755 tmpfs /var/lib
check_php=$(dirname "$0")/rotate_check.php
. "$(dirname "$0")/servers.sh"
server_folder sitepass-rotate
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }
postgres=yes
if [ -n "$root_closed" ]; then
    postgres=""
    echo "PostgreSQL skipped: the root directory is closed to users other than root" >&2
fi
read -r port < <(free_ports 1)
# skip-name-resolve: 127.0.0.1 is an account's host of its own, apart from localhost (the socket).
maria_start --port="$port" --bind-address=127.0.0.1 --skip-name-resolve --general-log \
    --general-log-file="$dir/maria-general.log"
[ -z "$postgres" ] || pg_start

# site NAME FORMAT ENGINE: a profile, its account, its settings file $dir/NAME/FILE (edited by
# hand around what config wrote), owned root:nogroup 0640 as site add makes them; prints the file's path.
site() {
    local name=$1 format=$2 engine=$3 file host
    mkdir -p "$dir/$name"
    "$cli" profile "$name.test" --json >"$dir/$name/profile.json"
    # A user and database of their own, whatever the second.
    python3 - "$dir/$name/profile.json" "$name" <<'PY'
import json, sys
p = json.load(open(sys.argv[1])); p["db_table"] = p["db_user"] = "s_" + sys.argv[2]
json.dump(p, open(sys.argv[1], "w"))
PY
    if [ "$engine" = postgresql ]; then
        "$cli" sql postgresql "$dir/$name/profile.json" | pg_admin >/dev/null
        host=$dir
    else
        "$cli" sql mariadb --host=% "$dir/$name/profile.json" | maria_admin
        host=127.0.0.1
    fi
    case $format in
    laravel) file=$dir/$name/.env
        {
            printf '# Set by hand\r\nAPP_NAME=Site\r\n\r\nJWT_KEY="-----BEGIN\nDB_PASSWORD=not-this\n-----END"\n'
            "$cli" config laravel --engine "$engine" --db-host "$host" "$dir/$name/profile.json" |
                sed "s/^DB_PORT=3306/DB_PORT=$port/; s/^DB_USERNAME/export DB_USERNAME/"
            printf '# the end\n'
        } >"$file" ;;
    wordpress) file=$dir/$name/wp-config.php
        "$cli" config wordpress --db-host "127.0.0.1:$port" "$dir/$name/profile.json" |
            sed "1a // define('DB_PASSWORD', 'an old one');\n/* define('DB_USER', 'x'); */" >"$file" ;;
    php) file=$dir/$name/database.php
        "$cli" config php --engine "$engine" --db-host "$host" "$dir/$name/profile.json" |
            sed "s/=> 3306,/=> $port,/" >"$file" ;;
    esac
    chown root:nogroup "$file" && chmod 0640 "$file"
    echo "$file"
}
login() { php "$check_php" "$1" "$2"; } # login FORMAT FILE: "logged in<TAB>password" or "refused: ..."
password_in() { login "$1" "$2" | cut -f2; }
# Every byte the same but the password's line, and there only its value.
only_password_changed() { # only_password_changed BEFORE AFTER
    python3 - "$1" "$2" <<'PY'
import sys
a, b = open(sys.argv[1], "rb").read().split(b"\n"), open(sys.argv[2], "rb").read().split(b"\n")
changed = [(x, y) for x, y in zip(a, b) if x != y]
ok = len(a) == len(b) and len(changed) == 1 and b"PASSWORD" in changed[0][0].upper()
if ok:
    x, y = changed[0]
    cut = x.index(b"=>") + 2 if b"=>" in x else x.index(b",") + 1 if b"define" in x else x.index(b"=") + 1
    ok = x[:cut] == y[:cut]
sys.exit(0 if ok else 1)
PY
}
no_copy() { ! ls -A "$(dirname "$1")" | grep -q 'sitepass-rotate'; }

# One rotation, checked every way: the new password logs in as PHP reads it, the old does not,
# only the value changed, owner, group and mode kept, nothing beside the file, no plaintext in
# the servers' statement logs.
rotate_checked() { # rotate_checked NAME FORMAT ENGINE
    local name=$1 format=$2 engine=$3 file old new out
    file=$(site "$@")
    cp -p "$file" "$dir/$name/before"
    old=$(password_in "$format" "$file")
    if out=$("$cli" rotate "$format" "$file" --show-password 2>"$dir/$name/err"); then ok; else
        bad "$name: rotate $format on $engine: $(cat "$dir/$name/err")"; return; fi
    new=$out
    [ "$(login "$format" "$file")" = "logged in	$new" ] && ok || bad "$name: the new password does not log in as PHP reads it"
    [[ $(login "$format" "$dir/$name/before") == refused* ]] && ok || bad "$name: the old password still logs in"
    only_password_changed "$dir/$name/before" "$file" && ok || bad "$name: more than the password changed"
    [ "$(stat -c '%U %G %a' "$file")" = "root nogroup 640" ] && ok || bad "$name: owner or mode changed: $(stat -c '%U %G %a' "$file")"
    no_copy "$file" && ok || bad "$name: something left beside the file"
    grep -qE 'MariaDB|PostgreSQL' "$dir/$name/err" && ok || bad "$name: no summary: $(cat "$dir/$name/err")"
    for log in "$dir/maria-general.log" "$dir/pg.log"; do
        [ -f "$log" ] || continue
        grep -qF -- "$new" "$log" && bad "$name: the new password is in $(basename "$log")" || ok
        grep -qF -- "$old" "$log" && bad "$name: the old password is in $(basename "$log")" || ok
    done
}

rotate_checked laravel_maria laravel mariadb
rotate_checked wordpress_maria wordpress mariadb
rotate_checked php_maria php mariadb
if [ -n "$postgres" ]; then
    rotate_checked laravel_pg laravel postgresql
    rotate_checked php_pg php postgresql
fi

# A symbolic link, as deploy tools keep .env in shared/: the target changes, the link stays.
file=$(site linked laravel mariadb)
mkdir -p "$dir/linked/shared" "$dir/linked/current"
mv "$file" "$dir/linked/shared/.env"
ln -s ../shared/.env "$dir/linked/current/.env"
"$cli" rotate laravel "$dir/linked/current/.env" 2>>"$dir/checks.log" && ok || bad "linked: rotate"
[ -L "$dir/linked/current/.env" ] && ok || bad "linked: the link was replaced"
[[ $(login laravel "$dir/linked/current/.env") == "logged in"* ]] && ok || bad "linked: the target's password does not log in"

# Faults: each leaves the file as it was and the server with the password the file holds, or
# (killed runs) is finished or undone by the next run.
expect_status() { # expect_status NAME STATUS COMMAND...
    local name=$1 want=$2; shift 2
    "$@" >>"$dir/checks.log" 2>"$dir/last.err"
    local got=$?
    [ "$got" = "$want" ] && ok || bad "$name: exit $got, not $want: $(cat "$dir/last.err")"
}
agree() { # agree NAME FORMAT FILE: the file's password logs in, nothing is left beside it
    [[ $(login "$2" "$3") == "logged in"* ]] && ok || bad "$1: the file and the server disagree"
    no_copy "$3" && ok || bad "$1: something left beside the file"
}
file=$(site faults laravel mariadb)
cp -p "$file" "$dir/faults/before"
unchanged() { cmp -s "$file" "$dir/faults/before" && ok || bad "$1: the file changed"; }

sed -i "s/^DB_PASSWORD=.*/DB_PASSWORD=wrong/" "$file"
expect_status "a wrong password" 1 "$cli" rotate laravel "$file"
grep -q '拒绝' "$dir/last.err" && ok || bad "a wrong password: not said"
cp -p "$dir/faults/before" "$file"

sed -i "s/^DB_PORT=.*/DB_PORT=$(free_ports 1)/" "$file"
cp -p "$file" "$dir/faults/down"
expect_status "a server that does not answer" 1 "$cli" rotate laravel "$file"
cmp -s "$file" "$dir/faults/down" && ok || bad "server down: the file changed"
cp -p "$dir/faults/before" "$file"

maria_admin -e "SET GLOBAL read_only = 1"
expect_status "the change refused (read_only)" 1 "$cli" rotate laravel "$file"
maria_admin -e "SET GLOBAL read_only = 0"
unchanged "the change refused"
agree "the change refused" laravel "$file"

if [ -n "${SITEPASS_ROTATE_NAMESPACE:-}" ]; then
    mount --bind "$file" "$file" # busy: renaming over it fails
    expect_status "the file cannot be replaced" 1 "$cli" rotate laravel "$file"
    umount "$file"
    grep -q '改回' "$dir/last.err" && ok || bad "the replace failing: the set-back not said"
    unchanged "the replace failing"
    agree "the replace failing" laravel "$file"
else
    echo "The file that cannot be replaced skipped: no mount namespace of our own (the root directory is closed)" >&2
fi

for step in copy server; do
    status=$( (SITEPASS_TEST_KILL_AT=$step "$cli" rotate laravel "$file" >>"$dir/checks.log" 2>&1; echo $?) 2>/dev/null)
    [ "$status" -eq 137 ] && ok || bad "killed after the $step: not killed ($status)"
    ls -A "$dir/faults" | grep -q sitepass-rotate && ok || bad "killed after the $step: no copy left as the journal"
    # The copy is whole before the server changes: killed there, the file's password still works.
    [ "$step" != copy ] || { [[ $(login laravel "$file") == "logged in"* ]] && ok || bad "killed after the copy: the server changed first"; }
    expect_status "the run after one killed after the $step" 0 "$cli" rotate laravel "$file"
    agree "killed after the $step, then run again" laravel "$file"
done

# A copy someone else put beside the file is not taken for a journal.
cp -p "$file" "$dir/faults/before"
printf 'DB_CONNECTION=mysql\n' >"$dir/faults/..env.sitepass-rotate"
expect_status "a planted copy" 1 "$cli" rotate laravel "$file"
unchanged "a planted copy"
rm "$dir/faults/..env.sitepass-rotate"
# Nor one of another owner with the password that logs in and a line of theirs.
{ cat "$file"; echo 'APP_DEBUG=planted'; } >"$dir/faults/..env.sitepass-rotate"
chown nobody "$dir/faults/..env.sitepass-rotate" && chmod --reference="$file" "$dir/faults/..env.sitepass-rotate"
expect_status "another owner's copy with the password that logs in" 1 "$cli" rotate laravel "$file"
unchanged "another owner's copy with the password that logs in"
rm "$dir/faults/..env.sitepass-rotate"
# Nor one with the file's owner and mode that names another account.
sed 's/^export DB_USERNAME=.*/export DB_USERNAME=someone_else/; s/^DB_PASSWORD=.*/DB_PASSWORD=theirs/' "$file" >"$dir/faults/..env.sitepass-rotate"
chown --reference="$file" "$dir/faults/..env.sitepass-rotate" && chmod --reference="$file" "$dir/faults/..env.sitepass-rotate"
expect_status "a planted copy of another account" 1 "$cli" rotate laravel "$file"
grep -q '不是这个账户' "$dir/last.err" && ok || bad "a planted copy of another account: not said"
unchanged "a planted copy of another account"
rm "$dir/faults/..env.sitepass-rotate"
# Beside a file of the site's own, a leftover could be the site user's own plant (with its
# password set on the server): it is never put in place, and stays for a person to look at.
chown nobody "$file"
(SITEPASS_TEST_KILL_AT=server "$cli" rotate laravel "$file" >/dev/null 2>&1; true) 2>/dev/null
expect_status "a leftover beside the site's own file" 1 "$cli" rotate laravel "$file"
[ -e "$dir/faults/..env.sitepass-rotate" ] && ok || bad "a leftover beside the site's own file: not left"
mv "$dir/faults/..env.sitepass-rotate" "$file" && chown root "$file"
agree "a leftover beside the site's own file, put in place by hand" laravel "$file"

mkdir -p "$dir/faults/bootstrap/cache" && echo '<?php return [];' >"$dir/faults/bootstrap/cache/config.php"
cp -p "$file" "$dir/faults/before"
expect_status "a cached Laravel config" 2 "$cli" rotate laravel "$file"
grep -q 'config:clear' "$dir/last.err" && ok || bad "a cached config: the command not named"
unchanged "a cached config"
rm -r "$dir/faults/bootstrap"

cp -p "$file" "$dir/faults/before"
sed -i 's/^DB_PASSWORD=.*/DB_PASSWORD="a\\\\nb"/' "$file" # phpdotenv: a\nb, Symfony: a, a line break, b
cp -p "$file" "$dir/faults/disagree"
expect_status "a value the parsers read differently" 2 "$cli" rotate laravel "$file"
cmp -s "$file" "$dir/faults/disagree" && ok || bad "the parsers disagreeing: the file changed"
cp -p "$dir/faults/before" "$file"
echo "DB_PASSWORD=again" >>"$file"
expect_status "the password twice" 2 "$cli" rotate laravel "$file"

if [ -n "$postgres" ]; then
    file=$(site faults_pg php postgresql)
    pg_admin -c 'ALTER ROLE s_faults_pg SET default_transaction_read_only = on'
    cp -p "$file" "$dir/faults_pg/before"
    expect_status "postgresql: the change refused" 1 "$cli" rotate php "$file"
    cmp -s "$file" "$dir/faults_pg/before" && ok || bad "postgresql refused: the file changed"
    agree "postgresql: the change refused" php "$file"
    pg_admin -c 'ALTER ROLE s_faults_pg RESET default_transaction_read_only' >/dev/null
    status=$( (SITEPASS_TEST_KILL_AT=server "$cli" rotate php "$file" >>"$dir/checks.log" 2>&1; echo $?) 2>/dev/null)
    [ "$status" -eq 137 ] && ok || bad "postgresql: killed after the server: not killed ($status)"
    expect_status "postgresql: the run after one killed after the server" 0 "$cli" rotate php "$file"
    grep -q '了结' "$dir/last.err" && ok || bad "postgresql: the rerun did not finish the killed run"
    agree "postgresql: killed after the server, then run again" php "$file"
fi

# The server's side: a reply lost after the change was sent, and a server gone before the
# proof. A middleman (db_proxy.py) between rotate and the server plays both; each run ends
# undecided, keeping what the next run needs, and the next run, with the server back, agrees.
proxy=$(dirname "$0")/db_proxy.py
proxied() { # proxied NAME FORMAT ENGINE MODE: the fault, then the run that decides
    local name=$1 format=$2 engine=$3 mode=$4 file listen target trigger
    file=$(site "$name" "$format" "$engine")
    if [ "$engine" = postgresql ]; then
        mkdir -p "$dir/$name/pg"
        listen=$dir/$name/pg/.s.PGSQL.5432 target=$dir/.s.PGSQL.5432 trigger="ALTER ROLE"
        sed -i "s#=> '$dir',#=> '$dir/$name/pg',#" "$file"
    else
        listen=127.0.0.1:$(free_ports 1) target=127.0.0.1:$port trigger="SET PASSWORD"
        sed -i "s/^DB_PORT=.*/DB_PORT=${listen#*:}/" "$file"
    fi
    python3 "$proxy" "$listen" "$target" "$trigger" "$mode" >"$dir/$name/proxy.log" 2>&1 &
    local pid=$!
    for _ in $(seq 50); do grep -q ready "$dir/$name/proxy.log" && break; sleep 0.1; done
    expect_status "$name: $mode" 1 "$cli" rotate "$format" "$file"
    grep -q '再运行一次' "$dir/last.err" && ok || bad "$name: $mode: the rerun not named"
    ls -A "$dir/$name" | grep -q sitepass-rotate && ok || bad "$name: $mode: no copy kept for the rerun"
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    python3 "$proxy" "$listen" "$target" "$trigger" pass >"$dir/$name/proxy.log" 2>&1 &
    pid=$!
    for _ in $(seq 50); do grep -q ready "$dir/$name/proxy.log" && break; sleep 0.1; done
    expect_status "$name: the run after $mode" 0 "$cli" rotate "$format" "$file"
    agree "$name: after $mode and a rerun" "$format" "$file"
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
}
proxied lost_reply_maria laravel mariadb drop-reply
proxied gone_maria laravel mariadb die-after
if [ -n "$postgres" ]; then
    proxied lost_reply_pg php postgresql drop-reply
    proxied gone_pg php postgresql die-after
fi

# Copies that are no journal: the file itself under the copy's name, or the file's password.
# Both are dropped and the rotation goes on; a pipe or a link there is refused, never waited on.
file=$(site planted laravel mariadb)
copy=$dir/planted/..env.sitepass-rotate
for how in "ln" "cp -p"; do
    old=$(password_in laravel "$file")
    $how "$file" "$copy"
    expect_status "a planted copy ($how)" 0 "$cli" rotate laravel "$file"
    [ "$(password_in laravel "$file")" != "$old" ] && ok || bad "a planted copy ($how): the password did not change"
    agree "a planted copy ($how)" laravel "$file"
done
cp -p "$file" "$dir/planted/before"
mkfifo "$copy"
expect_status "a pipe at the copy's name" 1 timeout 20 "$cli" rotate laravel "$file"
rm "$copy"
ln -s "$file" "$copy"
expect_status "a link at the copy's name" 1 "$cli" rotate laravel "$file"
grep -q '符号链接' "$dir/last.err" && ok || bad "a link at the copy's name: not said in words"
rm "$copy"
# A folder of one user inside another's: either could swap the other's part of the path.
mkdir -p "$dir/chain/inner" && cp -p "$file" "$dir/chain/inner/.env"
chown nobody "$dir/chain" && chown daemon "$dir/chain/inner"
expect_status "a file below one user's folder in another's" 2 "$cli" rotate laravel "$dir/chain/inner/.env"
mkfifo "$dir/planted/fifo.env"
expect_status "a pipe as the file" 2 timeout 20 "$cli" rotate laravel "$dir/planted/fifo.env"
cmp -s "$file" "$dir/planted/before" && ok || bad "the planted pipes and link: the file changed"

# The file's surroundings: its ACL and attributes kept, a second name refused, the route the
# application takes (DB_SOCKET), a URL that overrides the keys, a config cache behind a link.
file=$(site surroundings laravel mariadb)
setfacl -m u:www-data:r "$file"
python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.origin", b"deploy")' "$file"
expect_status "a file with an ACL and attributes" 0 "$cli" rotate laravel "$file"
getfacl -cp "$file" 2>/dev/null | grep -q '^user:www-data:r--' && ok || bad "the ACL was lost"
[ "$(python3 -c 'import os, sys; print(os.getxattr(sys.argv[1], "user.origin").decode())' "$file")" = deploy ] &&
    ok || bad "the extended attribute was lost"
cp -p "$file" "$dir/surroundings/before"
ln "$file" "$dir/surroundings/release.env"
expect_status "a file with a second name" 2 "$cli" rotate laravel "$file"
grep -q '硬链接' "$dir/last.err" && ok || bad "a second name: not said"
rm "$dir/surroundings/release.env"
echo "DB_URL='mysql://u:p@127.0.0.1/d'" >>"$file"
expect_status "DB_URL in the file" 2 "$cli" rotate laravel "$file"
grep -q 'DB_URL' "$dir/last.err" && ok || bad "DB_URL: not named"
cp -p "$dir/surroundings/before" "$file"
# The same user at the socket (localhost) and at 127.0.0.1: Laravel takes DB_SOCKET.
user=s_surroundings
maria_admin -e "CREATE USER '$user'@'localhost' IDENTIFIED BY '$(password_in laravel "$file")';
    GRANT ALL ON \`$user\`.* TO '$user'@'localhost'"
echo "DB_SOCKET=$dir/maria.sock" >>"$file"
expect_status "DB_SOCKET beside DB_HOST=127.0.0.1" 0 "$cli" rotate laravel "$file"
[[ $(login laravel "$file") == "logged in"* ]] && ok || bad "DB_SOCKET: the new password does not log in over the socket"
mkdir -p "$dir/surroundings/current/bootstrap/cache" "$dir/surroundings/shared"
echo '<?php return [];' >"$dir/surroundings/current/bootstrap/cache/config.php"
mv "$file" "$dir/surroundings/current/.env"
ln -s ../current/.env "$dir/surroundings/shared/.env"
expect_status "a config cache beside the file a link leads to" 2 "$cli" rotate laravel "$dir/surroundings/shared/.env"
grep -q 'config:clear' "$dir/last.err" && ok || bad "a cache behind a link: not said"

# An account that may hold one session: the proofs come after the first session has closed.
file=$(site oneconn laravel mariadb)
maria_admin -e "ALTER USER 's_oneconn'@'%' WITH MAX_USER_CONNECTIONS 1"
expect_status "an account of one session at a time" 0 "$cli" rotate laravel "$file"
agree "an account of one session at a time" laravel "$file"
# A server that lets any password in proves nothing by a login: both are set back, saying so.
if [ -n "$postgres" ]; then
    file=$(site trusted php postgresql)
    sed -i '1i local all s_trusted trust' "$dir/pg/pg_hba.conf"
    as_nobody "$pgbin/pg_ctl" -D "$dir/pg" reload >/dev/null
    sleep 1
    cp -p "$file" "$dir/trusted/before"
    expect_status "trust authentication" 1 "$cli" rotate php "$file"
    grep -q '不检查密码' "$dir/last.err" && ok || bad "trust: not said"
    cmp -s "$file" "$dir/trusted/before" && ok || bad "trust: the file was not set back"
    no_copy "$file" && ok || bad "trust: something left beside the file"
    # Nor is a killed run's copy taken for the server's answer where any password logs in.
    (SITEPASS_TEST_KILL_AT=copy "$cli" rotate php "$file" >/dev/null 2>&1; true) 2>/dev/null
    expect_status "trust authentication, a killed run's copy" 1 "$cli" rotate php "$file"
    cmp -s "$file" "$dir/trusted/before" && ok || bad "trust, a killed run's copy: the file changed"
    # Nor does the vault take a password no proof stood behind.
    "$cli" vault create "$dir/trusted/v.kdbx" <<<'vault pw' 2>>"$dir/checks.log"
    "$cli" vault add "$dir/trusted/v.kdbx" "$dir/trusted/profile.json" <<<'vault pw' 2>>"$dir/checks.log"
    expect_status "trust authentication with --vault" 1 "$cli" rotate php "$file" --vault "$dir/trusted/v.kdbx" <<<'vault pw'
    [ "$(/usr/bin/python3 -c "from pykeepass import PyKeePass
print(PyKeePass('$dir/trusted/v.kdbx', password='vault pw').find_entries(username='s_trusted', first=True).password)")" = "$(password_in php "$file")" ] &&
        ok || bad "trust with --vault: the vault does not hold the file's password"
    ! ls -A "$dir/trusted" | grep -q 'v.kdbx.sitepass-rotate' && ok || bad "trust with --vault: a copy left beside the vault"
fi

# --vault: the account's entry follows the file with the old password in its history; a wrong
# vault password changes nothing; killed at either replace, the next run leaves the file, the
# server and the vault agreeing.
file=$(site vaulted laravel mariadb)
vault=$dir/vaulted/sites.kdbx
"$cli" vault create "$vault" <<<'vault pw' 2>>"$dir/checks.log"
"$cli" vault add "$vault" "$dir/vaulted/profile.json" <<<'vault pw' 2>>"$dir/checks.log"
in_vault() { /usr/bin/python3 -c "from pykeepass import PyKeePass
e = PyKeePass('$vault', password='vault pw').find_entries(username='s_vaulted', first=True)
print(e.password, len(e.history))"; }
expect_status "rotate --vault" 0 "$cli" rotate laravel "$file" --vault "$vault" <<<'vault pw'
[ "$(in_vault)" = "$(password_in laravel "$file") 1" ] && ok || bad "--vault: not the file's new password with the old in history: $(in_vault)"
cp -p "$file" "$dir/vaulted/before"
expect_status "rotate --vault with a wrong vault password" 1 "$cli" rotate laravel "$file" --vault "$vault" <<<'not it'
cmp -s "$file" "$dir/vaulted/before" && ok || bad "a wrong vault password: the file changed"
# Each name given or changed reaches the disk before the next step: the folder synced after
# the file's copy is named, after the vault's, and after each rename.
strace -f -y -e trace=fsync -o "$dir/fsync.log" "$cli" rotate laravel "$file" --vault "$vault" <<<'vault pw' >/dev/null 2>&1
syncs=$(grep -c "fsync([0-9]*<$dir/vaulted>)" "$dir/fsync.log")
[ "$syncs" -eq 5 ] && ok || bad "rotate --vault synced its folder $syncs times, not 5 (a discarded leftover, two copies named, two renames)"
maria_admin -e "SET GLOBAL read_only = 1"
expect_status "rotate --vault, the change refused" 1 "$cli" rotate laravel "$file" --vault "$vault" <<<'vault pw'
maria_admin -e "SET GLOBAL read_only = 0"
! ls -A "$dir/vaulted" | grep -q sitepass-rotate && ok || bad "--vault, the change refused: a copy left"
for step in vault-copy server file; do
    status=$( (SITEPASS_TEST_KILL_AT=$step "$cli" rotate laravel "$file" --vault "$vault" <<<'vault pw' >>"$dir/checks.log" 2>&1; echo $?) 2>/dev/null)
    [ "$status" -eq 137 ] && ok || bad "--vault killed at the $step: not killed ($status)"
    expect_status "--vault: the run after one killed at the $step" 0 "$cli" rotate laravel "$file" --vault "$vault" <<<'vault pw'
    [ "$(in_vault | cut -d' ' -f1)" = "$(password_in laravel "$file")" ] && ok || bad "--vault killed at the $step: the vault and the file disagree"
    agree "--vault killed at the $step, then run again" laravel "$file"
    ! ls -A "$dir/vaulted" | grep -q sitepass-rotate && ok || bad "--vault killed at the $step: a copy left beside the vault"
done

[ "$failed" -eq 0 ] || tail -n 20 "$dir/checks.log" >&2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
