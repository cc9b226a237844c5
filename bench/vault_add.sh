#!/usr/bin/env bash
# Seconds per vault add beside keepassxc-cli add on the same vault (KDBX 4, Argon2id as vault
# create tunes it), taken in turns, five each; both open the vault, add and save it again.
# Usage: bench/vault_add.sh PATH/TO/sitepass-cli
set -uo pipefail
cli=$(realpath "$1")
command -v keepassxc-cli >/dev/null || { echo "vault add: skipped, keepassxc-cli is not installed"; exit 0; }
dir=$(mktemp -d /tmp/sitepass-vault-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
"$cli" vault create v.kdbx <<<'bench pass' 2>/dev/null
"$cli" profile bench.test --json --output p.json
ms() { local t0; t0=$(date +%s%N); "$@" >/dev/null 2>&1 <<<'bench pass' || echo "failed: $*" >&2; echo $(( ($(date +%s%N) - t0) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ours=() theirs=()
for i in 1 2 3 4 5; do
    ours+=("$(ms "$cli" vault add v.kdbx p.json)")
    theirs+=("$(ms keepassxc-cli add -u u -g v.kdbx "entry $i")")
done
a=$(printf '%s\n' "${ours[@]}" | median) b=$(printf '%s\n' "${theirs[@]}" | median)
echo "vault add beside keepassxc-cli add on the same vault (KDBX 4, Argon2id, median of 5)"
echo
printf '| %-44s | %16s | %16s | %s |\n' "row" "sitepass-cli" "keepassxc-cli" "ratio" "---" "---:" "---:" "---:" \
    "add one site / one entry, ms" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2fx", a / b }')"
