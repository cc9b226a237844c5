#!/usr/bin/env bash
# The manual pages render without warnings and have a NAME line man-db can index; the bash
# completion loads and offers both verbs. Usage: docs.sh SOURCE_DIR
set -uo pipefail
data=$1/data
failed=0
fail() { echo "FAIL: $*" >&2; failed=$((failed + 1)); }

for page in "$data"/man/sitepass.1 "$data"/man/sitepass-cli.1 \
    "$data"/man/zh_CN/sitepass.1 "$data"/man/zh_CN/sitepass-cli.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    lexgrog "$page" >/dev/null || fail "$page: lexgrog finds no NAME line"
    # A source line break after full-width punctuation must not become a space.
    stray=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -n '[，。；：、）”] ')
    [ -z "$stray" ] || fail "$page: a space after full-width punctuation: $stray"
done

offered=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli ""); COMP_CWORD=1; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[[ " $offered " == *" password "* && " $offered " == *" sql "* ]] ||
    fail "the completion offers '$offered'"
dialects=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli sql ""); COMP_CWORD=2; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$dialects" = "mariadb mysql postgresql" ] || fail "sql completes '$dialects'"
formats=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli config ""); COMP_CWORD=2; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$formats" = "laravel wordpress php php-fpm nginx apache" ] || fail "config completes '$formats'"
web=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli config nginx --tls-p); COMP_CWORD=3; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$web" = "--tls-port" ] || fail "config nginx --tls-p completes '$web'"
rotate=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli rotate ""); COMP_CWORD=2; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$rotate" = "laravel wordpress php" ] || fail "rotate completes '$rotate'"
engines=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli config php --engine ""); COMP_CWORD=4
    _sitepass_cli; echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$engines" = "mariadb mysql postgresql" ] || fail "config --engine completes '$engines'"

site=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli site ""); COMP_CWORD=2; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$site" = "add remove list" ] || fail "site completes '$site'"
apps=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli site add a.test --app ""); COMP_CWORD=5; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$apps" = "php laravel wordpress" ] || fail "site add --app completes '$apps'"

vault=$(bash -c '. "$1"; COMP_WORDS=(sitepass-cli vault ""); COMP_CWORD=2; _sitepass_cli
    echo "${COMPREPLY[*]}"' _ "$data/completion/sitepass-cli")
[ "$vault" = "create add" ] || fail "vault completes '$vault'"

echo "$((21 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
