#!/usr/bin/env bash
# sitepass-cli vault against the vaults KeePassXC and pykeepass make and read: KDBX 3.1 with
# AES-KDF from keepassxc-cli, KDBX 4 with Argon2 and a key file from pykeepass, and ours; what
# was there before (entries, history, attachments) survives, and a damaged vault, a wrong key
# or a killed run never leaves a vault that does not open.
# Usage: vault.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$(realpath "$1")
py=/usr/bin/python3
command -v keepassxc-cli >/dev/null && $py -c 'import pykeepass' 2>/dev/null ||
    { echo "FAIL: keepassxc-cli or pykeepass missing (./dev installs keepassxc and python3-pykeepass)" >&2; exit 1; }
dir=$(mktemp -d /tmp/sitepass-vault.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
export QT_QPA_PLATFORM=offscreen
passed=0 failed=0
check() { local name=$1; shift; if "$@" >>checks.log 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi; }
status_is() { # status_is NAME STATUS COMMAND... (standard input passed on)
    local name=$1 want=$2; shift 2
    "$@" >out 2>err
    local got=$?
    check "$name: exit $got, not $want: $(head -c 300 err)" test "$got" = "$want"
}
kp() { # kp PASSWORD keepassxc-cli-ARGS...
    local pw=$1; shift
    echo "$pw" | keepassxc-cli "$@" 2>/dev/null
}
# pyk VAULT PASSWORD KEYFILE CODE: runs CODE with `k` the vault opened by pykeepass.
pyk() { $py -c "from pykeepass import PyKeePass
k = PyKeePass('$1', password='$2', keyfile=('$3' or None))
$4"; }

"$cli" profile a.test --json --output a.json
"$cli" profile a.test --json --output a2.json
"$cli" profile b.test --json --output b.json
version() { od -An -tx1 -j8 -N4 "$1" | tr -d ' \n'; }
field() { $py -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$1" "$2"; }

# KeePassXC's own vault (KDBX 3.1, AES-KDF), with an entry of its own: edited once (history)
# and carrying an attachment.
printf 'pw\npw\n' | keepassxc-cli db-create -p kx.kdbx >/dev/null 2>&1
kp pw add -u mine --url https://mine.example kx.kdbx Mine >/dev/null
kp pw edit -u mine2 kx.kdbx Mine >/dev/null
head -c 3000 /dev/urandom >attached.bin
kp pw attachment-import kx.kdbx Mine a.bin attached.bin >/dev/null
history=$(pyk kx.kdbx pw '' "print(len(k.find_entries(title='Mine', first=True).history))")
check "keepassxc-cli makes KDBX 3.1" test "$(version kx.kdbx)" = 01000300
status_is "vault add to KeePassXC's vault" 0 "$cli" vault add kx.kdbx a.json <<<pw
check "KeePassXC reads the database account" test "$(kp pw show -s -a Password kx.kdbx 'sitepass/a.test/a.test 数据库')" = "$(field a.json db_password)"
check "KeePassXC reads the admin account's URL" test "$(kp pw show -a URL kx.kdbx 'sitepass/a.test/a.test 管理员')" = "http://a.test/admin.php"
kp pw attachment-export kx.kdbx Mine a.bin back.bin >/dev/null
check "the attachment survives" cmp attached.bin back.bin
check "the vault stays KDBX 3.1" test "$(version kx.kdbx)" = 01000300
check "the other entry keeps its history" pyk kx.kdbx pw '' "assert len(k.find_entries(title='Mine', first=True).history) == $history > 0"
status_is "the same site again" 0 "$cli" vault add kx.kdbx a2.json <<<pw
check "the new password, the old in history" pyk kx.kdbx pw '' "
e = k.find_entries(title='a.test 数据库', first=True)
assert e.password == '$(field a2.json db_password)', e.password
assert [h.password for h in e.history] == ['$(field a.json db_password)']"
check "one entry per account, not two" pyk kx.kdbx pw '' "assert len(k.find_entries(title='a.test 数据库')) == 1"

# pykeepass's vault (KDBX 4, Argon2) with a key file of raw bytes and an attachment.
head -c 32 /dev/urandom >raw.key
$py -c "from pykeepass import create_database
k = create_database('py.kdbx', password='pp', keyfile='raw.key')
e = k.add_entry(k.root_group, 'Theirs', 'u', 'p')
e.add_attachment(k.add_binary(b'attachment bytes'), 'a.txt')
k.save()"
status_is "vault add with a key file to pykeepass's vault" 0 "$cli" vault add py.kdbx b.json --key-file raw.key <<<pp
check "pykeepass reads the accounts and keeps its own" pyk py.kdbx pp raw.key "
assert k.find_entries(title='b.test 管理员', first=True).password == '$(field b.json admin_password)'
e = k.find_entries(title='Theirs', first=True)
assert e.attachments[0].data == b'attachment bytes'
assert k.version == (4, 0) or k.version == (4, 1), k.version"
check "KeePassXC opens it with the key file" kp pp ls -k raw.key py.kdbx sitepass/b.test
status_is "without the key file" 1 "$cli" vault add py.kdbx b.json <<<pp
status_is "a key file that is not there" 2 "$cli" vault add py.kdbx b.json --key-file missing.key <<<pp

# Ours: KDBX 4, Argon2id, 0600, opened by both, with KeePassXC's XML key file.
keepassxc-cli db-create --set-key-file xml.key kx-key.kdbx >/dev/null 2>&1 </dev/null
# KeePassXC's vault of the key file alone: no password part in its key.
status_is "vault add to a vault of a key file alone" 0 "$cli" vault add kx-key.kdbx a.json --key-file xml.key --no-password </dev/null
check "KeePassXC reads it with the key file alone" bash -c "keepassxc-cli ls --no-password -k xml.key kx-key.kdbx sitepass/a.test </dev/null 2>/dev/null | grep -q 管理员"
status_is "vault create with an empty master password" 2 "$cli" vault create empty.kdbx <<<''
status_is "vault create with an XML key file" 0 "$cli" vault create ours.kdbx --key-file xml.key <<<'our pass'
check "a new vault is its owner's alone" test "$(stat -c %a ours.kdbx)" = 600
status_is "never over a vault that is there" 2 "$cli" vault create ours.kdbx <<<'x'
status_is "vault add to ours" 0 "$cli" vault add ours.kdbx a.json --key-file xml.key <<<'our pass'
check "KeePassXC opens ours with Argon2id" bash -c "echo 'our pass' | keepassxc-cli db-info -k xml.key ours.kdbx 2>/dev/null | grep -q 'Argon2id'"
check "pykeepass reads ours" pyk ours.kdbx 'our pass' xml.key "assert k.find_entries(title='a.test 数据库', first=True).username == '$(field a.json db_user)'"
status_is "profile --vault stores what it prints" 0 "$cli" profile c.test --json --vault ours.kdbx --key-file xml.key <<<'our pass'
check "profile --vault: the printed password is stored" pyk ours.kdbx 'our pass' xml.key "assert k.find_entries(title='c.test 数据库', first=True).password == '$(field out db_password)'"

# Typed on a terminal: asked twice, never echoed.
(sleep 1; printf 'typed secret\n'; sleep 0.5; printf 'typed secret\n'; sleep 3) |
    script -qfec "'$cli' vault create typed.kdbx" /dev/null >typed.log 2>&1
check "typed on a terminal: the vault opens with it" kp 'typed secret' ls typed.kdbx
check "typed on a terminal: asked twice, not echoed" bash -c "grep -c '主密码' typed.log | grep -qx 2 && ! grep -q 'typed secret' typed.log"

# Refused, with nothing written: a wrong password, a vault that is not there, damage.
cp ours.kdbx before.kdbx
status_is "a wrong password" 1 "$cli" vault add ours.kdbx b.json --key-file xml.key <<<'not it'
status_is "no vault" 2 "$cli" vault add none.kdbx b.json <<<'x'
size=$(stat -c %s ours.kdbx)
for at in 20 150 $((size / 2)) $((size - 40)); do
    cp before.kdbx damaged.kdbx
    printf '\x55' | dd of=damaged.kdbx bs=1 seek="$at" conv=notrunc status=none
    cmp -s before.kdbx damaged.kdbx && printf '\xaa' | dd of=damaged.kdbx bs=1 seek="$at" conv=notrunc status=none
    status_is "one byte altered at $at" 2 "$cli" vault add damaged.kdbx b.json --key-file xml.key <<<'our pass'
    check "one byte altered at $at: said damaged" grep -q damaged err
done
head -c $((size - 100)) before.kdbx >truncated.kdbx
status_is "truncated" 2 "$cli" vault add truncated.kdbx b.json --key-file xml.key <<<'our pass'
check "refusals write nothing" cmp before.kdbx ours.kdbx
check "refusals leave nothing beside" bash -c '! ls -A | grep -q sitepass-rotate'

# Killed between the new vault beside and the rename: the vault opens as it was, and the next
# run removes what was left and stores.
(SITEPASS_TEST_KILL_AT=vault-copy "$cli" vault add ours.kdbx b.json --key-file xml.key <<<'our pass' 2>/dev/null; true) 2>/dev/null
check "killed at the replace: the vault as it was" cmp before.kdbx ours.kdbx
check "killed at the replace: it opens" kp 'our pass' ls -k xml.key ours.kdbx
status_is "the run after" 0 "$cli" vault add ours.kdbx b.json --key-file xml.key <<<'our pass'
check "the run after: stored, nothing left beside" bash -c "! ls -A | grep -q sitepass-rotate && echo 'our pass' | keepassxc-cli ls -k xml.key ours.kdbx sitepass/b.test 2>/dev/null | grep -q 管理员"

[ "$failed" -eq 0 ] || tail -n 20 checks.log >&2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
