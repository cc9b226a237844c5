# Shared by the tests of site: they run as root in private mount, network and process
# namespaces (the script runs itself again inside them), and count their checks. Sets $cli and
# $here; ok, bad, check and status_is write to $scratch, which debian_servers.sh makes.
# shellcheck shell=bash
cli=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: site add makes users, which needs root" >&2; exit 77; }
if [ -z "${SITEPASS_SITE_NAMESPACE:-}" ]; then
    # A chroot's root is no mount point to make private, and its servers cannot drop to users.
    runuser -u nobody -- true 2>/dev/null ||
        { echo "skipped: no namespace of our own where the root directory is closed" >&2; exit 77; }
    # The overlays start from the live /etc: a site user made there by anything else would take
    # the names and ids the sites here are given.
    if getent passwd | grep -q '^site-' || getent group | grep -q '^site-'; then
        echo "FAIL: this machine already has site-* users or groups; remove them before the test" >&2
        exit 1
    fi
    SITEPASS_SITE_NAMESPACE=1 exec unshare --mount --net --pid --fork --mount-proc \
        --propagation private "$0" "$@"
fi
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }
check() { local name=$1; shift; if "$@" >>"$scratch/checks.log" 2>&1; then ok; else bad "$name"; fi; }
status_is() { # status_is NAME STATUS COMMAND...
    local name=$1 want=$2; shift 2
    "$@" >"$scratch/out" 2>"$scratch/err"
    local got=$?
    [ "$got" = "$want" ] && ok || bad "$name: exit $got, not $want: $(head -c 400 "$scratch/err")"
}
