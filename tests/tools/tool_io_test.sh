#!/bin/bash
# The tools end to end on what a new user meets first: '-' for standard
# input and output, the exit status of unreadable input, help COMMAND,
# escaped echoes of bad bytes, at most 20 errors in line order, and the
# plain reasons of the usual mistakes.
#
# Arguments: the source tree, then the directories of the built depbase-cli,
# dbc, calibmod-cli and curvegen.
set -u
root=$1
PATH=$2:$3:$4:$5:$PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0
bad() {
    echo "FAIL: $*"
    fail=1
}
# run STATUS COMMAND...: runs it, stdout in $work/out, stderr in $work/err.
run() {
    local want=$1
    shift
    "$@" >out 2>err
    local rc=$?
    if [[ $rc != "$want" ]]; then
        bad "'$*': exit status $rc, expected $want; stderr: $(head -c 400 err)"
    fi
}
has() { # has FILE TEXT: FILE holds TEXT (fixed string)
    grep -qF -- "$2" "$1" || bad "$1 of the last command lacks '$2': $(head -c 400 "$1")"
}
printable() { # printable FILE: only printable ASCII, and line ends
    if LC_ALL=C grep -q '[^[:print:]]' "$1"; then
        bad "$1 of the last command holds bytes that are not printable"
    fi
}
no_dash_file() {
    [[ -e ./- ]] && bad "a file named '-' was written" && rm -f ./-
}

# '-' is standard output for every output option, standard input for input.
run 0 dbc print -o - "$root/tools/dbc/examples/example.zdb"
has out "key 0x0002"
no_dash_file
run 0 dbc check - <"$root/tools/dbc/examples/example.zdb"
run 0 dbc compile -o image.cpp "$root/tools/dbc/examples/example.zdb"
has image.cpp "ZMD_ShippedImage"
[[ $(ls) == $'err\nimage.cpp\nout' ]] || bad "dbc compile -o left other files: $(ls)"
run 0 calibmod-cli plot "$root/samples/Table0.dat" --table 1201 -o -
has out "<svg"
no_dash_file
run 0 calibmod-cli plot - --csv <"$root/samples/Table0.dat"
has out "table,slot,adjust_id,role"
run 0 calibmod-cli inspect - <"$root/samples/Table0.dat"
run 0 calibmod-cli make-sample -
cmp -s out "$root/samples/Table0.dat" || bad "make-sample - did not write the sample to stdout"
no_dash_file
run 0 curvegen - - <"$root/tools/curvegen/curves.txt"
cmp -s out "$root/src/dump/kz_cal/calibmod/table/builtin_curves.cpp" || bad "curvegen - - differs from the committed curves"

# Unreadable input exits 2 in every tool, and a directory is named plainly.
mkdir adir
run 2 dbc check /nonexistent.zdb
run 2 dbc check adir
has err "dbc: cannot read adir: it is a directory"
run 2 curvegen adir -
has err "curvegen: cannot read adir: it is a directory"
run 2 calibmod-cli inspect /nonexistent.dat
run 2 calibmod-cli plot adir -o x.svg
has err "it is a directory"
mkdir -p calib/calib001.ini
run 2 calibmod-cli list calib calib 1
has err "cannot read calib/calib001.ini: it is a directory"
run 2 calibmod-cli check calib --source-dir /nonexistent
has err "the source directory /nonexistent does not exist"
rm -r calib

# The wrong reasons of old.
run 2 curvegen a b c
has err "'c' is one argument too many"
run 2 curvegen a
has err "no OUTPUT given"
mkdir src cal
cp "$root/samples/Table0.dat" src/
run 1 calibmod-cli calibrate --source-dir src --source Table0.dat --calib-dir cal --ids 1,2
has out "CAL_ERR_REQUEST"
has err "CAL_ERR_REQUEST: --ids: slot 0 has the adjustment id 1, which the module does not accept"
has err "slot 1 has the adjustment id 2"
run 1 calibmod-cli calibrate --source-dir src --source Table0.dat --calib-dir cal --mode 2
has err "--mode 2: the module accepts only mode 1"

# help COMMAND everywhere; the exit-status rule in every tool's help.
for c in calibrate inspect list check plot make-sample; do
    run 0 calibmod-cli help $c
    has out "Usage: calibmod-cli $c"
done
run 2 calibmod-cli help bogus
has err "no help on 'bogus'"
run 0 dbc help print
has out "dbc print - "
run 0 depbase-cli help query
has out "depbase-cli query - "
for tool in depbase-cli dbc calibmod-cli curvegen; do
    run 0 $tool --help
    tr '\n' ' ' <out | grep -qF "2 for a usage error or an input that cannot be read" ||
        bad "$tool --help does not state the exit-status rule"
done

# A source of every byte value: at most 20 errors, in line order, escaped.
for i in $(seq 0 255); do printf '%b' "\\$(printf %03o "$i")"; done >bytes
for i in $(seq 1 400); do cat bytes; done >junk.zdb
run 1 dbc check junk.zdb
printable err
[[ $(wc -l <err) == 21 ]] || bad "dbc printed $(wc -l <err) lines about junk.zdb, not 20 and the limit"
tail -n 1 err | grep -q '^dbc: too many errors ([0-9]* more not shown)$' || bad "no 'too many errors' line"
head -n 20 err | cut -d: -f2 | sort -n -c 2>/dev/null || bad "dbc errors not in line order: $(head -c 400 err)"
: >empty.zdb
run 1 dbc check empty.zdb
[[ $(cat err) == "empty.zdb: no keys defined" ]] || bad "empty.zdb: '$(cat err)'"

# Printer files: warnings escaped, at most 20.
mkdir printers
{
    printf 'Bad\001Name = 1\n'
    printf 'XvnUI_CustomECPMode = \377\n'
    for i in $(seq 1 30); do printf 'junk line %d\n' "$i"; done
} >printers/p.conf
ZMD_PRINTER_DIR=$work/printers run 0 depbase-cli query drv 0x1018 --printer p
printable err
has err 'Bad\x01Name'
has err "'\\xFF' is not a number"
has err "depbase-cli: too many errors (12 more not shown)"

# calibmod-cli list and check echo list lines escaped.
mkdir calib
printf '1,0,0,0,tab\001e1.dat\n1,0,0,0\377\n' >calib/calib001.ini
run 1 calibmod-cli list calib calib 1
printable out
has out '\xFF'
run 1 calibmod-cli check calib --source-dir src
printable out
has out '\xFF'
run 0 calibmod-cli make-sample --ident $'A\001\377B\033[31m' odd.dat
run 0 calibmod-cli inspect odd.dat
printable out
has out 'identification: "A\x01\xFFB\x1B[31m"'
exit $fail
