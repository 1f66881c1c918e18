#!/bin/bash
# The bash completion of the tools: commands, options read from the tools'
# help, databases and printers. Arguments: the completion file, then the
# directories of depbase-cli and dbc.
set -u
. "$1"
PATH=$2:$3:$PATH
fail=0
expect() {
    local want=$1; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    local fn; fn=$(complete -p "$1" | awk '{print $3}')
    $fn
    if [[ "${COMPREPLY[*]}" != "$want" ]]; then
        echo "'$*': got '${COMPREPLY[*]}', expected '$want'"; fail=1
    fi
}
expect "query explain dump help --help --version" depbase-cli ""
expect "root drv lm mnt pa sm" depbase-cli query ""
expect "root drv lm mnt pa sm" depbase-cli explain ""
expect "--help --int --json --printer --raw --str --version" depbase-cli --json query drv 0x1018 --
expect "compile check catalogue" dbc c
expect "--help --output --version" dbc compile --
expect "calibrate check" calibmod-cli c
dir=$(mktemp -d)
touch "$dir/office.conf" "$dir/lab.conf"
ZMD_PRINTER_DIR=$dir expect "office" depbase-cli query --printer o
rm -r "$dir"
exit $fail
